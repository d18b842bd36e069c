# SPDX-License-Identifier: Apache-2.0
"""qzkit.dask on a LocalCluster of two one-thread worker processes: the per-window rows, the
CSV bytes and the summary of `qzkit evaluate`, also when a worker is killed part-way."""
import os
import signal

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


def test_a_worker_killed_part_way_changes_nothing(cluster, records):
    """A worker is killed while tasks given to it have not finished: they run again elsewhere."""
    running = qdask.evaluate(cluster, records[1], EXAMPLES / "ecg250", SETTINGS)
    busy = [worker for worker, tasks in cluster.processing().items() if tasks]
    assert busy, "every task finished before the kill"
    os.kill(cluster.run(os.getpid, workers=busy[:1])[busy[0]], signal.SIGKILL)
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
