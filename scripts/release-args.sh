#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The CMake arguments, one per line, of the optimised build that the tests
# run and the Debian packages are made from: the prefix /usr (the libraries
# go to the multiarch folder) and Debian's flags for a package build with
# every hardening feature on (dpkg-buildflags: bind now, fortify, stack
# protector, ...). scripts/test.sh and scripts/install-check.sh configure
# the release build folder with them alike, so neither rebuilds the other's
# work.
set -euo pipefail
cd "$(dirname "$0")/.."  # dpkg-buildflags maps the current folder's paths in the debug info
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { dpkg-buildflags --get "$1"; }
echo "-DCMAKE_BUILD_TYPE=Release"
echo "-DCMAKE_INSTALL_PREFIX=/usr"
echo "-DCMAKE_CXX_FLAGS=$(flags CXXFLAGS) $(flags CPPFLAGS)"
echo "-DCMAKE_EXE_LINKER_FLAGS=$(flags LDFLAGS)"
echo "-DCMAKE_SHARED_LINKER_FLAGS=$(flags LDFLAGS)"
