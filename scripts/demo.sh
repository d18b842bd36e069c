#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the tool and runs it on the shipped example recording with the
# shipped ECG constants, in a scratch folder (nothing is written into the
# source tree), then lists the files the run wrote.
#   scripts/demo.sh [recording base name in examples/] [extra tool arguments]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# One build folder per checkout, so two checkouts never share a CMake cache.
checkout=$(printf '%s' "$root" | cksum | cut -d' ' -f1)
build=${QZ_BUILD_ROOT:-${TMPDIR:-/tmp}/qz_vozozi_DE-build-$checkout}/demo
record=${1:-ecg_72bpm}
[ "$#" -gt 0 ] && shift

"$root/scripts/install-deps.sh" build
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQZ_BUILD_TESTS=OFF -DQZ_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build" -j2 --target qz_vozozi_DE >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/qz-demo-XXXXXX")
cp "$root/examples/ecg250.pvx.filters.v1" "$root/examples/$record.ecg" "$work/"
cd "$work"
echo "\$ qz_vozozi_DE ecg250 $record $*    (in $work)"
status=0
"$build/qz_vozozi_DE" ecg250 "$record" "$@" || status=$?
echo
echo "exit status $status; the run folder now holds:"
ls -l --time-style=+ "$work" | tail -n +2
exit $status
