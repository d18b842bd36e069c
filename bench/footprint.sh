#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Host footprint of the heart-rate library (qz_core: the stages, the pipeline
# and the buffer and constants conversions):
#   - static RAM: every global and static of the library, from nm;
#   - code and constant data, from size -A (unwind tables left out);
#   - the worst-case stack depth of CalculateHeartRate, from GCC's
#     -fstack-usage / -fcallgraph-info over the whole call chain.
# For Release (-O3, as tested and benchmarked) and MinSizeRel (-Os). Builds
# in $QZ_BUILD_ROOT/footprint-<type> (default: build/ in the repository).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${QZ_BUILD_ROOT:-$root/build}

section_sum() {  # archive, section-name pattern: bytes of matching sections over all objects
  size -A "$1" | awk -v pattern="$2" '$1 ~ pattern { total += $2 } END { print total + 0 }'
}

static_ram() {  # archive: its globals and statics by size, then the total
  nm -S -t d -C --defined-only "$1" | awk '$3 ~ /^[bBdD]$/ {
      name = $4; for (i = 5; i <= NF; ++i) name = name " " $i
      printf "  %6d  %s  %s\n", $2 + 0, $3, name; total += $2 + 0 }
    END { printf "  %6d  total\n", total }' | sort -rn
}

for type in Release MinSizeRel; do
  dir="$build_root/footprint-$type"
  CC=gcc CXX=g++ cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE="$type" -DQZ_BUILD_TESTS=OFF -DQZ_BUILD_TOOLS=OFF \
    "-DCMAKE_CXX_FLAGS=-fstack-usage -fcallgraph-info=su" >/dev/null
  cmake --build "$dir" -j2 --target qz_core qz_fileio qz_driver >/dev/null
  core="$dir/libqz_core.a"

  echo "== $type ($(g++ --version | head -n 1), $(uname -m))"
  echo "code (.text): $(section_sum "$core" '^\.text') bytes;" \
    "constants (.rodata): $(section_sum "$core" '^\.rodata') bytes;" \
    "initialised data (.data): $(section_sum "$core" '^\.data') bytes;" \
    "zeroed data (.bss): $(section_sum "$core" '^\.bss') bytes"
  echo "static RAM by variable (bytes, type: B/b zeroed, D/d initialised):"
  static_ram "$core"
  echo "the driver's buffers (the caller's on a device: the packed buffer at least):"
  static_ram "$dir/libqz_driver.a"

  echo "stack, library alone (the file operations and the C library not counted):"
  python3 "$root/bench/stack_depth.py" CalculateHeartRate $(find "$dir/CMakeFiles/qz_core.dir" -name '*.ci')
  echo "stack, with the host's stdio file operations:"
  python3 "$root/bench/stack_depth.py" CalculateHeartRate \
    $(find "$dir/CMakeFiles/qz_core.dir" "$dir/CMakeFiles/qz_fileio.dir" -name '*.ci')
done
