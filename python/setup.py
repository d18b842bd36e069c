# SPDX-License-Identifier: Apache-2.0
"""Builds the Python package qzkit: the heart-rate library and the companion
program's library (constants, readers, front end) compiled into one extension
module with pybind11. Everything it needs comes from Debian packages
(python3-pybind11, python3-numpy, python3-setuptools, libsamplerate0-dev,
libedf-dev, libflac-dev); no build dependency is fetched.

    pip install --no-build-isolation ./python

QZ_PYTHON_BUILD names the folder for the build's intermediate files (default: build).
"""
import glob
import json
import os
import re

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

if not os.path.isfile(os.path.join(ROOT, "cmake", "build-rules.json")):
    raise SystemExit("qzkit builds from its source tree: the library's sources are not beside python/")

# The float flags and source lists CMake uses too.
with open(os.path.join(ROOT, "cmake", "build-rules.json"), encoding="utf-8") as rules_file:
    RULES = json.load(rules_file)


def sources(*keys):
    found = []
    for key in keys:
        for pattern in RULES[key]:
            found += sorted(glob.glob(os.path.join(ROOT, pattern), recursive=True))
    return found


SOURCES = sorted(glob.glob(os.path.join(HERE, "src", "*.cpp"))) + sources(
    "core_sources", "memory_file_sources", "python_toolkit_sources"
)

with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as cmake:
    VERSION = re.search(r"project\(\S+ VERSION (\S+)", cmake.read()).group(1)

ParallelCompile("QZ_BUILD_JOBS", default=2).install()

extension = Pybind11Extension(
    "qzkit._core",
    SOURCES,
    include_dirs=[os.path.join(ROOT, folder) for folder in ("include", "src", "tools/lib", "python/src")],
    libraries=["samplerate", "edf", "FLAC"],
    define_macros=[("QZ_VERSION_NUMBER", f'"{VERSION}"')],
    cxx_std=20,
    # Float results must be the library's bits: the same float flags as CMake's, at link time too
    # (link-time optimisation compiles there; it inlines the stages' sample access across files,
    # about 12 % faster). -fno-wrapv takes back Python's own -fwrapv, which CMake never sets.
    extra_compile_args=["-O3", "-g0", *RULES["exact_float_flags"], "-fno-wrapv", "-flto"],
    extra_link_args=["-O3", "-flto=2", *RULES["exact_float_flags"]],
)

setup(
    name="qzkit",
    version=VERSION,
    description="Heart rate and quality from one short ECG or pulse recording: the exact estimator, "
    "its constants and the recording readers",
    license="Apache-2.0",
    classifiers=["License :: OSI Approved :: Apache Software License"],
    packages=["qzkit"],
    ext_modules=[extension],
    cmdclass={"build_ext": build_ext},
    install_requires=["numpy"],
    python_requires=">=3.9",
    # Always compiled afresh: setuptools would keep a module older than a changed header or a new source.
    options={"build": {"build_base": os.environ.get("QZ_PYTHON_BUILD", "build"), "force": True}},
    zip_safe=False,
)
