#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs the heart-rate-meter test battery (qzkit conformance) and writes the
# results docs/conformance.md shows: the ECG families with the shipped
# ecg250, the pulse family with the shipped ppg250 at stage mask 115, the
# ECG families with the first set shipped as ecg250 (ecg250-original) and the
# pulse family with the first set shipped as ppg250 (ppg250-original). Figures go to
# docs/images/conformance-NAME.png; each summary table replaces the
# lines between "<!-- conformance: NAME -->" and "<!-- end -->" in
# docs/conformance.md.
#   scripts/conformance.sh            (builds qzkit first)
#   QZKIT=path/to/qzkit scripts/conformance.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
checkout=$(printf '%s' "$root" | cksum | cut -d' ' -f1)
build=${QZ_BUILD_ROOT:-${TMPDIR:-/tmp}/qz_vozozi_DE-build-$checkout}/conformance
doc=$root/docs/conformance.md

qzkit=${QZKIT:-}
if [ -z "$qzkit" ]; then
  "$root/scripts/install-deps.sh" build tools plot
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQZ_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" -j2 --target qzkit >/dev/null
  qzkit=$build/tools/qzkit
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/qz-conformance-XXXXXX")
trap 'rm -rf "$work"' EXIT

# splice NAME FILE: FILE's lines replace the block of NAME in the document.
splice() {
  awk -v start="<!-- conformance: $1 -->" -v file="$2" '
    $0 == start { print; while ((getline line < file) > 0) print line; skipping = 1; next }
    skipping && $0 == "<!-- end -->" { skipping = 0 }
    !skipping { print }' "$doc" >"$work/doc.md"
  cp "$work/doc.md" "$doc"
}

# battery NAME ARGUMENTS...: runs the battery (a failing case is a result,
# not an error) and files its figure and summary.
battery() {
  local name=$1
  shift
  echo "\$ qzkit conformance $* -o $name"
  local status=0
  "$qzkit" conformance "$@" -o "$work/$name" >"$work/$name.log" || status=$?
  tail -n 1 "$work/$name.log"
  [ "$status" -le 1 ] || exit "$status"
  cp "$work/$name.png" "$root/docs/images/"
  splice "$name" "$work/$name.md"
}

cp "$root"/examples/*.pvx.filters.v1 "$work/"
cd "$work"
battery conformance-ecg250 --constants ecg250
battery conformance-ppg250 --constants ppg250 --settings "115 1 1 2" --kind pulse
battery conformance-ecg250-original --constants ecg250-original
battery conformance-ppg250-original --constants ppg250-original --settings "115 1 1 2" --kind pulse
