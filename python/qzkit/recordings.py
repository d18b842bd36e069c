# SPDX-License-Identifier: Apache-2.0
"""Cutting the front end's samples into the tool's windows, in memory or while a record is read."""
import operator
import os

import numpy as np

from . import _core


def windows(samples, length=_core.WINDOW_LENGTH, step=None):
    """The windows `qzkit convert` cuts: `length` samples starting at 0, step, 2 step, ...
    (step defaults to the length), each wholly inside `samples`. Returns a 2-D array,
    one window per row, ready for estimate_many. Length and step are whole numbers
    of at least 1."""
    samples = np.asarray(samples)
    if samples.ndim != 1:
        raise ValueError(f"samples must be a 1-D array, not {samples.ndim}-D")
    length = operator.index(length)
    step = length if step is None else operator.index(step)
    if length < 1 or step < 1:
        raise ValueError(f"windows: length and step must be at least 1, not {length} and {step}")
    starts = _core.window_starts(len(samples), length, step)
    if not starts:
        return np.empty((0, length), dtype=samples.dtype)
    return np.stack([samples[start : start + length] for start in starts])


def iter_windows(
    record,
    channel=None,
    length=_core.WINDOW_LENGTH,
    step=None,
    *,
    format="auto",
    rate=0.0,
    units="mV",
    target_rate=250.0,
    quality="best",
    ac_coupling=0.0,
    gain=200.0,
    gain_per_unit=None,
    centre=512.0,
):
    """Yields (start, window) for each window `qzkit convert` cuts from `record` with the same
    options: `start` the window's first sample in the converted recording, `window` its
    `length` 10-bit samples (uint16). WFDB and EDF records are read a piece at a time, so the
    memory taken does not grow with the record's length; text recordings are read whole.
    Each run between gaps is converted on its own and a window lies inside one run.
    qzkit.Error for a record or options convert refuses."""
    length = operator.index(length)
    step = length if step is None else operator.index(step)
    if step < 1:
        raise ValueError(f"iter_windows: step must be at least 1, not {step}")
    walk = _core.walk_windows(
        os.fspath(record), channel, length, step, format, float(rate), units, float(target_rate), quality,
        float(ac_coupling), float(gain), gain_per_unit, float(centre),
    )
    yield from walk
