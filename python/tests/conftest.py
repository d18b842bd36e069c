# SPDX-License-Identifier: Apache-2.0
import os
import pathlib
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"


def _program(variable, default):
    path = pathlib.Path(os.environ.get(variable, ROOT / "build" / "release" / default))
    if not path.is_file():
        pytest.fail(f"{path} is missing: build it with CMake or name it in {variable}")
    return path


def _runner(variable, default):
    """A function that runs the program in a folder and returns its output."""
    path = _program(variable, default)
    return lambda folder, *args: subprocess.run(
        [str(path), *map(str, args)], cwd=folder, check=True, capture_output=True, text=True
    ).stdout


@pytest.fixture(scope="session")
def tool():
    """Runs the command-line tool in a folder and returns its output."""
    return _runner("QZ_TOOL", "qz_vozozi_DE")


@pytest.fixture(scope="session")
def qzkit_cli():
    """Runs qzkit in a folder and returns its output."""
    return _runner("QZKIT", "tools/qzkit")


@pytest.fixture(scope="session")
def qzkit_path():
    """The qzkit program."""
    return _program("QZKIT", "tools/qzkit")


@pytest.fixture(scope="session")
def qzkit_refusal():
    """Runs qzkit in a folder where it must refuse (status 2) and returns its one line on standard error."""
    path = _program("QZKIT", "tools/qzkit")

    def refuse(folder, *args):
        done = subprocess.run([str(path), *map(str, args)], cwd=folder, capture_output=True)
        assert done.returncode == 2, done
        return done.stderr.decode(errors="backslashreplace")

    return refuse
