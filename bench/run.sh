#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the optimised benchmark programs and measures:
#   1. the library in-process (qz_bench, Google Benchmark): the pipeline per
#      record and every stage on its own;
#   2. the whole process: a default run of qz_vozozi_DE against qz_floor, which
#      only reads and writes the same files (hyperfine, no shell in between).
#   bench/run.sh                          everything
#   bench/run.sh --benchmark_filter=Stage  extra arguments go to qz_bench
# Builds in $QZ_BUILD_ROOT/bench (default: build/ in the repository); the
# results (console text, JSON, Markdown) go to its results/ folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${QZ_BUILD_ROOT:-$root/build}
dir="$build_root/bench"
results="$dir/results"

"$root/scripts/install-deps.sh" build hardening

echo "bench: building in $dir"
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DQZ_BUILD_BENCH=ON -DQZ_BUILD_TESTS=OFF \
  -DQZ_BUILD_TOOLS=OFF >/dev/null
cmake --build "$dir" -j2 --target qz_bench qz_floor qz_vozozi_DE >/dev/null
mkdir -p "$results"

echo "bench: machine: $(lscpu | sed -n 's/^Model name: *//p' | head -n 1), $(nproc) cores," \
  "$(free -g | awk '/^Mem:/ {print $2}') GiB, $(uname -sr), $(c++ --version | head -n 1)"

"$dir/bench/qz_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_out="$results/qz_bench.json" --benchmark_out_format=json "$@" | tee "$results/qz_bench.txt"

# A scratch folder with the shipped ECG constants and 1500-sample recording,
# in memory where the machine has a tmpfs, so that the disk's write-back
# does not swamp the figures.
scratch_parent=/dev/shm
[ -d "$scratch_parent" ] && [ -w "$scratch_parent" ] || scratch_parent=${TMPDIR:-/tmp}
run=$(mktemp -d "$scratch_parent/qz_bench.XXXXXX")
trap 'rm -rf "$run"' EXIT
cp "$root/examples/ecg250-original.pvx.filters.v1" "$run/c.pvx.filters.v1"
cp "$root/examples/ecg_72bpm.ecg" "$run/r.ecg"
(cd "$run" && hyperfine -N --warmup 50 --min-runs 500 \
  --export-json "$results/process.json" --export-markdown "$results/process.md" \
  -n qz_vozozi_DE "$dir/qz_vozozi_DE c r" -n qz_floor "$dir/bench/qz_floor c r")
# Medians and minima are steadier than means on a machine shared with other work.
python3 - "$results/process.json" <<'PY'
import json, sys
tool, floor = json.load(open(sys.argv[1]))["results"]
for name, key in (("median", "median"), ("minimum", "min")):
    print("bench: whole process, %s: qz_vozozi_DE %.3f ms, qz_floor %.3f ms, ratio %.2f"
          % (name, tool[key] * 1e3, floor[key] * 1e3, tool[key] / floor[key]))
PY
echo "bench: results in $results"
