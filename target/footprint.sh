#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Footprint of a Cortex-M build: code and static RAM of the library, the
# driver's buffers, the whole image, and the deepest stack use of
# CalculateHeartRate measured on the target by stack painting. The figures
# (bytes) go to BUILD_DIR/footprint.txt and are held to
# target/footprint-budget.txt: the check fails when one rises by more than 2 %
# or is new (a new global, say); --update writes the budget file anew.
#
# Usage: target/footprint.sh [--update] BUILD_DIR INPUTS_DIR
#   BUILD_DIR   a Cortex-M4F build (libqz_core.a, qz_vozozi_DE, target/qz_stack_probe)
#   INPUTS_DIR  the generated inputs (target/GenerateCases.cpp)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
update_flag=()
[ "${1:-}" = "--update" ] && { update_flag=(--update); shift; }
build=$(realpath "$1")
inputs=$(realpath "$2")
machine=mps2-an386
figures="$build/footprint.txt"
: >"$figures"
record() {  # KEY... BYTES: one figure of the budget
  echo "$*" >>"$figures"
}

echo "-- code and data of the archives (all functions, before unused ones are dropped)"
for part in core fileio driver; do
  read -r text data bss _ < <(arm-none-eabi-size -t "$build/libqz_$part.a" | tail -n 1)
  echo "libqz_$part.a: text $text, data $data, bss $bss"
  record "$part code $text"
  record "$part ram $((data + bss))"
done

# static_objects PART: every object with static storage of libqz_PART.a,
# largest first, recorded by its name without namespaces.
static_objects() {
  local objects
  objects=$(arm-none-eabi-nm -S -C -t d "$build/libqz_$1.a" | sort -k2,2nr | awk '$3 ~ /^[bBdD]$/')
  echo "$objects" | awk '{ size = $2 + 0; name = $4; for (i = 5; i <= NF; ++i) name = name " " $i
    printf "%7d  %s\n", size, name; total += size }
    END { printf "%7d  total\n", total }'
  echo "$objects" | awk -v part="$1" '{ name = $NF; sub(/.*::/, "", name); print "global " part " " name " " $2 + 0 }' >>"$figures"
}
echo "-- static RAM of the library (bytes, largest first)"
static_objects core
echo "-- static RAM of the driver and the stdio file operations"
static_objects driver
static_objects fileio
echo "-- linked image qz_vozozi_DE (with newlib and semihosting)"
read -r text data bss _ < <(arm-none-eabi-size "$build/qz_vozozi_DE" | tail -n 1)
echo "text $text, data $data, bss $bss"
record "image text $text"
record "image data $data"
record "image bss $bss"

echo "-- stack depth of CalculateHeartRate (stack painting on $machine)"
run=$(mktemp -d)
trap 'rm -rf "$run"' EXIT
ln -s "$inputs"/* "$run/"
deepest() {  # LOGLEVEL: the deepest use over a set of runs reaching every path
  local level=$1 most=0 line depth
  for arguments in "c-typical r-ecg75 127 1 1 2" "c-typical r-ecg75 127 0 1 5" "c-typical r-irregular 127 1 1 2" \
                   "c-typical r-irregular 127 1 2 5" "c-typical r-irregular 127 0 0 2" "c-typical r-levels 127 1 2 2" \
                   "c-typical r-dense 127 1 1 5" "c-typical r-one-beat 127 1 1 2" "c-typical r-flat512 127 1 1 2" \
                   "c-typical s-ecg120 127 1 1 2" "c-typical s-irregular 127 0 2 5" "c-typical r-two-beats-early 127 1 1 2"; do
    # shellcheck disable=SC2086
    line=$(cd "$run" && "$here/qemu-run.sh" --machine "$machine" "$build/target/qz_stack_probe" $arguments "$level" |
             grep '^CalculateHeartRate stack:') || { echo "stack probe failed on: $arguments" >&2; return 1; }
    depth=$(echo "$line" | awk '{print $3}')
    [ "$depth" -gt "$most" ] && most=$depth
    [[ "$line" == *"all painted"* ]] && echo "warning: $line" >&2
  done
  echo "$most"
}
for level in 0 4; do
  depth=$(deepest "$level")
  echo "LogLevel $level: $depth bytes"
  record "stack loglevel$level $depth"
done
heap=$(cd "$run" && "$here/qemu-run.sh" --machine "$machine" "$build/target/qz_stack_probe" c-typical r-ecg75 127 1 1 2 4 |
   grep '^C library heap:')
echo "$heap"
record "heap newlib $(echo "$heap" | awk '{print $4}')"

echo "-- against the budget"
python3 "$here/../bench/budget.py" "${update_flag[@]}" --unit bytes "$here/footprint-budget.txt" "$figures"
