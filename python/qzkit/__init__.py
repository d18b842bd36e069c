# SPDX-License-Identifier: Apache-2.0
"""qzkit: heart rate and quality from one short ECG or pulse recording, in Python.

The same bits as the command-line tool qz_vozozi_DE and the companion program
qzkit: the estimator with every stage output (estimate, estimate_many), the
31-byte constants file (Constants), and the recording readers and front end of
`qzkit convert` (read_record, front_end, windows), and the scoring of `qzkit evaluate`
(evaluate). qzkit.tuning runs `qzkit constants tune` with its scoring done in Python, and
qzkit.dask runs estimate, evaluate and tune on a Dask cluster.

The library keeps its state in fixed global storage. The package serialises
every call into it with one lock (calls from several threads run one after
another), starts each run from the library's program-start state, and releases
the interpreter lock while the estimator runs.

Errors about the input are qzkit.Error (a ValueError) with the tool's message;
a missing constants file is a FileNotFoundError.
"""
from ._core import Error, Recording, __version__, front_end, read_record
from .constants import Constants
from .estimator import Batch, Result, Statistics, estimate, estimate_many
from .evaluation import Evaluation, RecordWindows, evaluate
from .recordings import iter_windows, windows

__all__ = [
    "Batch",
    "Constants",
    "Error",
    "Evaluation",
    "Recording",
    "RecordWindows",
    "Result",
    "Statistics",
    "__version__",
    "estimate",
    "estimate_many",
    "evaluate",
    "front_end",
    "iter_windows",
    "read_record",
    "windows",
]
