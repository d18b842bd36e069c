#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs every case of a case list on the desktop tool and on the target image
# and compares, byte for byte, the exit status, the standard output (storage
# addresses masked) and every file the run leaves in its working directory.
# Prints one line per differing case and the closing summary
# "N passed, M failed"; exits 1 when any case differs.
#
# Usage: compare.sh --host TOOL --target IMAGE --inputs DIR --cases FILE --work DIR
#                   [--machine NAME] [--jobs N] [--without-dumps]
# --without-dumps: the target is a build without stage dumps; the host's dump
# files (.lowpass, .highpass, .derivative, .square, .average) and the
# "Writing" lines of their transfers are left out of the comparison,
# everything else must still be the same.
#
# A case line is a name followed by the tool's arguments (no blanks inside an
# argument). Each side of a case runs in its own directory that links the
# input files named after its arguments, so the record's outputs (".out",
# stage dumps) and "thresholdmethod.info" land there. Both sides see the program name
# "qz_vozozi_DE" as argv[0]. Directories of passing cases are removed; those
# of differing cases are kept under the work directory for inspection.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
runner="$here/qemu-run.sh"

host="" target="" inputs="" cases="" work="" machine=mps2-an386 jobs=2 without_dumps=false
while [ "$#" -gt 0 ]; do
  case "$1" in
    --without-dumps) without_dumps=true; shift; continue ;;
    --host) host=$2 ;;
    --target) target=$2 ;;
    --inputs) inputs=$2 ;;
    --cases) cases=$2 ;;
    --work) work=$2 ;;
    --machine) machine=$2 ;;
    --jobs) jobs=$2 ;;
    *) echo "compare.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
for required in host target inputs cases work; do
  if [ -z "${!required}" ]; then
    echo "usage: compare.sh --host TOOL --target IMAGE --inputs DIR --cases FILE --work DIR [--machine NAME] [--jobs N]" >&2
    exit 2
  fi
done
host=$(realpath "$host")
target=$(realpath "$target")
inputs=$(realpath "$inputs")
mkdir -p "$work"
work=$(realpath "$work")

# The 16 hexadecimal digits of a storage address differ between any two runs.
mask_addresses() {
  sed -E 's/(stored at |Reading |Writing )[0-9a-f]{16}/\1<address>/g' "$1"
}

# link_inputs DIR ARG...: links into DIR every input file named after one of
# the arguments (base name + extension), so that the run finds its files.
link_inputs() {
  local dir=$1; shift
  local files=() argument
  for argument in "$@"; do
    [[ "$argument" == */* ]] && continue
    for file in "$inputs/$argument".*; do
      [ -e "$file" ] && files+=("$file")
    done
  done
  [ "${#files[@]}" -eq 0 ] || ln -s "${files[@]}" "$dir/"
}

# run_side DIR COMMAND...: runs one side of a case in DIR/run with its
# standard output and error in DIR; the exit status goes to side_status.
run_side() {
  local dir=$1; shift
  side_status=0
  (cd "$dir/run" && exec "$@") >"$dir/stdout" 2>"$dir/stderr" </dev/null || side_status=$?
}

# same_output DIR1 DIR2: standard outputs equal once the addresses are masked.
same_output() {
  cmp -s "$1/stdout" "$2/stdout" && return 0
  mask_addresses "$1/stdout" >"$1/stdout.masked"
  mask_addresses "$2/stdout" >"$2/stdout.masked"
  cmp -s "$1/stdout.masked" "$2/stdout.masked"
}

# compare_case NAME ARG...: prints "PASS NAME" or "FAIL NAME (ARGS): what differed".
compare_case() {
  local name=$1; shift
  local dir="$work/$name"
  [ ! -e "$dir" ] || rm -rf "$dir"
  mkdir -p "$dir/host/run" "$dir/target/run"
  link_inputs "$dir/host/run" "$@"
  link_inputs "$dir/target/run" "$@"
  run_side "$dir/host" -a qz_vozozi_DE "$host" "$@"
  local host_status=$side_status
  run_side "$dir/target" "$runner" --machine "$machine" "$target" "$@"
  local target_status=$side_status

  if $without_dumps; then
    sed -E -i '/^Writing .*\.(lowpass|highpass|derivative|square|average)$/d' "$dir/host/stdout"
    # Only the files the run wrote: linked inputs of the same names stay.
    find "$dir/host/run" -maxdepth 1 -type f \( -name '*.lowpass' -o -name '*.highpass' \
      -o -name '*.derivative' -o -name '*.square' -o -name '*.average' \) -delete
  fi
  local problems=()
  [ "$host_status" = "$target_status" ] || problems+=("exit status $host_status on host, $target_status on target")
  same_output "$dir/host" "$dir/target" || problems+=("standard output differs")
  local files
  files=$(diff -rq --no-dereference "$dir/host/run" "$dir/target/run" 2>&1 || true)
  if [ -n "$files" ]; then
    files=${files//$dir\//}
    problems+=("files: ${files//$'\n'/; }")
  fi

  if [ "${#problems[@]}" -eq 0 ]; then
    echo "PASS $name"
    rm -rf "$dir"
  else
    local IFS='|'
    echo "FAIL $name ($*): ${problems[*]}"
  fi
}

# Every job takes every jobs-th case line.
for ((shard = 0; shard < jobs; shard++)); do
  awk -v jobs="$jobs" -v shard="$shard" 'NF > 0 && (NR - 1) % jobs == shard' "$cases" |
    while read -r name arguments; do
      read -ra argv <<<"$arguments"
      compare_case "$name" "${argv[@]}"
    done >"$work/results.$shard" &
done
wait

cat "$work"/results.* >"$work/results"
rm -f "$work"/results.*
passed=$(grep -c '^PASS ' "$work/results" || true)
failed=$(grep -c '^FAIL ' "$work/results" || true)
grep '^FAIL ' "$work/results" || true
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
