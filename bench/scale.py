#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Scaling figures of evaluate: windows per second on 1 and 2 processes of one machine
(`qzkit evaluate --jobs`) and on a Dask LocalCluster of 1 and 2 one-thread worker processes
(qzkit.dask.evaluate), the cluster's cost per task, and the peak memory of walking a
generated day-long record (qzkit.iter_windows). Prints one line per figure and the machine's
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


if __name__ == "__main__":
    main()
