#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the libFuzzer targets (clang, ASan + UBSan) and fuzzes each for a
# bounded time: the tool's whole path, then every parser of the companion
# program (fuzz/tools/<Name>Fuzz.cpp, seeds in fuzz/corpus/<Name>/). Fails on
# any crash, sanitizer report, broken contract, or (tool path) input slower
# than 1 s of processor time, checked by the target; libFuzzer's wall-clock
# timeout of 10 s only catches hangs, so a machine busy with other work does
# not fail the run.
#   fuzz/run.sh                 about 2 minutes for the tool path and 15 s
#                               per parser (CI)
#   QZ_FUZZ_SECONDS=3600 QZ_FUZZ_TOOL_SECONDS=600 fuzz/run.sh
#                               longer; new inputs are kept in the build
#                               folder's corpora and reused next time
# Builds in $QZ_BUILD_ROOT/fuzz (default: build/ in the repository).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${QZ_BUILD_ROOT:-$root/build}
dir="$build_root/fuzz"
seconds=${QZ_FUZZ_SECONDS:-120}
tool_seconds=${QZ_FUZZ_TOOL_SECONDS:-15}

echo "fuzz: building in $dir"
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZ_BUILD_FUZZ=ON \
  -DQZ_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j2 --target qz_fuzz_driver qz_fuzz_tools >/dev/null

# fuzz NAME SECONDS [libFuzzer options]: runs qz_fuzz_NAME on the seeds of
# fuzz/corpus/NAME. The fuzzer writes new inputs into the first corpus
# folder: keep that one in the build folder, read the seeds from the
# repository.
fuzz() {
  local name=$1 time=$2; shift 2
  local work="$dir/work/$name"
  mkdir -p "$work/corpus" "$work/artifacts"
  rm -f "$work/artifacts/"*
  echo "fuzz: $name for ${time}s"
  local status=0
  (cd "$work" && "$dir/fuzz/qz_fuzz_$name" -max_total_time="$time" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$@" \
    "$work/corpus" "$root/fuzz/corpus/$name" >"$work/fuzz.log" 2>&1) || status=$?
  if [ "$status" -ne 0 ] || compgen -G "$work/artifacts/*" >/dev/null; then
    tail -n 60 "$work/fuzz.log"
    echo "fuzz: $name FAILED (status $status); log $work/fuzz.log, reproducers:"
    ls -l "$work/artifacts"
    return 1
  fi
  grep -E '^Done|(INITED|DONE) +cov:' "$work/fuzz.log" |
    sed "s/^/fuzz: $name: /" || true
}

failed=0
fuzz driver "$seconds" -max_len=4096 || failed=1
for source in "$root"/fuzz/tools/*Fuzz.cpp; do
  name=$(basename "$source" Fuzz.cpp)
  fuzz "$name" "$tool_seconds" || failed=1
done
[ "$failed" -eq 0 ] || { echo "fuzz: FAILED"; exit 1; }
echo "fuzz: no finding"
