#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs a Cortex-M image under QEMU with semihosting, like a host program:
# argv[0] is the image's file name, the other arguments are passed on, files
# are opened relative to the current directory, the console is this process's
# standard output and the exit status is the program's (124 when it hangs).
#
# Usage: qemu-run.sh [--machine NAME] [--timeout SECONDS] IMAGE [ARG...]
#
# The target's start code splits one command line of at most 254 characters
# at spaces and quotes, so arguments must be non-empty and hold neither;
# anything else is refused with status 125 before QEMU starts.
set -euo pipefail

machine=mps2-an386
limit=30
while [ "$#" -gt 0 ]; do
  case "$1" in
    --machine) machine=$2; shift 2 ;;
    --timeout) limit=$2; shift 2 ;;
    *) break ;;
  esac
done
if [ "$#" -lt 1 ]; then
  echo "usage: qemu-run.sh [--machine NAME] [--timeout SECONDS] IMAGE [ARG...]" >&2
  exit 125
fi
image=$1
shift

config="enable=on,target=native"
cmdline=""
for arg in "$(basename "$image")" "$@"; do
  case "$arg" in
    '' | *[[:space:]\"\']*)
      echo "qemu-run.sh: argument '$arg' cannot be passed to the target (empty, blank or quote)" >&2
      exit 125 ;;
  esac
  config+=",arg=${arg//,/,,}"   # QEMU's option syntax writes a comma as two
  cmdline+="${cmdline:+ }$arg"
done
if [ "${#cmdline}" -gt 254 ]; then
  echo "qemu-run.sh: command line longer than 254 characters" >&2
  exit 125
fi

exec timeout -k 5 "$limit" qemu-system-arm -M "$machine" -display none -monitor none -serial none \
  -semihosting-config "$config" -kernel "$image" </dev/null
