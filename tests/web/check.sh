#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The workbench check: checks that the page's scripts retype none of the
# library's constants, builds the page (scripts/build-web.sh), the desktop
# tool and qzkit, generates the twin check's cases, and runs tests/web/BrowserTest.mjs,
# which compares the page in headless Chromium with the desktop tool byte for
# byte on every case, compares the page's constants design and test battery
# with qzkit's, and drives the page's own controls. The screenshot and
# the logs stay in BUILD_ROOT/web-check.
#
# Usage: tests/web/check.sh [BUILD_ROOT]   (default: $QZ_BUILD_ROOT, else build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build_root=${1:-${QZ_BUILD_ROOT:-$root/build}}
mkdir -p "$build_root"
base="$(realpath "$build_root")/web-check"
mkdir -p "$base"

echo "== no library constant retyped in the page"
# The numbers and suffixes the library, the tool and the design code define
# (record lengths, sample range, stage mask, record words, stored peaks,
# constants bytes, rates, gains, design defaults and limits; file and dump
# suffixes) reach the page through the module's tables, never as literals.
numbers='(^|[^0-9.])(1500|600|1023|65535|65536|511|500|255|300|512|250|375|240|200|127|43|25|31)([^0-9.]|$)|0x3ff'
suffixes="[\"'\`][^\"'\`]*\.(ecg|out|hea|pvx\.filters\.v1|lowpass|highpass|derivative|square|average)[\"'\`]"
suffixes+="|[\"'\`](lowpass|highpass|square|average)[\"'\`]"
markup='(value="|<option>|>|\()(1500|600|250|200|127)\b'
if grep -nEi "$numbers|$suffixes" "$root"/web/*.js || grep -nE "$markup" "$root/web/shell.html"; then
  echo "FAIL: the page retypes a constant of the module's tables (above)"
  exit 1
fi

echo "== page build"
# The build prints its log when it fails: show it, not only its last line.
built=$("$root/scripts/build-web.sh" "$base/page") || { echo "$built"; exit 1; }
page=$(tail -n 1 <<<"$built")
echo "$page: $(stat -c %s "$page") bytes"

# The desktop programs of the optimised build of scripts/test.sh (configured
# as there when it does not exist yet; built here, which costs nothing when
# test.sh has just built them).
echo "== desktop build"
"$root/scripts/install-deps.sh" build tools plot wfdb
host="$build_root/release"
cmake -S "$root" -B "$host" -DCMAKE_BUILD_TYPE=Release >"$base/host.configure.log" 2>&1 ||
  { cat "$base/host.configure.log"; exit 1; }
cmake --build "$host" -j2 --target qz_vozozi_DE qzkit >"$base/host.build.log" 2>&1 ||
  { cat "$base/host.build.log"; exit 1; }

echo "== cases"
"${CXX:-c++}" -std=c++20 -O2 -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror \
  -I "$root/include" -o "$base/qz_generate_cases" "$root/target/GenerateCases.cpp"
rm -rf "$base/inputs"
mkdir -p "$base/inputs"
"$base/qz_generate_cases" "$base/inputs"

echo "== page versus desktop in headless Chromium"
node "$root/tests/web/BrowserTest.mjs" --page "$page" --tool "$host/qz_vozozi_DE" --qzkit "$host/tools/qzkit" --inputs "$base/inputs" \
  --cases "$base/inputs/cases.txt" --work "$base/work"
