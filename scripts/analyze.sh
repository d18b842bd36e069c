#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Static analysis of all product code: the library, the helpers and the
# driver (src/, app/), the companion program (tools/lib, tools/qzkit), the
# Python binding (python/src) and the workbench's entry points (web/):
# clang-tidy with the checks in .clang-tidy and cppcheck, both over the
# compile commands of a clang configuration, where the binding and the entry
# points have host compilations of their own (QZ_ANALYSIS). Any finding
# fails the script. Configures in $QZ_BUILD_ROOT/analyze (default: build/ in
# the repository).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${QZ_BUILD_ROOT:-$root/build}
dir="$build_root/analyze"
folders=(src app tools/lib tools/qzkit python/src web)

# Only the compile commands are needed; nothing is built.
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
  -DQZ_BUILD_TESTS=OFF -DQZ_BUILD_TOOLS=ON -DQZ_ANALYSIS=ON >/dev/null

mapfile -t sources < <(cd "$root" && find "${folders[@]}" -name '*.cpp' | sort)
filters=()
for folder in "${folders[@]}"; do filters+=("--file-filter=$root/$folder/*"); done
# A loop where an algorithm would do is a matter of style in desktop code;
# the library keeps the suggestion.
desktop=()
for folder in tools python web; do desktop+=("--suppress=useStlAlgorithm:$root/$folder/*"); done
failed=0

echo "analyze: clang-tidy $(clang-tidy --version | sed -n 's/.*version \([0-9.]*\).*/\1/p' | head -n 1) on ${#sources[@]} files"
if ! (cd "$root" && printf '%s\n' "${sources[@]}" |
      xargs -P 2 -n 4 clang-tidy -p "$dir" --quiet >"$dir/clang-tidy.log" 2>&1); then
  grep -E -A 4 '(warning|error):' "$dir/clang-tidy.log" || cat "$dir/clang-tidy.log"
  echo "analyze: clang-tidy found problems (full log: $dir/clang-tidy.log)"
  failed=1
fi

echo "analyze: $(cppcheck --version)"
if ! cppcheck --project="$dir/compile_commands.json" "${filters[@]}" \
     --enable=warning,style,performance,portability --std=c++20 --inline-suppr \
     --suppress=missingIncludeSystem "${desktop[@]}" --error-exitcode=1 -q -j 2 \
     --template='{file}:{line}: {severity}: {message} [{id}]'; then
  echo "analyze: cppcheck found problems"
  failed=1
fi

[ "$failed" -eq 0 ] && echo "analyze: clean"
exit "$failed"
