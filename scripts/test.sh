#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds and runs every test: the unit and CLI tests in an optimised build, the
# Python package's tests, the unit and CLI tests again under AddressSanitizer +
# UndefinedBehaviorSanitizer, then the checks that need more set-up (fuzzing,
# static analysis, the microcontroller twin, the browser workbench against the
# desktop tool).
# Build folders go under $QZ_BUILD_ROOT (default: build/ in the repository).
#   scripts/test.sh            everything
#   scripts/test.sh --quick    only the optimised unit and CLI tests and the Python package's tests
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${QZ_BUILD_ROOT:-$root/build}
quick=false
[ "${1:-}" = "--quick" ] && quick=true

"$root/scripts/install-deps.sh"

passed=0
failed=0
phase_result() {  # name status
  if [ "$2" -eq 0 ]; then passed=$((passed + 1)); echo "== $1: ok"; else failed=$((failed + 1)); echo "== $1: FAILED"; fi
}

run_ctest_build() {  # name, then extra cmake arguments
  local name=$1; shift
  local dir="$build_root/$name"
  echo "== $name: configure and build in $dir"
  cmake -S "$root" -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j2 >/dev/null
  ctest --test-dir "$dir" -j2 --output-on-failure --timeout 300
}

# The Python package, installed into a venv of Debian's python3 (which sees
# Debian's NumPy and pybind11) under the build root, then its tests against
# the programs of the optimised build. pytest's "no tests ran" (status 5)
# fails the phase like any other status.
run_python_tests() {
  local venv="$build_root/python/venv"
  echo "== python: install qzkit into $venv"
  [ -x "$venv/bin/python" ] || /usr/bin/python3 -m venv --system-site-packages "$venv" || return 1
  QZ_PYTHON_BUILD="$build_root/python/build" \
    "$venv/bin/pip" install -q --no-index --no-build-isolation "$root/python" >/dev/null || return 1
  local status=0
  QZ_TOOL="$build_root/release/qz_vozozi_DE" QZKIT="$build_root/release/tools/qzkit" \
    "$venv/bin/python" -P -m pytest -q -p no:cacheprovider "$root/python/tests" || status=$?
  [ "$status" -ne 5 ] || echo "python: pytest collected no tests"
  return "$status"
}

status=0
mapfile -t release_args < <("$root/scripts/release-args.sh")
run_ctest_build release "${release_args[@]}" || status=$?
phase_result "unit and CLI tests (optimised)" $status

status=0
run_python_tests || status=$?
phase_result "Python package" $status

if ! $quick; then
  status=0
  CC=clang CXX=clang++ run_ctest_build sanitize -DCMAKE_BUILD_TYPE=Debug -DQZ_SANITIZE=ON || status=$?
  phase_result "unit and CLI tests (ASan + UBSan)" $status

  for check in fuzz/run.sh scripts/analyze.sh target/check.sh bench/count.sh tests/web/check.sh scripts/install-check.sh; do
    [ -x "$root/$check" ] || continue
    status=0
    QZ_BUILD_ROOT="$build_root" "$root/$check" || status=$?
    phase_result "$check" $status
  done
fi

echo "phases: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
