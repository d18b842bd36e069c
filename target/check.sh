#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The firmware twin check: builds the desktop tool and the Cortex-M images of
# the same sources, runs every case on both (the target under QEMU with
# semihosting) and compares exit status, standard output and every written
# file byte for byte. Cases: the shipped examples and a generated set that
# reaches every result path; before them, the images' smoke tests (ctest
# through the emulator); after them, the M4F's footprint against its budget
# (target/footprint.sh). Ends with "N passed, M failed" counting cases, tests
# of all cores and the footprint, and a non-zero status on any difference.
#
# Usage: target/check.sh [BUILD_ROOT]
#   BUILD_ROOT defaults to $QZ_BUILD_ROOT, else build/ in the repository; all
#   build folders and run directories go under BUILD_ROOT/target-check.
# Environment: QZ_TARGET_CORES="m4f m3" chooses the cores (default both).
# The M4F is checked twice: as built by default and built without stage dumps
# (QZ_STAGE_DUMPS off), where everything but the dump files must match.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${1:-${QZ_BUILD_ROOT:-$root/build}}
mkdir -p "$build_root"
base="$(realpath "$build_root")/target-check"
mkdir -p "$base"
cores=${QZ_TARGET_CORES:-m4f m3}
jobs=2

"$root/scripts/install-deps.sh" target

# machine_of CORE: the QEMU board that runs the core's images.
machine_of() {
  case "$1" in
    m4f) echo mps2-an386 ;;
    m3) echo mps2-an385 ;;
    *) echo "check.sh: unknown core $1" >&2; return 1 ;;
  esac
}
toolchain_of() {
  case "$1" in
    m4f) echo "$root/cmake/toolchains/arm-none-eabi-cortex-m4f.cmake" ;;
    m3) echo "$root/cmake/toolchains/arm-none-eabi-cortex-m3.cmake" ;;
  esac
}

build() {  # DIR TARGET... -- CMAKE-ARGS...
  local dir=$1; shift
  local targets=()
  while [ "$1" != "--" ]; do targets+=(--target "$1"); shift; done
  shift
  cmake -S "$root" -B "$dir" -DQZ_BUILD_TESTS=OFF -DQZ_BUILD_TOOLS=OFF "$@" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j"$jobs" "${targets[@]}" >"$dir.build.log" 2>&1 || { cat "$dir.build.log"; return 1; }
}

echo "== desktop build"
build "$base/host" qz_vozozi_DE --
for core in $cores; do
  echo "== cortex-$core build"
  build "$base/$core" -- -DCMAKE_TOOLCHAIN_FILE="$(toolchain_of "$core")"
done
if [[ " $cores " == *" m4f "* ]]; then
  echo "== cortex-m4f build without stage dumps"
  build "$base/m4f-nodumps" qz_vozozi_DE -- -DCMAKE_TOOLCHAIN_FILE="$(toolchain_of m4f)" -DQZ_STAGE_DUMPS=OFF
fi

echo "== inputs"
"${CXX:-c++}" -std=c++20 -O2 -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror \
  -I "$root/include" -o "$base/qz_generate_cases" "$root/target/GenerateCases.cpp"
inputs="$base/inputs"
rm -rf "$inputs" "$base"/work-*
mkdir -p "$inputs"
"$base/qz_generate_cases" "$inputs"
cases="$base/cases.txt"
cp "$inputs/cases.txt" "$cases"

# The shipped examples: every constants file with every example record (with
# a few generated records while examples/ holds none), across the settings.
example_constants=() example_records=()
for file in "$root"/examples/*.pvx.filters.v1 "$root"/examples/*.ecg; do
  [ -f "$file" ] || continue
  name=$(basename "$file")
  case "$name" in *[[:space:]\"\',]*) echo "skipping example '$name': not passable to the target"; continue ;; esac
  cp "$file" "$inputs/example-$name"
  case "$name" in
    *.pvx.filters.v1) example_constants+=("example-${name%.pvx.filters.v1}") ;;
    *.ecg) example_records+=("example-${name%.ecg}") ;;
  esac
done
[ "${#example_records[@]}" -gt 0 ] || example_records=(r-ecg75 r-irregular r-levels s-ecg120)
for constants in "${example_constants[@]}" c-typical; do
  for record in "${example_records[@]}"; do
    for settings in "127 1 1 2" "127 0 2 5" "127 1 0 5" "127 0 1 2" "127 1 2 2" "96 1 1 2" "31 1 1 5"; do
      echo "shipped-$constants-$record-${settings// /-} $constants $record $settings 4"
    done
  done
done >>"$cases"
echo "$(wc -l <"$cases") cases"

passed=0
failed=0
for core in $cores; do
  echo "== cortex-$core smoke tests under the emulator"
  ctest_log="$base/$core.ctest.log"
  ctest --test-dir "$base/$core/target" --output-on-failure >"$ctest_log" 2>&1 || cat "$ctest_log"
  tail -n 3 "$ctest_log" | grep 'tests passed' || true
  if [[ "$(cat "$ctest_log")" =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  else
    failed=$((failed + 1))
  fi
done
# compare_core NAME IMAGE MACHINE [--without-dumps]: desktop against one image.
compare_core() {
  local name=$1 image=$2 machine=$3; shift 3
  echo "== desktop versus $name on $machine"
  local summary last
  summary=$("$root/target/compare.sh" --host "$base/host/qz_vozozi_DE" --target "$image" --machine "$machine" \
    --inputs "$inputs" --cases "$cases" --work "$base/work-$name" --jobs "$jobs" "$@" || true)
  last=$(echo "$summary" | tail -n 1)
  echo "$summary" | grep '^FAIL' | head -n 40 || true
  echo "$name: $last"
  if [[ "$last" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
    passed=$((passed + BASH_REMATCH[1]))
    failed=$((failed + BASH_REMATCH[2]))
  else
    failed=$((failed + 1))
  fi
}
for core in $cores; do
  compare_core "cortex-$core" "$base/$core/qz_vozozi_DE" "$(machine_of "$core")"
done
if [[ " $cores " == *" m4f "* ]]; then
  compare_core cortex-m4f-nodumps "$base/m4f-nodumps/qz_vozozi_DE" "$(machine_of m4f)" --without-dumps
fi

if [[ " $cores " == *" m4f "* ]]; then
  echo "== footprint (cortex-m4f) against target/footprint-budget.txt"
  if "$root/target/footprint.sh" "$base/m4f" "$inputs"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
