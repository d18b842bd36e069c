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


@pytest.fixture(scope="session")
def tool():
    """Runs the command-line tool in a folder and returns its output."""
    program = _program("QZ_TOOL", "qz_vozozi_DE")
    return lambda folder, *args: subprocess.run(
        [str(program), *map(str, args)], cwd=folder, check=True, capture_output=True, text=True
    ).stdout


@pytest.fixture(scope="session")
def qzkit_cli():
    program = _program("QZKIT", "tools/qzkit")
    return lambda folder, *args: subprocess.run(
        [str(program), *map(str, args)], cwd=folder, check=True, capture_output=True, text=True
    ).stdout
