#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Scaling figures of evaluate: windows per second on 1 and 2 processes of one machine
(`qzkit evaluate --jobs`) and on a Dask LocalCluster of 1 and 2 one-thread worker processes
(qzkit.dask.evaluate), the cluster's cost per task, and the peak memory of walking a
generated day-long record (qzkit.iter_windows); and of tune: points per second of a small
search on record 100's two manifests (`qzkit constants tune --jobs`, qzkit.dask.tune). Prints one line per figure and the machine's
load average before each, since other work on the machine moves every figure.

Usage: bench/scale.py QZKIT RECORD_100_HEA [--repeat N]
  QZKIT            the qzkit program (e.g. build/release/tools/qzkit)
  RECORD_100_HEA   MIT-BIH record 100's header: converted at both window lengths, evaluated
                   with three settings, each manifest named N times (default 16) so that a
                   run lasts long enough to time
Runs in the Python that has qzkit, Dask and distributed installed.
"""
import argparse
import os
import pathlib
import re
import subprocess
import sys
import tempfile
import time

import numpy as np

import qzkit
import qzkit.dask

SETTINGS = ["127 1 1 2", "127 1 2 2", "127 1 3 2"]
EXAMPLES = pathlib.Path(__file__).resolve().parents[1] / "examples"


def load():
    return f"load {os.getloadavg()[0]:.2f}"


def convert(qzkit_program, record, folder):
    for length in (1500, 600):
        subprocess.run(
            [qzkit_program, "convert", record, "--window", str(length), "--annotations", "atr",
             "--name", f"r{length}", "--output-dir", folder],
            check=True, capture_output=True,
        )
    return [folder / f"r{length}.manifest.csv" for length in (1500, 600)]


def command_rates(qzkit_program, manifests, jobs):
    settings = [argument for text in SETTINGS for argument in ("--settings", text)]
    printed = subprocess.run(
        [qzkit_program, "evaluate", *manifests, "--constants", EXAMPLES / "ecg250", *settings, "--jobs", str(jobs)],
        check=True, capture_output=True, text=True,
    ).stdout
    return printed.splitlines()[-1]


def cluster_rates(manifests, workers):
    import distributed

    with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        qzkit.dask.evaluate(client, manifests[:1], EXAMPLES / "ecg250").result()  # workers warmed up
        started = time.perf_counter()
        evaluation = qzkit.dask.evaluate(client, manifests, EXAMPLES / "ecg250", SETTINGS).result()
        wall = time.perf_counter() - started
        runs = evaluation.windows * len(SETTINGS)
        line = (f"LocalCluster, {workers} worker(s): {runs / wall:.0f} windows per second of wall-clock time, "
                f"{runs / evaluation.cpu_seconds:.0f} per second of the tasks' processor time "
                f"({runs} runs in {len(manifests)} tasks, {wall:.3f} s)")
        if workers == 2:
            count = 200
            started = time.perf_counter()
            client.gather(client.map(lambda i: i, range(count), pure=False))
            line += f"\nper-task overhead: {1000 * (time.perf_counter() - started) / count:.2f} ms ({count} empty tasks)"
        return line


# A small search: the grid and two rounds of one local search, on the manifests only.
TUNE = dict(battery="none", levels=3, rounds=2, starts=1)
POINTS = re.compile(r"(\d+) points scored")


def tune_rates(qzkit_program, manifests, folder):
    import distributed

    options = dict(TUNE, manifest=manifests)
    arguments = [argument for name, value in TUNE.items() for argument in (f"--{name}", str(value))]
    arguments += [argument for manifest in manifests for argument in ("--manifest", manifest)]
    lines = []
    for jobs in (1, 2):
        started = time.perf_counter()
        printed = subprocess.run([qzkit_program, "constants", "tune", *arguments, "--jobs", str(jobs), "-o",
                                  folder / f"tune{jobs}"], check=True, capture_output=True, text=True).stdout
        wall = time.perf_counter() - started
        points = int(POINTS.search(printed).group(1))
        lines.append(f"{load()} | constants tune --jobs {jobs}: {points / wall:.1f} points per second ({points} in {wall:.1f} s)")
    for workers in (1, 2):
        with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, dashboard_address=None) as cluster, \
                distributed.Client(cluster) as client:
            started = time.perf_counter()
            run = qzkit.dask.tune(client, program=qzkit_program, output=folder / f"dask{workers}", **options)
            wall = time.perf_counter() - started
        points = int(POINTS.search(run.summary).group(1))
        lines.append(f"{load()} | dask.tune, {workers} worker(s): {points / wall:.1f} points per second "
                     f"({points} in {wall:.1f} s, the cluster's start left out)")
    return "\n".join(lines)


WALK = """
import sys, time
import qzkit
started = time.perf_counter()
windows = sum(1 for _ in qzkit.iter_windows(sys.argv[1]))
with open("/proc/self/status") as status:
    peak = next(int(line.split()[1]) for line in status if line.startswith("VmHWM:"))
print(f"day-long walk: {windows} windows of 24 h at 250 Hz in {time.perf_counter() - started:.2f} s, "
      f"peak resident memory {peak / 1024:.0f} MB")
"""


def long_walk(folder):
    beat = np.zeros(200, dtype="<i2")
    beat[:9] = [20, 60, 140, 200, 140, 60, 20, 0, -20]
    samples = 24 * 3600 * 250
    np.tile(beat, samples // len(beat)).tofile(folder / "day.dat")
    (folder / "day.hea").write_text(f"day 1 250 {samples}\nday.dat 16 200 16 0 0 0 0 ECG\n")
    return subprocess.run([sys.executable, "-c", WALK, folder / "day.hea"], check=True, capture_output=True,
                          text=True).stdout.strip()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("qzkit")
    parser.add_argument("record")
    parser.add_argument("--repeat", type=int, default=16)
    arguments = parser.parse_args()
    with tempfile.TemporaryDirectory() as scratch:
        folder = pathlib.Path(scratch)
        manifests = convert(arguments.qzkit, arguments.record, folder) * arguments.repeat
        for jobs in (1, 2):
            print(load(), "|", f"evaluate --jobs {jobs}:", re.sub(r"^speed: ", "", command_rates(arguments.qzkit, manifests, jobs)))
        for workers in (1, 2):
            print(load(), "|", cluster_rates(manifests, workers))
        print(load(), "|", long_walk(folder))
        print(tune_rates(arguments.qzkit, manifests[:2], folder))


if __name__ == "__main__":
    main()
