# SPDX-License-Identifier: Apache-2.0
"""`qzkit constants tune` with its scoring done here: the command runs the one search, keeps its
journal, stops on signals and writes its files; a TuneSession is the other end of its scoring
socket, an ask/tell loop. ask() gives the next batch of candidates to score, tell() gives back a
candidate's counts, the sum over the shards of its set of what TuneShard.score gives on each.
qzkit.dask.tune scores them on a Dask cluster; the files are the command's, byte for byte.
"""
import os
import re
import shutil
import socket
import subprocess
import tempfile
from dataclasses import dataclass

from . import _core

# The command's progress lines on standard error, left out of its error messages.
PROGRESS = re.compile(r"\r?\w+: \d+ points scored in ")


@dataclass(frozen=True)
class ScoreRequest:
    """A candidate to score: its `index` in the batch, the `set` whose shards it is scored on
    ("training" or "validation"), its 31 bytes of `constants` and its run `settings`
    (mask, peak, beat, derivative)."""

    index: int
    set: str
    constants: bytes
    settings: tuple


@dataclass(frozen=True)
class TuneRun:
    """The end of a search: `summary` (what the command printed), `feasible` (False when no
    point met the requirements: the best of the others was chosen) and the command's
    `messages` on standard error."""

    summary: str
    feasible: bool
    messages: str


class TuneShard:
    """One shard of the search's data (a battery family or a manifest), read where it is made.
    Pickled, it travels as its text and is read again where it is unpickled (shared storage)."""

    def __init__(self, set, text):
        self.set, self.text = set, text
        self._shard = _core.TuneShard(set, text)

    def score(self, constants, settings):
        """The candidate's counts on this shard, a list of whole numbers that add over shards."""
        return self._shard.score(constants, settings)

    def __reduce__(self):
        return TuneShard, (self.set, self.text)

    def __sizeof__(self):
        return object.__sizeof__(self) + self._shard.nbytes


def add_counts(first, second):
    """The counts of two parts of a set, summed."""
    return [a + b for a, b in zip(first, second)]


def _arguments(options):
    """`constants tune` options from keyword arguments: name_of_option=value as --name-of-option
    VALUE, True as a flag, a list as the option repeated, False and None left out."""
    arguments = []
    for name, value in options.items():
        if name in ("jobs", "scorer_fd"):
            raise TypeError(f"tune: {name} is the session's to set")
        option = "--" + name.replace("_", "-")
        values = value if isinstance(value, (list, tuple)) else [value]
        for item in values:
            if item is True:
                arguments.append(option)
            elif item is not False and item is not None:
                arguments += [option, os.fspath(item) if isinstance(item, os.PathLike) else str(item)]
    return arguments


class TuneSession:
    """`qzkit constants tune` with the options given as keyword arguments (`manifest=[...]`,
    `validate=...`, `family="mains"`, `levels=2`, `output="t"`, `search_settings=True`...),
    run as `program` (default: qzkit on PATH) with its scoring left to this session. `workers`
    is the number of processes that score, for the summary. `shards` lists (set, text) for
    each part of the data. Use it in a `with` block: leaving it early stops the search, which
    still writes its files with what was scored (as on a signal)."""

    def __init__(self, program=None, *, workers=1, **options):
        program = program or shutil.which("qzkit")
        if program is None:
            raise FileNotFoundError("tune: the qzkit program is not on PATH; name it with program=")
        ours, theirs = socket.socketpair()
        self._output, self._errors = tempfile.TemporaryFile(), tempfile.TemporaryFile()
        command = [os.fspath(program), "constants", "tune", *_arguments(options), "--scorer-fd", str(theirs.fileno())]
        with theirs:
            self._process = subprocess.Popen(
                command, pass_fds=[theirs.fileno()], stdin=subprocess.DEVNULL, stdout=self._output, stderr=self._errors
            )
        self._socket, self._lines = ours, ours.makefile("rb")
        self.shards = self._greeting()
        self._send(f"ready {int(workers)}\n")

    def _line(self):
        """The next line from the search, or None once it has closed its end."""
        line = self._lines.readline()
        return line[:-1] if line.endswith(b"\n") else None

    def _greeting(self):
        if self._line() != _core.TUNE_SCORING_TITLE.encode():
            self._refuse("the program did not start a search with its scoring here")
        shards = []
        while (line := self._line()) != b"end":
            parts = (line or b"").split(b" ", 2)
            if len(parts) != 3 or parts[0] != b"shard":
                self._refuse(f"the search sent {line!r}, not a shard")
            shards.append((parts[1].decode(), parts[2]))
        return shards

    def _send(self, text):
        try:
            self._socket.sendall(text.encode())
            return True
        except (BrokenPipeError, ConnectionResetError):
            return False

    def ask(self):
        """The next batch of ScoreRequests; an empty list when the search is over."""
        header = self._line()
        if header is None:
            return []
        requests = []
        for _ in range(int(header.split()[1])):
            line = self._line()
            if line is None:  # stopped while it sent the batch
                return []
            _, index, kind, mask, peak, beat, derivative, constants = line.split()
            settings = (int(mask), int(peak), int(beat), int(derivative))
            requests.append(ScoreRequest(int(index), kind.decode(), bytes.fromhex(constants.decode()), settings))
        return requests

    def tell(self, index, counts):
        """The counts of the batch's request `index`, summed over the shards of its set. False
        when the search no longer listens (it was stopped)."""
        return self._send(f"{index} {' '.join(str(count) for count in counts)}\n")

    def stop(self):
        """Asks the search to stop: it writes its files with what was scored."""
        try:
            self._socket.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    def finish(self):
        """Waits for the command to write its files and end; its TuneRun. qzkit.Error with the
        command's message when it failed."""
        status = self._close()
        messages = self._read(self._errors)
        if status not in (0, 3):
            lines = [line for line in messages.splitlines() if line.strip() and not PROGRESS.match(line)]
            raise _core.Error("\n".join(lines) or f"qzkit constants tune ended with status {status}")
        return TuneRun(self._read(self._output), status == 0, messages)

    def _close(self):
        if self._process.returncode is None:
            self._lines.close()
            self._socket.close()
            self._process.wait()
        return self._process.returncode

    def _refuse(self, what):
        self.finish()
        raise _core.Error("tune: " + what)

    @staticmethod
    def _read(file):
        file.seek(0)
        return file.read().decode(errors="backslashreplace")

    def __enter__(self):
        return self

    def __exit__(self, kind, error, trace):
        self.stop()
        self._close()
        return False
