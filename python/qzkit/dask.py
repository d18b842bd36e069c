# SPDX-License-Identifier: Apache-2.0
"""The estimator, evaluate's scoring and tune's search over many records on a Dask cluster.

One task per record: `estimate` walks each record's windows on a worker (iter_windows) and
runs them in batches; `evaluate` runs and scores each manifest's windows on a worker, gives
the per-window rows as a Dask DataFrame (a partition per manifest) and assembles the summary
here, from every window's outcome, with the code `qzkit evaluate` uses: the same CSV bytes and
figures as the command on one machine. `tune` runs `qzkit constants tune` here with its
candidates scored on the cluster, each shard of its data (a battery family, a manifest) read
once by a worker and kept there: the same files as the command on one machine.

Workers run the package's C++ code, whose library keeps its state in one global store: give
each worker process one thread (`dask worker --nthreads 1`, or LocalCluster(threads_per_worker=1));
more threads only wait for each other. Constants travel to the workers as their 31 bytes; the
records and manifests are read by the workers, so they must lie on storage every worker sees,
under the same paths (evaluate's summary also reads the manifests and references here, not the
windows). A task lost with its worker runs again on another (Dask's retries), with the same
result. Needs python3-dask and python3-distributed (and pandas).
"""
import operator
import os
import time
from dataclasses import dataclass

import dask.dataframe as dd
import numpy as np
import pandas

from . import _core
from .estimator import estimate_many
from .evaluation import CSV_COLUMNS, Evaluation, constants_list, csv_table, paths, settings_list
from .recordings import iter_windows
from .tuning import TuneSession, TuneShard, add_counts

# Tasks per worker in each batch of tune's candidates, so that every worker has work
# while the slowest tasks end.
TASKS_PER_WORKER = 4

# Windows run in one call of the estimator on a worker.
BATCH = 4096

ESTIMATE_COLUMNS = {
    "record": "string",
    "start_sample": "int64",
    "bpm": "int64",
    "qi": "int64",
    "peaks": "int64",
    "beat_method": "int64",
    "constants": "string",
    "settings": "string",
}


def _estimate_record(record, named, runs, walk_options):
    """Every window of one record with every combination: a DataFrame of ESTIMATE_COLUMNS."""
    parts = []
    starts, windows = [], []

    def run_batch():
        if not windows:
            return
        batch = np.stack(windows)
        for name, image in named:
            for mask, peak, beat, derivative in runs:
                result = estimate_many(batch, image, mask, peak, beat, derivative)
                parts.append(
                    pandas.DataFrame(
                        {
                            "record": os.fspath(record),
                            "start_sample": starts,
                            "bpm": result.bpm,
                            "qi": result.qi,
                            "peaks": result.peak_count,
                            "beat_method": result.classified.astype("int64"),
                            "constants": _core.constants_name(name),
                            "settings": f"{mask} {peak} {beat} {derivative}",
                        }
                    )
                )
        starts.clear()
        windows.clear()

    for start, window in iter_windows(record, **walk_options):
        starts.append(start)
        windows.append(window)
        if len(windows) == BATCH:
            run_batch()
    run_batch()
    if not parts:
        return pandas.DataFrame({column: pandas.Series(dtype=kind) for column, kind in ESTIMATE_COLUMNS.items()})
    return pandas.concat(parts, ignore_index=True).astype(ESTIMATE_COLUMNS)


def _defaults(runs):
    return runs or [(_core.DEFAULT_MASK, _core.DEFAULT_PEAK, _core.DEFAULT_BEAT, _core.DEFAULT_DERIVATIVE)]


def estimate(client, records, constants, settings=None, **walk_options):
    """Estimates every window of each record (WFDB, EDF or text, on storage every worker sees)
    with each combination of `constants` and `settings`, one task per record. `walk_options`
    are iter_windows' (channel, length, step, front-end options). Returns a Dask DataFrame with
    a row per window and combination: record, start_sample, bpm, qi, peaks, beat_method (the
    beat-classification flag), constants, settings; a partition per record."""
    named, runs = constants_list(constants), _defaults(settings_list(settings))
    parts = [
        client.submit(_estimate_record, os.fspath(record), named, runs, walk_options, pure=False) for record in records
    ]
    meta = pandas.DataFrame({column: pandas.Series(dtype=kind) for column, kind in ESTIMATE_COLUMNS.items()})
    return dd.from_delayed(parts, meta=meta, verify_meta=False)


def _manifest_outcomes(manifest, named, runs, annotations, beats, annotation_rate):
    started = time.process_time()
    csv, outcomes = _core.manifest_outcomes(manifest, named, runs, annotations, beats, annotation_rate)
    return csv_table(csv), outcomes, time.process_time() - started


@dataclass
class DaskEvaluation:
    """An evaluation running on the cluster: `table` (a Dask DataFrame of the per-window rows,
    a partition per manifest, the CSV's columns) and `result()`, the Evaluation the command
    would give (waits for every task)."""

    table: dd.DataFrame
    _client: object
    _tasks: list
    _assemble: tuple
    _started: float

    def result(self):
        parts = self._client.gather([self._client.submit(operator.itemgetter(1, 2), task) for task in self._tasks])
        seconds = time.perf_counter() - self._started
        outcomes = [outcome for outcome, _ in parts]
        cpu_seconds = sum(spent for _, spent in parts)
        workers = max(1, len(self._client.scheduler_info()["workers"]))
        view = _core.assemble_report(*self._assemble, outcomes, seconds, cpu_seconds, workers)
        return Evaluation(**view)


def evaluate(client, manifests, constants, settings=None, *, annotations=None, beats=None, annotation_rate=0.0):
    """`qzkit evaluate` over `manifests` on the cluster: one task per manifest (with its
    annotation or beats file when given, one per manifest, as the command takes them).
    Returns a DaskEvaluation at once; its result() is the Evaluation of the whole, with the
    CSV bytes and summary of the command run on one machine."""
    named, runs = constants_list(constants), settings_list(settings)
    manifests = paths(manifests)
    annotations, beats = paths(annotations), paths(beats)
    for files in (annotations, beats):
        if files and len(files) != len(manifests):
            raise ValueError(f"evaluate: give one reference file per manifest, not {len(files)} for {len(manifests)}")
    started = time.perf_counter()
    tasks = [
        client.submit(
            _manifest_outcomes,
            manifest,
            named,
            runs,
            annotations[i : i + 1],
            beats[i : i + 1],
            float(annotation_rate),
            pure=False,
        )
        for i, manifest in enumerate(manifests)
    ]
    frames = [client.submit(operator.itemgetter(0), task) for task in tasks]
    meta = pandas.DataFrame({column: pandas.Series(dtype=kind) for column, kind in CSV_COLUMNS.items()})
    table = dd.from_delayed(frames, meta=meta, verify_meta=False)
    assemble = (manifests, named, runs, annotations, beats, float(annotation_rate))
    return DaskEvaluation(table, client, tasks, assemble, started)


def _workers(client):
    return max(1, sum(client.nthreads().values()))


def _score_on_shard(shard, requests):
    return [(index, shard.score(constants, settings)) for index, constants, settings in requests]


def _score_batch(client, session, batch, shards):
    """Scores the batch on every shard of each request's set, the requests split so that
    every worker has some, and tells the search each candidate's sum as soon as it is whole."""
    from distributed import as_completed

    tasks, waiting = [], {}
    for kind, kept in shards.items():
        requests = [(request.index, request.constants, request.settings) for request in batch if request.set == kind]
        if not requests:
            continue
        if not kept:
            raise _core.Error(f"tune: the search asked for {kind} scores but named no {kind} shard")
        parts = min(len(requests), -(-TASKS_PER_WORKER * _workers(client) // len(kept)))
        size = -(-len(requests) // parts)
        for shard in kept:
            for start in range(0, len(requests), size):
                tasks.append(client.submit(_score_on_shard, shard, requests[start : start + size], pure=False))
        waiting.update((index, [len(kept), None]) for index, _, _ in requests)
    for task in as_completed(tasks):
        for index, counts in task.result():
            entry = waiting[index]
            entry[0] -= 1
            entry[1] = counts if entry[1] is None else add_counts(entry[1], counts)
            if entry[0] == 0 and not session.tell(index, entry[1]):
                client.cancel(tasks)
                return


def tune(client, program=None, **options):
    """`qzkit constants tune` (run as `program`, default qzkit on PATH) with the options given
    as keyword arguments (manifest=[...], validate=..., family=..., levels=2, output="t",
    search_settings=True...; see TuneSession), its candidates scored on the cluster. The
    command reads the data once, runs the search, keeps its journal (resume=True goes on from
    it) and writes its files: the same bytes as the command run on one machine with the same
    options and seed. Each shard of the data is read once by a worker, which keeps it for the
    whole search. Returns the TuneRun; qzkit.Error when the command fails."""
    with TuneSession(program, workers=_workers(client), **options) as session:
        shards = {"training": [], "validation": []}
        for kind, text in session.shards:
            shards[kind].append(client.submit(TuneShard, kind, text, pure=False))
        while batch := session.ask():
            _score_batch(client, session, batch, shards)
        return session.finish()


__all__ = ["DaskEvaluation", "estimate", "evaluate", "tune"]
