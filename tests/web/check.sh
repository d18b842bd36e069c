#!/usr/bin/env bash
# The workbench check: builds the page (scripts/build-web.sh), the desktop
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

echo "== page build"
page=$("$root/scripts/build-web.sh" "$base/page" | tail -n 1)
echo "$page: $(stat -c %s "$page") bytes"

echo "== desktop build"
"$root/scripts/install-deps.sh" build tools plot wfdb
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$base/host" -DCMAKE_BUILD_TYPE=Release -DQZ_BUILD_TESTS=OFF -DQZ_BUILD_TOOLS=ON "${launcher[@]}" \
  >"$base/host.configure.log" 2>&1 || { cat "$base/host.configure.log"; exit 1; }
cmake --build "$base/host" -j2 --target qz_vozozi_DE qzkit >"$base/host.build.log" 2>&1 ||
  { cat "$base/host.build.log"; exit 1; }

echo "== cases"
"${CXX:-c++}" -std=c++20 -O2 -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror \
  -I "$root/include" -o "$base/qz_generate_cases" "$root/target/GenerateCases.cpp"
rm -rf "$base/inputs"
mkdir -p "$base/inputs"
"$base/qz_generate_cases" "$base/inputs"

echo "== page versus desktop in headless Chromium"
node "$root/tests/web/BrowserTest.mjs" --page "$page" --tool "$base/host/qz_vozozi_DE" --qzkit "$base/host/tools/qzkit" --inputs "$base/inputs" \
  --cases "$base/inputs/cases.txt" --work "$base/work"
