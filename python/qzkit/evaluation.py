# SPDX-License-Identifier: Apache-2.0
"""Scoring against reference beats: `qzkit evaluate` in Python, through the same C++ code."""
import operator
import os
import tempfile
from dataclasses import dataclass
from typing import Optional

import numpy as np

from . import _core
from .constants import Constants
from .estimator import _samples


@dataclass(frozen=True)
class RecordWindows:
    """One record's windows in memory, as `qzkit convert` cuts them: `windows` (one window
    of 1500 or 600 samples per row), the first sample of each in the converted signal
    (`starts`), its sampling rate, and optionally the reference beats as positions on
    that signal's sample axis (what convert's beats file holds). The windows are named in
    the outputs as convert names their files: NAME_00000.ecg, NAME_00001.ecg, ..."""

    name: str
    windows: np.ndarray
    starts: np.ndarray
    rate: float = 250.0
    beats: Optional[np.ndarray] = None


@dataclass(frozen=True)
class Evaluation:
    """What `qzkit evaluate` gives: `csv` (the per-window CSV, the bytes -o writes when
    encoded as UTF-8), `summary` (the text it prints and --summary writes, speed line
    included), `figures` (combination label -> summary row -> the cell as printed),
    `windows` (per combination) and the times of the run."""

    csv: str
    summary: str
    figures: dict
    windows: int
    seconds: float
    cpu_seconds: float

    def table(self):
        """The per-window CSV as a pandas DataFrame (needs pandas); empty cells are missing values."""
        return csv_table(self.csv)

    def write_csv(self, path):
        """Writes the per-window CSV to `path`: the whole file or nothing."""
        folder = os.path.dirname(os.path.abspath(path))
        with tempfile.NamedTemporaryFile("wb", dir=folder, delete=False) as part:
            part.write(self.csv.encode())
        os.replace(part.name, path)


# The per-window CSV's columns and their types: whole numbers that may be missing are pandas'
# nullable integers, so that every part of a table has the same types.
CSV_COLUMNS = {
    "file": "string",
    "start_sample": "int64",
    "start_time_s": "float64",
    "reference_beats": "int64",
    "reference_bpm": "float64",
    "bpm": "int64",
    "qi": "int64",
    "error_bpm": "float64",
    "peaks": "int64",
    "beat_method": "int64",
    "record": "string",
    "constants": "string",
    "settings": "string",
    "beat_tp": "Int64",
    "beat_fn": "Int64",
    "beat_fp": "Int64",
    "peaks_truncated": "Int64",
}


def csv_table(text):
    """A per-window CSV as a pandas DataFrame of CSV_COLUMNS."""
    import io

    import pandas

    return pandas.read_csv(io.StringIO(text), dtype=CSV_COLUMNS, keep_default_na=False, na_values=[""])


def constants_list(constants):
    """(name, 31 bytes) for each constants set: a path or base name (named by its base name),
    a Constants object or its bytes (named constants1, constants2, ...), or a (name, any of
    those) pair. One set may be given alone."""
    if isinstance(constants, (str, os.PathLike, bytes, bytearray, Constants)) or (
        isinstance(constants, tuple) and len(constants) == 2 and isinstance(constants[0], str)
    ):
        constants = [constants]
    named = []
    for number, item in enumerate(constants, 1):
        if isinstance(item, tuple):
            name, item = item
        else:
            name = os.fspath(item) if isinstance(item, (str, os.PathLike)) else f"constants{number}"
        named.append((name, bytes(Constants.coerce(item, "evaluate"))))
    return named


def settings_list(settings):
    """The settings as (mask, peak, beat, derivative): "MASK PEAK BEAT DERIV" texts as
    --settings takes them or 4-tuples of numbers; None: the tool's defaults."""
    if settings is None:
        return []
    if isinstance(settings, str) or (len(settings) == 4 and not isinstance(settings[0], (str, tuple, list))):
        settings = [settings]
    runs = []
    for item in settings:
        text = item if isinstance(item, str) else " ".join(str(operator.index(value)) for value in item)
        runs.append(_core.parse_settings(text))
    return runs


def paths(files):
    return [os.fspath(file) for file in (files or [])]


def evaluate(
    manifests=(),
    constants=None,
    settings=None,
    *,
    windows=None,
    annotations=None,
    beats=None,
    annotation_rate=0.0,
    jobs=1,
):
    """Runs the estimator over every window of `manifests` (written by `qzkit convert` or
    `qzkit synth --manifest`), or of `windows` (RecordWindows in memory), for every
    combination of `constants` and `settings`, and scores it against the reference beats,
    as `qzkit evaluate` does with the same code: the same CSV bytes and summary figures.

    constants: one or more sets (see constants_list); settings: None (the defaults),
        "MASK PEAK BEAT DERIV" texts or 4-tuples.
    annotations, beats, annotation_rate: as the command's --annotations, --beats and
        --annotation-rate, one file per manifest (default: the beats each manifest names).
    jobs: worker processes (forked) running the windows; the results do not depend on it.
    Returns an Evaluation. qzkit.Error for unreadable or inconsistent input."""
    if constants is None:
        raise TypeError("evaluate: give the constants")
    named, runs = constants_list(constants), settings_list(settings)
    jobs = operator.index(jobs)
    if jobs < 1:
        raise ValueError(f"evaluate: jobs must be at least 1, not {jobs}")
    if windows is not None:
        if manifests:
            raise TypeError("evaluate: give manifests or windows, not both")
        records = [
            (
                record.name,
                _samples(record.windows, 2),
                [operator.index(start) for start in record.starts],
                float(record.rate),
                None if record.beats is None else np.asarray(record.beats, dtype=float),
            )
            for record in windows
        ]
        view = _core.evaluate_windows(records, named, runs, jobs)
    else:
        if isinstance(manifests, (str, os.PathLike)):
            manifests = [manifests]
        view = _core.evaluate_manifests(
            paths(manifests), named, runs, paths(annotations), paths(beats), float(annotation_rate), jobs
        )
    return Evaluation(**view)
