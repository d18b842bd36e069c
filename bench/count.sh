#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Instruction counts of CalculateHeartRate, whole and per stage, on the
# desktop (callgrind, Release build) and on the Cortex-M4F and M3 images
# (QEMU with -icount shift=0: one instruction per virtual nanosecond, read
# from SysTick at the board's 25 MHz, so every count is a multiple of 40).
# The library alone: file writes store nothing and are not counted. The counts
# are deterministic; the check fails when any count of the budget file rises
# by more than 2 %.
#
# Usage: bench/count.sh [--update] [--windows DIR]
#   --update       rewrite bench/instruction-budget.txt with the new counts
#   --windows DIR  also count every .ecg window of DIR (1500 or 600 samples,
#                  made by `qzkit convert`) on the M4F with the ECG constants
#                  and print the median and the largest; not budgeted
# Builds in $QZ_BUILD_ROOT/count-{host,m4f,m3} (default: build/ in the
# repository); the table goes to standard output and to count/table.md there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${QZ_BUILD_ROOT:-$root/build}
budget="$root/bench/instruction-budget.txt"
update=false
windows=""
while [ "$#" -gt 0 ]; do
  case "$1" in
    --update) update=true; shift ;;
    --windows) windows=$(realpath "$2"); shift 2 ;;
    *) echo "usage: bench/count.sh [--update] [--windows DIR]" >&2; exit 2 ;;
  esac
done

"$root/scripts/install-deps.sh" target count

build() {  # DIR CMAKE-ARGS...
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -DQZ_BUILD_TESTS=OFF -DQZ_BUILD_TOOLS=OFF "$@" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j2 --target qz_count >"$dir.build.log" 2>&1 || { cat "$dir.build.log"; return 1; }
}
mkdir -p "$build_root"
build "$build_root/count-host" -DCMAKE_BUILD_TYPE=Release
build "$build_root/count-m4f" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/arm-none-eabi-cortex-m4f.cmake"
build "$build_root/count-m3" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/arm-none-eabi-cortex-m3.cmake"

out="$build_root/count"
rm -rf "$out"
mkdir -p "$out/run"
run="$out/run"

# The generated records (target/GenerateCases.cpp) give the worst case of each
# beat-classification method (the most instructions over all of them): low
# noise for template matching, full-range noise for the other two; and the
# densest regular rhythm, the most costly median search.
"${CXX:-c++}" -std=c++20 -O2 -I "$root/include" -o "$out/qz_generate_cases" "$root/target/GenerateCases.cpp"
"$out/qz_generate_cases" "$run" >/dev/null
cp "$root"/examples/*.pvx.filters.v1 "$root"/examples/*.ecg "$run/"

# name constants record settings
cases=(
  "ecg-1500 ecg250-original ecg_72bpm 127 1 1 2"
  "ecg-600 ecg250-original ecg_60bpm_600 127 1 1 2"
  "ppg-1500 ppg250-original ppg_66bpm 127 1 1 2"
  "ecg-1500-5point ecg250-original ecg_72bpm 127 0 1 5"
  "worst-template c-typical r-noise-low 127 1 1 2"
  "worst-level c-typical r-noise 127 1 2 2"
  "worst-statistical c-typical r-noise 127 1 0 2"
  "worst-median c-typical r-dense 127 1 1 2"
)

# count_target CORE MACHINE CONSTANTS RECORD SETTINGS...: "stage count" lines.
count_target() {
  local core=$1 machine=$2 constants=$3 record=$4; shift 4
  local config="enable=on,target=native,arg=qz_count,arg=$constants.pvx.filters.v1,arg=$record.ecg"
  for setting in "$@"; do config+=",arg=$setting"; done
  (cd "$run" && timeout 120 qemu-system-arm -M "$machine" -display none -monitor none -serial none \
    -icount shift=0,sleep=off -semihosting-config "$config" -kernel "$build_root/count-$core/qz_count") |
    grep -v '^result '
}

# count_host CONSTANTS RECORD SETTINGS...: the same lines from callgrind's
# inclusive counts of the wrappers (0 for a stage that did not run).
count_host() {
  local constants=$1 record=$2; shift 2
  local profile="$out/callgrind.out"
  (cd "$run" && valgrind --tool=callgrind --callgrind-out-file="$profile" \
    "$build_root/count-host/qz_count" "$constants.pvx.filters.v1" "$record.ecg" "$@" >/dev/null 2>&1)
  callgrind_annotate --inclusive=yes --threshold=100 "$profile" |
    python3 -c '
import re, sys
functions = re.findall(r"X\((\w+), (\w+)\)", open(sys.argv[1]).read())
symbols = dict(re.findall(r"#define QZ_SYMBOL_(\w+) \"(\w+)\"", open(sys.argv[2]).read()))
stages = {symbols[function]: stage for function, stage in functions}
counts = dict.fromkeys(dict.fromkeys(stage for _, stage in functions), 0)
for line in sys.stdin:
    m = re.match(r"\s*([\d,]+) .*__wrap_(\w+)", line)
    if m and m.group(2) in stages:
        counts[stages[m.group(2)]] += int(m.group(1).replace(",", ""))
for stage, count in counts.items():
    print(stage, count)
' "$root/bench/CountedFunctions.h" "$build_root/count-host/symbols/qz_library_symbols.h"
}

results="$out/counts.txt"
: >"$results"
for entry in "${cases[@]}"; do
  read -r name constants record settings <<<"$entry"
  # shellcheck disable=SC2086
  count_host "$constants" "$record" $settings | sed "s/^/desktop $name /" >>"$results"
  # shellcheck disable=SC2086
  count_target m4f mps2-an386 "$constants" "$record" $settings | sed "s/^/m4f $name /" >>"$results"
  # shellcheck disable=SC2086
  count_target m3 mps2-an385 "$constants" "$record" $settings | sed "s/^/m3 $name /" >>"$results"
done

# The table: one row per target and case, one column per stage; time per
# estimate at 16, 64 and 168 MHz assuming one instruction per cycle.
python3 - "$results" >"$out/table.md" <<'PY'
import sys
rows = {}
stages = []
for line in open(sys.argv[1]):
    target, case, stage, count = line.split()
    rows.setdefault((target, case), {})[stage] = int(count)
    if stage not in stages:
        stages.append(stage)
parts = [s for s in stages if s != "whole"]
print("| target | case | whole | per sample | " + " | ".join(parts) + " | 16 MHz | 64 MHz | 168 MHz |")
print("|---" * (len(parts) + 7) + "|")
for (target, case), counts in rows.items():
    whole = counts["whole"]
    samples = 600 if "600" in case else 1500
    times = " | ".join("%.2f ms" % (whole / mhz / 1000) for mhz in (16, 64, 168))
    print("| %s | %s | %d | %d | %s | %s |" % (target, case, whole, round(whole / samples),
          " | ".join(str(counts.get(s, 0)) for s in parts), times))
PY
cat "$out/table.md"

if [ -n "$windows" ]; then
  cp "$windows"/*.ecg "$run/" 2>/dev/null
  for file in "$windows"/*.ecg; do
    count_target m4f mps2-an386 ecg250 "$(basename "${file%.ecg}")" 127 1 1 2 | awk '$1 == "whole" {print $2}'
  done | sort -n >"$out/windows.txt"
  awk '{a[NR] = $1} END {if (NR) printf "real windows on the M4F: %d windows, median %d, largest %d instructions\n",
       NR, a[int((NR + 1) / 2)], a[NR]}' "$out/windows.txt"
fi

update_flag=()
$update && update_flag=(--update)
python3 "$root/bench/budget.py" "${update_flag[@]}" --unit instructions "$budget" "$results"
