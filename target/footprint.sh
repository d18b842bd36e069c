#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Footprint of a Cortex-M build: code and static RAM of the library, the
# driver's buffers, the whole image, and the deepest stack use of
# CalculateHeartRate measured on the target by stack painting.
#
# Usage: target/footprint.sh BUILD_DIR INPUTS_DIR [MACHINE]
#   BUILD_DIR   a cross build (libqz_core.a, qz_vozozi_DE, target/qz_stack_probe)
#   INPUTS_DIR  the generated inputs (target/GenerateCases.cpp)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "$1")
inputs=$(realpath "$2")
machine=${3:-mps2-an386}

echo "-- code and data of the archives (all functions, before unused ones are dropped)"
arm-none-eabi-size -t "$build/libqz_core.a" | tail -n 1 | awk '{print "libqz_core.a:   text " $1 ", data " $2 ", bss " $3}'
arm-none-eabi-size -t "$build/libqz_fileio.a" | tail -n 1 | awk '{print "libqz_fileio.a: text " $1 ", data " $2 ", bss " $3}'
arm-none-eabi-size -t "$build/libqz_driver.a" | tail -n 1 | awk '{print "libqz_driver.a: text " $1 ", data " $2 ", bss " $3}'

# static_objects ARCHIVE: every object with static storage, largest first.
static_objects() {
  arm-none-eabi-nm -S -C -t d "$1" | sort -k2,2nr | awk '$3 ~ /^[bBdD]$/ {
    size = $2 + 0; name = $4; for (i = 5; i <= NF; ++i) name = name " " $i
    printf "%7d  %s\n", size, name; total += size }
    END { printf "%7d  total\n", total }'
}
echo "-- static RAM of the library (bytes, largest first)"
static_objects "$build/libqz_core.a"
echo "-- static RAM of the driver and the stdio file operations"
static_objects "$build/libqz_driver.a"
static_objects "$build/libqz_fileio.a"
echo "-- linked image qz_vozozi_DE (with newlib and semihosting)"
arm-none-eabi-size "$build/qz_vozozi_DE" | tail -n 1 | awk '{print "text " $1 ", data " $2 ", bss " $3}'

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
echo "LogLevel 0 (library alone):             $(deepest 0) bytes"
echo "LogLevel 4 (with newlib printf inside): $(deepest 4) bytes"
(cd "$run" && "$here/qemu-run.sh" --machine "$machine" "$build/target/qz_stack_probe" c-typical r-ecg75 127 1 1 2 4 |
   grep '^C library heap:')
