# SPDX-License-Identifier: Apache-2.0
"""qzkit.evaluate gives what `qzkit evaluate` writes: the same CSV bytes and summary,
from manifests or from the same windows in memory, with any number of worker processes."""
import csv

import numpy as np
import pytest

import qzkit
from conftest import EXAMPLES

SETTINGS = ["127 1 1 2", "127 1 2 2", "127 0 3 5"]


def comparable(text):
    """The summary without its speed line and the reference's path (the manifest named another way)."""
    return [line for line in text.splitlines() if not line.startswith(("speed: ", "record s: reference"))]


@pytest.fixture(scope="module")
def converted(tmp_path_factory, qzkit_cli):
    """A synthetic record with premature beats converted to overlapping windows, and the command's outputs."""
    folder = tmp_path_factory.mktemp("evaluate")
    qzkit_cli(folder, "synth", "s", "--bpm", "80", "--ectopic", "0.06", "--noise", "6", "--length", "45000", "--wfdb")
    qzkit_cli(folder, "convert", "s.hea", "--annotations", "atr", "--step", "750")
    settings = [argument for text in SETTINGS for argument in ("--settings", text)]
    printed = qzkit_cli(
        folder, "evaluate", "s.manifest.csv", "--constants", EXAMPLES / "ecg250", *settings, "-o", "out.csv"
    )
    return folder, printed


def in_memory(folder):
    """The windows, starts and reference beats the manifest names, read into memory."""
    with open(folder / "s.manifest.csv", newline="") as manifest:
        rows = list(csv.DictReader(manifest))
    windows = np.stack([np.fromfile(folder / row["file"], dtype="<u2") for row in rows])
    with open(folder / rows[0]["beats_file"], newline="") as beats:
        samples = [float(row["sample"]) for row in csv.DictReader(beats)]
    starts = [int(row["start_sample"]) for row in rows]
    return qzkit.RecordWindows("s", windows, starts, float(rows[0]["rate_hz"]), np.array(samples))


@pytest.mark.parametrize("source", ["manifest", "memory"])
@pytest.mark.parametrize("jobs", [1, 2])
def test_same_csv_bytes_and_summary_as_the_command(converted, source, jobs):
    folder, printed = converted
    if source == "manifest":
        evaluation = qzkit.evaluate(folder / "s.manifest.csv", EXAMPLES / "ecg250", SETTINGS, jobs=jobs)
    else:
        evaluation = qzkit.evaluate(
            constants=EXAMPLES / "ecg250", settings=SETTINGS, windows=[in_memory(folder)], jobs=jobs
        )
    assert evaluation.csv.encode() == (folder / "out.csv").read_bytes()
    assert comparable(evaluation.summary) == comparable(printed)
    assert list(evaluation.figures) == [f"ecg250 {settings}" for settings in SETTINGS]
    assert evaluation.windows == 59


def test_table_and_written_csv(converted, tmp_path):
    folder, _ = converted
    evaluation = qzkit.evaluate(folder / "s.manifest.csv", [("tuned", qzkit.Constants.read(EXAMPLES / "ecg250"))])
    table = evaluation.table()
    assert len(table) == 59 and set(table["constants"]) == {"tuned"} and set(table["settings"]) == {"127 1 1 2"}
    evaluation.write_csv(tmp_path / "out.csv")
    assert (tmp_path / "out.csv").read_text() == evaluation.csv


@pytest.mark.parametrize(
    "arguments, error, message",
    [
        ({"constants": EXAMPLES / "ecg250", "settings": "127 1"}, qzkit.Error, "MASK PEAK BEAT DERIV"),
        ({"constants": EXAMPLES / "ecg250", "jobs": 0}, ValueError, "jobs must be at least 1"),
        ({"settings": SETTINGS}, TypeError, "give the constants"),
    ],
)
def test_refusals(converted, arguments, error, message):
    folder, _ = converted
    with pytest.raises(error, match=message):
        qzkit.evaluate(folder / "s.manifest.csv", **arguments)


@pytest.mark.parametrize(
    "record, message",
    [
        (qzkit.RecordWindows("x", np.full((1, 1500), 1024), [0]), "sample 0 is 1024, above the 10-bit range"),
        (qzkit.RecordWindows("x", np.zeros((1, 1500)), [0]), "samples must be integers"),
        (qzkit.RecordWindows("x", np.zeros((2, 1500), int), [0]), "one start per window"),
        (qzkit.RecordWindows("x", np.zeros((1, 1500), int), [0], beats=[30.0, 20.0]), "ascending order"),
        (qzkit.RecordWindows("x", np.zeros((1, 1500), int), [0], beats=[np.nan]), "ascending order"),
        (qzkit.RecordWindows("../x", np.zeros((1, 1500), int), [0]), "would not read back"),
    ],
)
def test_windows_in_memory_are_checked_as_the_files_are(record, message):
    with pytest.raises((qzkit.Error, ValueError), match=message):
        qzkit.evaluate(constants=EXAMPLES / "ecg250", windows=[record])
