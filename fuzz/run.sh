#!/usr/bin/env bash
# Builds the libFuzzer target (clang, ASan + UBSan) and fuzzes the tool's whole
# path for a bounded time. Fails on any crash, sanitizer report, broken
# contract, or input slower than 1 s (processor time, checked by the target;
# libFuzzer's wall-clock timeout of 10 s only catches hangs, so a machine
# busy with other work does not fail the run).
#   fuzz/run.sh                 about 2 minutes (CI)
#   QZ_FUZZ_SECONDS=3600 fuzz/run.sh    longer; new inputs are kept in the
#                               build folder's corpus and reused next time
# Builds in $QZ_BUILD_ROOT/fuzz (default: build/ in the repository).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${QZ_BUILD_ROOT:-$root/build}
dir="$build_root/fuzz"
seconds=${QZ_FUZZ_SECONDS:-120}

echo "fuzz: building in $dir"
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZ_BUILD_FUZZ=ON \
  -DQZ_BUILD_TESTS=OFF -DQZ_BUILD_TOOLS=OFF >/dev/null
cmake --build "$dir" -j2 --target qz_fuzz_driver >/dev/null

# The fuzzer writes new inputs into the first corpus folder: keep that one in
# the build folder, read the seeds from the repository.
work="$dir/work"
mkdir -p "$work/corpus" "$work/artifacts"
rm -f "$work/artifacts/"*
cd "$work"
echo "fuzz: running for ${seconds}s"
status=0
"$dir/fuzz/qz_fuzz_driver" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
  "$work/corpus" "$root/fuzz/corpus" >"$work/fuzz.log" 2>&1 || status=$?
if [ "$status" -ne 0 ] || compgen -G "$work/artifacts/*" >/dev/null; then
  tail -n 60 "$work/fuzz.log"
  echo "fuzz: FAILED (status $status); log $work/fuzz.log, reproducers:"
  ls -l "$work/artifacts"
  exit 1
fi
grep -E '^(Done|stat::)' "$work/fuzz.log" || true
echo "fuzz: no finding in ${seconds}s"
