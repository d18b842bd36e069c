#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the browser workbench: one self-contained HTML file (the tool
# compiled to WebAssembly, inlined, with the page around it) that opens from
# disk with no server. Prints the file's path.
#
# Usage: scripts/build-web.sh [BUILD_DIR]   (default: build/web in the repository)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build/web}

"$root/scripts/install-deps.sh" web
# Debian's emscripten finds its JavaScript parser (acorn) only through NODE_PATH.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
emcmake cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DQZ_BUILD_WEB=ON -DQZ_BUILD_TESTS=OFF \
  -DQZ_BUILD_TOOLS=OFF "${launcher[@]}" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" -j2 --target qz_workbench >"$dir.build.log" 2>&1 || { cat "$dir.build.log"; exit 1; }
echo "$dir/web/qz_workbench.html"
