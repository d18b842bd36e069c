#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Checks a firmware image that streams its recording and results over its
# UART (examples/consumer/cortex-m, stream.elf) the way a user checks a board:
# QEMU puts the UART on a pseudo-terminal (-serial pty), `qzkit monitor
# --check` reads it and recomputes every window the image reports, up to the
# image's "end" line. Prints the
# monitor's report; the exit status is the monitor's (0: every window
# identical, 1: a window differs, saved in WORK; 2: an error).
#
# Usage: monitor-check.sh QZKIT IMAGE CONSTANTS WORK [--machine NAME]
set -euo pipefail
if [ "$#" -lt 4 ]; then
  echo "usage: monitor-check.sh QZKIT IMAGE CONSTANTS WORK [--machine NAME]" >&2
  exit 2
fi
qzkit=$1 image=$2 constants=$3 work=$4
machine=mps2-an386
[ "${5:-}" = "--machine" ] && machine=$6
limit=60
mkdir -p "$work"

qemu_log="$work/qemu.log"
timeout -k 5 "$limit" qemu-system-arm -M "$machine" -display none -monitor none -serial pty \
  -semihosting-config enable=on,target=native -kernel "$image" </dev/null >"$qemu_log" 2>&1 &
qemu=$!
pty=""
for _ in $(seq 100); do   # QEMU names its end of the pseudo-terminal as it starts
  pty=$(grep -o '/dev/pts/[0-9]*' "$qemu_log" 2>/dev/null || true)
  [ -n "$pty" ] && break
  sleep 0.05
done
if [ -z "$pty" ]; then
  cat "$qemu_log" >&2
  kill "$qemu" 2>/dev/null || true
  echo "monitor-check.sh: QEMU opened no pseudo-terminal" >&2
  exit 2
fi

"$qzkit" monitor "$pty" --check -c "$constants" --window 600 --record "$work" --name stream \
  >"$work/estimates.csv" 2>"$work/monitor.log" &
monitor=$!
# The image waits for a byte from the host: sent once the monitor has the
# terminal open, so that the monitor sees the stream from its first sample.
for _ in $(seq 100); do
  ls -l "/proc/$monitor/fd" 2>/dev/null | grep -q "$pty\$" && break
  sleep 0.05
done
printf 's' >"$pty"
status=0
wait "$monitor" || status=$?
kill "$qemu" 2>/dev/null || true   # the image sleeps after its "end" line
wait "$qemu" 2>/dev/null || true
cat "$work/monitor.log"
exit "$status"
