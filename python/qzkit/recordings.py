# SPDX-License-Identifier: Apache-2.0
"""Cutting the front end's samples into the tool's windows."""
import operator

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
