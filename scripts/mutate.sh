#!/usr/bin/env bash
# Mutation check of the test suite: run by hand, not in CI (it takes about
# half an hour on two cores).
#
# Applies one change at a time from a mutant list to the library, the helpers
# and the driver, rebuilds the ASan+UBSan build incrementally, runs every test
# program (each in one process, which is several times faster than ctest's
# process per test) and records whether any test failed (killed) or all passed
# (survived). A sanitizer report or a hang (timeout) counts as killed. The
# source file is restored after every mutant, also on error or interruption.
#
# Usage: scripts/mutate.sh [-l LIST] [-b BUILD_DIR] [-t SECONDS] [-m REGEX] [-x PATTERN]
#   -l  mutant list (default scripts/mutants.txt)
#   -b  sanitizer build folder (default build/sanitize; configured if missing)
#   -t  timeout per test program in seconds (default 300)
#   -m  only the mutants whose list line matches REGEX
#   -x  leave out the tests matching a gtest filter PATTERN (e.g.
#       'LowPassDesign.*', slow tests of the companion program that never
#       reach the mutated code)
#
# List format, one mutant per line, fields separated by tabs:
#   file <TAB> exact text <TAB> replacement [<TAB> occurrence, default 1]
# Blank lines and lines starting with '#' are ignored. A mutant whose text no
# longer occurs in the file is reported as "not applied" and not counted; one
# that does not compile is reported as "not built" and not counted either.
set -u -o pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
list="$root/scripts/mutants.txt"
build="$root/build/sanitize"
timeout=300
only=""
exclude=""
while getopts "l:b:t:m:x:" option; do
    case $option in
    l) list=$OPTARG ;;
    b) build=$OPTARG ;;
    t) timeout=$OPTARG ;;
    m) only=$OPTARG ;;
    x) exclude=$OPTARG ;;
    *) exit 2 ;;
    esac
done

targets=(test_c_helpers test_qz_filters test_app)
[[ -d "$root/tools" ]] && targets+=(test_tools)

backup=$(mktemp)
mutated=""
restore() {
    if [[ -n "$mutated" ]]; then
        cp "$backup" "$root/$mutated"
        mutated=""
    fi
}
trap 'restore; rm -f "$backup"' EXIT
trap 'exit 130' INT TERM

build_tests() {
    cmake --build "$build" -j2 --target "${targets[@]}" </dev/null >"$build/mutate-build.log" 2>&1
}

run_tests() {
    local target
    for target in "${targets[@]}"; do
        (cd "$build/tests" && timeout "$timeout" "./$target" --gtest_fail_fast --gtest_brief=1 \
            ${exclude:+"--gtest_filter=-$exclude"}) </dev/null >"$build/mutate-test.log" 2>&1 || return 1
    done
}

# Replaces occurrence $4 of text $2 by $3 in file $1; fails when it is missing.
apply_mutant() {
    python3 - "$@" <<'EOF'
import sys
path, text, replacement, occurrence = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
source = open(path, encoding="utf-8").read()
at = -1
for _ in range(occurrence):
    at = source.find(text, at + 1)
    if at < 0:
        sys.exit(1)
open(path, "w", encoding="utf-8").write(source[:at] + replacement + source[at + len(text):])
EOF
}

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DQZ_SANITIZE=ON \
        ${CCACHE_DIR:+-DCMAKE_CXX_COMPILER_LAUNCHER=ccache} >/dev/null || exit 1
fi
echo "unmutated build and tests ..."
if ! build_tests || ! run_tests; then
    echo "the unmutated tests do not pass; see $build/mutate-*.log" >&2
    exit 1
fi

killed=0 survived=0 unapplied=0 unbuilt=0
while IFS=$'\t' read -r file text replacement occurrence || [[ -n "$file" ]]; do
    [[ -z "$file" || "$file" == \#* ]] && continue
    line="$file	$text	$replacement	${occurrence:=1}"
    [[ -n "$only" && ! "$line" =~ $only ]] && continue
    label="$file: '$text' -> '$replacement' (#$occurrence)"
    cp "$root/$file" "$backup"
    mutated=$file
    if ! apply_mutant "$root/$file" "$text" "$replacement" "$occurrence"; then
        restore
        echo "not applied  $label"
        unapplied=$((unapplied + 1))
        continue
    fi
    start=$SECONDS
    if ! build_tests; then
        verdict="not built"
        unbuilt=$((unbuilt + 1))
    elif run_tests; then
        verdict="SURVIVED"
        survived=$((survived + 1))
    else
        verdict="killed"
        killed=$((killed + 1))
    fi
    restore
    printf '%-12s %s [%ds]\n' "$verdict" "$label" $((SECONDS - start))
done <"$list"

# Leave the build matching the restored sources.
build_tests || true
counted=$((killed + survived))
echo "killed $killed, survived $survived of $counted mutants" \
    "(not applied $unapplied, not built $unbuilt); score $((counted ? 100 * killed / counted : 0)) %"
