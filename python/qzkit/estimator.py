# SPDX-License-Identifier: Apache-2.0
"""The estimator: one recording or a batch, with the result record and the stage outputs."""
import operator
from collections.abc import Iterator
from dataclasses import dataclass
from functools import cached_property
from typing import NamedTuple, Optional

import numpy as np

from . import _core
from .constants import Constants

# The record's first words, read as columns of a batch.
_BPM, _QI, _CLASSIFIED, _PEAK_COUNT = range(4)


class Statistics(NamedTuple):
    """The statistics block of the result record (the beat-rate stage's record)."""

    QI: int
    MaxPeak: int
    MinPeak: int
    HighPeakThreshold: int
    LowPeakThreshold: int
    Median: int
    HighBucket: int
    LowBucket: int
    MiddleBucket: int
    Tegur: int


@dataclass(frozen=True)
class Result:
    """One run: the 43-word result record the tool writes (`record`) and, when
    asked for, the stage outputs (`stages`: name -> uint16 array, the dump files'
    values, for the stages the mask ran, in pipeline order)."""

    record: np.ndarray
    stages: Optional[dict] = None

    @cached_property
    def _fields(self):
        return _core.parse_record(np.ascontiguousarray(self.record, dtype=np.uint16))

    bpm = property(lambda self: self._fields["bpm"])
    qi = property(lambda self: self._fields["qi"], doc="Quality indication: 0 best ... 3 bad or failed.")
    classified = property(
        lambda self: self._fields["classified"], doc="The estimate came from the beat-classification method."
    )
    peak_count = property(lambda self: self._fields["peak_count"], doc="Peaks found (may exceed the 25 kept).")
    peaks = property(
        lambda self: self._fields["peaks"],
        doc="The published peak locations: one-based sample positions of the conditioned buffer.",
    )
    statistics = property(lambda self: Statistics(*self._fields["statistics"]))

    def __repr__(self):
        stages = "" if self.stages is None else f", stages={list(self.stages)}"
        return (
            f"Result(bpm={self.bpm}, qi={self.qi}, peak_count={self.peak_count}, classified={self.classified}, "
            f"record={self.record!r}{stages})"
        )


@dataclass(frozen=True)
class Batch:
    """Runs of estimate_many: `records` (one 43-word result record per row),
    `stages` (name -> one row per run) and column views. `batch[i]` is the Result
    of run i; a slice, a list of runs or a boolean mask gives a Batch of those runs."""

    records: np.ndarray
    stages: Optional[dict] = None

    @property
    def bpm(self):
        return self.records[:, _BPM]

    @property
    def qi(self):
        return self.records[:, _QI]

    @property
    def classified(self):
        return self.records[:, _CLASSIFIED].astype(bool)

    @property
    def peak_count(self):
        return self.records[:, _PEAK_COUNT]

    def __len__(self):
        return len(self.records)

    def __getitem__(self, index):
        if isinstance(index, tuple):
            raise TypeError("a Batch is indexed by run: a number, a slice, a list of runs or a boolean mask")
        records = self.records[index]
        stages = None if self.stages is None else {name: rows[index] for name, rows in self.stages.items()}
        return Result(records, stages) if records.ndim == 1 else Batch(records, stages)


def _samples(samples, ndim):
    """The recording(s) as C-ordered uint16 words; floats and values outside 0..65535 are refused.
    Recordings may come from an iterator (a generator of rows); no recordings make an empty batch."""
    if isinstance(samples, Iterator):
        samples = list(samples)
    array = np.asarray(samples)
    if array.size == 0 and array.ndim < ndim:
        array = array.reshape(0, _core.RECORD_LENGTHS[0])
    if array.dtype.kind not in "iu" and array.size:
        raise ValueError(f"samples must be integers (16-bit words, the low 10 bits are used), not {array.dtype}")
    if array.ndim != ndim:
        raise ValueError(f"samples must be a {ndim}-D array, not {array.ndim}-D")
    if array.dtype != np.uint16 and array.size and (array.min() < 0 or array.max() > 0xFFFF):
        raise ValueError(
            f"samples must lie in 0..65535 (16-bit words, the low 10 bits are used), not {array.min()}..{array.max()}"
        )
    return np.ascontiguousarray(array, dtype=np.uint16)


def _run(caller, samples, constants, mask, peak, beat, derivative, stages):
    settings = (_core.setting(str(operator.index(value))) for value in (mask, peak, beat, derivative))
    records, dumps = _core.run(samples, bytes(Constants.coerce(constants, caller)), *settings, bool(stages))
    return records, (dumps if stages else None)


def estimate(
    samples,
    constants,
    mask=_core.DEFAULT_MASK,
    peak=_core.DEFAULT_PEAK,
    beat=_core.DEFAULT_BEAT,
    derivative=_core.DEFAULT_DERIVATIVE,
    stages=False,
):
    """Estimates BPM and QI from one recording, as `qz_vozozi_DE CONSTANTS RECORD MASK PEAK BEAT DERIV` does.

    samples: 1-D integer array of 1500 or 600 values (16-bit words; the low 10 bits
        are used, as the tool does). Floats, values outside 0..65535 and other
        lengths are refused (ValueError; the length with the tool's message).
    constants: a Constants object, its 31 bytes, or a path / base name of the file.
    mask, peak, beat, derivative: the tool's optional settings, read as it reads
        them (low 16 bits; the stage mask's low 8 bits select the stages).
    stages: also return every stage output (Result.stages).

    The library keeps its state in fixed global storage: the call takes the
    package's lock (calls from several threads run one after another), starts
    from the library's program-start state, and releases the interpreter lock
    while the estimator runs.
    """
    one = _samples(samples, 1)[np.newaxis, :]
    records, dumps = _run("estimate", one, constants, mask, peak, beat, derivative, stages)
    return Batch(records, dumps)[0]


def estimate_many(
    samples,
    constants,
    mask=_core.DEFAULT_MASK,
    peak=_core.DEFAULT_PEAK,
    beat=_core.DEFAULT_BEAT,
    derivative=_core.DEFAULT_DERIVATIVE,
    stages=False,
):
    """Runs estimate on every row of a 2-D array (rows of 1500 or 600 samples), or on
    every recording an iterator yields, in one call, with one lock and without the
    interpreter lock for the whole batch. No recordings give an empty Batch.
    Returns a Batch (records, stages, bpm, qi, classified, peak_count; batch[i] is a Result)."""
    records, dumps = _run("estimate_many", _samples(samples, 2), constants, mask, peak, beat, derivative, stages)
    return Batch(records, dumps)
