# SPDX-License-Identifier: Apache-2.0
"""qzkit.dask on a LocalCluster of two one-thread worker processes: the per-window rows, the
CSV bytes and the summary of `qzkit evaluate`, and the files of `qzkit constants tune`, also
when a worker is killed part-way."""
import os
import re
import signal
import time

import numpy as np
import pytest

import qzkit
from conftest import EXAMPLES

distributed = pytest.importorskip("distributed")
qdask = pytest.importorskip("qzkit.dask")

SETTINGS = ["127 1 1 2", "127 1 3 2"]
RECORDS = 6


@pytest.fixture(scope="module")
def cluster():
    with distributed.LocalCluster(
        n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None, worker_dashboard_address=None
    ) as local, distributed.Client(local) as client:
        yield client


@pytest.fixture(scope="module")
def records(tmp_path_factory, qzkit_cli):
    """Six synthetic records, converted, and the command's evaluation of them all."""
    folder = tmp_path_factory.mktemp("dask")
    for seed in range(RECORDS):
        name = f"r{seed}"
        qzkit_cli(folder, "synth", name, "--bpm", str(60 + 9 * seed), "--ectopic", "0.05", "--noise", "8",
                  "--length", "90000", "--seed", str(seed + 1), "--wfdb")
        qzkit_cli(folder, "convert", f"{name}.hea", "--annotations", "atr", "--step", "750", "--name", f"w{seed}")
    manifests = [folder / f"w{seed}.manifest.csv" for seed in range(RECORDS)]
    settings = [argument for text in SETTINGS for argument in ("--settings", text)]
    printed = qzkit_cli(folder, "evaluate", *manifests, "--constants", EXAMPLES / "ecg250", *settings, "-o", "out.csv")
    return folder, manifests, printed


def without_speed(text):
    return [line for line in text.splitlines() if not line.startswith("speed: ")]


def rows(frame):
    return sorted(map(tuple, frame.astype(str).itertuples(index=False)))


def check_against_the_command(records, running):
    folder, _, printed = records
    evaluation = running.result()
    assert evaluation.csv.encode() == (folder / "out.csv").read_bytes()
    assert without_speed(evaluation.summary) == without_speed(printed)
    table = running.table.compute()
    assert running.table.npartitions == RECORDS
    assert rows(table) == rows(qzkit.evaluate(records[1], EXAMPLES / "ecg250", SETTINGS).table())


def test_evaluate_equals_the_command(cluster, records):
    check_against_the_command(records, qdask.evaluate(cluster, records[1], EXAMPLES / "ecg250", SETTINGS))


def kill_a_worker_with(cluster, futures):
    """Kills a worker that runs one of `futures` or holds its result, waiting for one to do so:
    the scheduler has to run what it lost again."""
    keys = {future.key for future in futures}
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        holders = [worker for workers in cluster.who_has(futures).values() for worker in workers]
        running = [worker for worker, tasks in cluster.processing().items() if keys.intersection(tasks)]
        if victims := running + holders:
            os.kill(cluster.run(os.getpid, workers=victims[:1])[victims[0]], signal.SIGKILL)
            return
        time.sleep(0.01)
    pytest.fail("no worker ran or held the tasks within a minute")


def test_a_worker_killed_part_way_changes_nothing(cluster, records):
    """A worker is killed while it runs or holds tasks of the evaluation: they run again elsewhere."""
    running = qdask.evaluate(cluster, records[1], EXAMPLES / "ecg250", SETTINGS)
    kill_a_worker_with(cluster, running._tasks)
    check_against_the_command(records, running)
    cluster.wait_for_workers(2)


def test_estimate_equals_the_local_walk(cluster, records):
    folder = records[0]
    heads = [folder / f"r{seed}.hea" for seed in range(2)]
    table = qdask.estimate(cluster, heads, EXAMPLES / "ecg250", step=750).compute()
    for head in heads:
        walked = list(qzkit.iter_windows(head, step=750))
        local = qzkit.estimate_many(np.stack([window for _, window in walked]), EXAMPLES / "ecg250")
        mine = table[table["record"] == os.fspath(head)]
        assert list(mine["start_sample"]) == [start for start, _ in walked]
        assert list(mine["bpm"]) == list(local.bpm) and list(mine["qi"]) == list(local.qi)


@pytest.fixture(scope="module")
def searched(tmp_path_factory, qzkit_cli):
    """Two synthetic manifests to train on and one to validate on, a battery family, and the
    command's search over them in the folder "command"; the search's options as tune takes them."""
    folder = tmp_path_factory.mktemp("tune")
    for seed, bpm in enumerate((70, 95, 60), 1):
        qzkit_cli(folder, "synth", f"s{seed}", "--bpm", bpm, "--noise", "8", "--seed", seed, "--manifest")
    options = dict(family="mains", seeds=1, levels=2, start=EXAMPLES / "ecg250",
                   manifest=[folder / "s1.manifest.csv", folder / "s2.manifest.csv"],
                   validate=folder / "s3.manifest.csv", output="t")
    (folder / "command").mkdir()
    qzkit_cli(folder / "command", "constants", "tune", "--family", "mains", "--seeds", 1, "--levels", 2,
              "--start", options["start"], *[arg for path in options["manifest"] for arg in ("--manifest", path)],
              "--validate", options["validate"], "--jobs", 2, "-o", "t")
    return folder, options


def same_files(folder, searched_in):
    untimed = re.compile(r" in [0-9.]+ s on (.*) \(load average [0-9.]+ at the end\)")
    for suffix in (".csv", ".pvx.filters.v1", ".constants.txt", ".svg", ".png", ".points"):
        assert (folder / f"t{suffix}").read_bytes() == (searched_in / f"t{suffix}").read_bytes(), suffix
    md = [untimed.sub(r" on \1", (place / "t.md").read_text()) for place in (folder, searched_in)]
    assert md[0] == md[1]


def tune_in(folder, cluster, options, qzkit_path, monkeypatch):
    folder.mkdir()
    monkeypatch.chdir(folder)
    run = qdask.tune(cluster, program=qzkit_path, **options)
    assert run.feasible and "Pareto set" in run.summary


def test_tune_writes_the_files_of_the_command(cluster, searched, qzkit_path, monkeypatch):
    folder, options = searched
    tune_in(folder / "dask", cluster, options, qzkit_path, monkeypatch)
    same_files(folder / "dask", folder / "command")


def test_tune_with_a_worker_killed_part_way_writes_the_same_files(cluster, searched, qzkit_path, monkeypatch):
    """A worker holding shards is killed after the first batch: the shards it kept are read
    again and its tasks run on the workers there are."""
    folder, options = searched
    score_batch, batches = qdask._score_batch, []

    def kill_after_the_first_batch(client, session, batch, shards):
        if len(batches) == 1:
            kill_a_worker_with(client, [shard for kept in shards.values() for shard in kept])
        batches.append(batch)
        score_batch(client, session, batch, shards)

    monkeypatch.setattr(qdask, "_score_batch", kill_after_the_first_batch)
    tune_in(folder / "killed", cluster, options, qzkit_path, monkeypatch)
    assert len(batches) > 1, "the search ended after one batch, before a worker was killed"
    same_files(folder / "killed", folder / "command")
    cluster.wait_for_workers(2)
