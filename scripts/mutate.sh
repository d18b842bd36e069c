#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
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
# Usage: scripts/mutate.sh [-l LIST] [-b BUILD_DIR] [-t SECONDS] [-m REGEX] [-f PATTERN] [-x PATTERN]
#   -l  mutant list (default scripts/mutants.txt)
#   -b  sanitizer build folder (default build/sanitize; configured if missing)
#   -t  timeout per test program in seconds (default 300)
#   -m  only the mutants whose list line matches REGEX
#   -f  run only the tests matching a gtest filter PATTERN (e.g. '*Tune*'
#       for mutants of tune): a mutant killed so is killed by the whole
#       suite; one that survives is worth a run without -f
#   -x  leave out the tests matching a gtest filter PATTERN (e.g.
#       'LowPassDesign.*', slow tests of the companion program that never
#       reach the mutated code)
#
# List format, one mutant per line, fields separated by tabs:
#   file <TAB> exact text <TAB> replacement [<TAB> occurrence, default 1]
# Blank lines and lines starting with '#' are ignored. Every mutant is
# checked before anything is built: when the text of one no longer occurs in
# its file (the list has fallen behind the code), the script names each such
# line and stops with status 1. A mutant that does not compile is reported as
# "not built" and not counted.
set -u -o pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
list="$root/scripts/mutants.txt"
build="$root/build/sanitize"
timeout=300
only=""
tests="*"
exclude=""
while getopts "l:b:t:m:f:x:" option; do
    case $option in
    l) list=$OPTARG ;;
    b) build=$OPTARG ;;
    t) timeout=$OPTARG ;;
    m) only=$OPTARG ;;
    f) tests=$OPTARG ;;
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
            "--gtest_filter=$tests${exclude:+-$exclude}") </dev/null >"$build/mutate-test.log" 2>&1 || return 1
    done
}

# Replaces occurrence $4 of text $2 by $3 in file $1 (with $5 "check", only
# checks that it occurs); fails when it is missing.
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
if sys.argv[5:] != ["check"]:
    open(path, "w", encoding="utf-8").write(source[:at] + replacement + source[at + len(text):])
EOF
}

# Calls $1 with file, text, replacement, occurrence and label of every mutant
# of the list that -m selects.
for_each_mutant() {
    local file text replacement occurrence line
    while IFS=$'\t' read -r file text replacement occurrence || [[ -n "$file" ]]; do
        [[ -z "$file" || "$file" == \#* ]] && continue
        line="$file	$text	$replacement	${occurrence:=1}"
        [[ -n "$only" && ! "$line" =~ $only ]] && continue
        "$1" "$file" "$text" "$replacement" "$occurrence" "$file: '$text' -> '$replacement' (#$occurrence)"
    done <"$list"
}

unapplied=0
check_mutant() {
    if [[ ! -f "$root/$1" ]] || ! apply_mutant "$root/$1" "$2" "$3" "$4" check; then
        echo "not applicable: $5" >&2
        unapplied=$((unapplied + 1))
    fi
}

for_each_mutant check_mutant
if ((unapplied > 0)); then
    echo "$unapplied mutants of $list no longer match the code; bring the list up to date" >&2
    exit 1
fi

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DQZ_SANITIZE=ON \
        ${CCACHE_DIR:+-DCMAKE_CXX_COMPILER_LAUNCHER=ccache} >/dev/null || exit 1
fi
echo "unmutated build and tests ..."
if ! build_tests || ! run_tests; then
    echo "the unmutated tests do not pass; see $build/mutate-*.log" >&2
    exit 1
fi

killed=0 survived=0 unbuilt=0
run_mutant() {
    local file=$1 label=$5 verdict start
    cp "$root/$file" "$backup"
    mutated=$file
    apply_mutant "$root/$file" "$2" "$3" "$4" || { echo "could not apply $label" >&2; exit 1; }
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
        label+=" by $(grep -m1 -o '^\[  FAILED  \] [^ ]*' "$build/mutate-test.log" | cut -c14- | sed 's/,$//' | grep . ||
            echo 'a crash or a timeout')"
    fi
    restore
    printf '%-12s %s [%ds]\n' "$verdict" "$label" $((SECONDS - start))
}
for_each_mutant run_mutant

# Leave the build matching the restored sources.
build_tests || true
counted=$((killed + survived))
echo "killed $killed, survived $survived of $counted mutants" \
    "(not built $unbuilt); score $((counted ? 100 * killed / counted : 0)) %"
