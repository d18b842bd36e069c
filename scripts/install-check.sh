#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Checks the project as its users take it into their own builds and machines:
#  1. `cmake --install` of the optimised build into a scratch prefix;
#  2. the desktop example (examples/consumer/desktop) configured against that
#     prefix alone, and the same program built with pkg-config's flags; both
#     must print the installed tool's BPM and QI for every shipped recording;
#     the same example with the source tree added to it (add_subdirectory):
#     no tools or tests configured, every library source compiled with
#     -ffp-contract=off, the same answers;
#  3. the library cross-built for the Cortex-M4F without stage dumps and
#     installed into a prefix of its own, the bare-metal example (examples/consumer/cortex-m) built
#     against it and run under QEMU: the same BPM and QI again; its streaming
#     image under QEMU on a pseudo-terminal, checked by `qzkit monitor
#     --check`: every window identical, and with the library built with
#     -ffp-contract=fast a differing window caught and saved;
#  4. the Debian packages (cpack): lintian without errors, their dependencies
#     resolvable (apt's simulation), installed into and purged from a scratch
#     root with dpkg, the installed programs and manual page run from there;
#  5. one version: the banner, qzkit, the CMake package, pkg-config and the
#     packages all say the project's version.
# Nothing is installed into the machine's own package database.
# Usage: scripts/install-check.sh [BUILD_ROOT]   (default $QZ_BUILD_ROOT, else build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=$(realpath -m "${1:-${QZ_BUILD_ROOT:-$root/build}}")
work="$build_root/install-check"
release="$build_root/release"
warnings="-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror"

"$root/scripts/install-deps.sh" build tools plot wfdb target package

rm -rf "$work"
mkdir -p "$work"
quiet() {  # runs a command, shows its output only when it fails
  local log="$work/last.log"
  "$@" >"$log" 2>&1 || { cat "$log"; return 1; }
}
fail() { echo "install-check: $*" >&2; exit 1; }
result_of() { grep -o 'BPM: [0-9]*[[:space:]]*QI: [0-9]*' | tr -s ' \t' ' '; }

echo "== install the optimised build into $work/prefix"
quiet cmake -S "$root" -B "$release" -DCMAKE_BUILD_TYPE=Release
quiet cmake --build "$release" -j2 --target qz_vozozi_DE qzkit qz_core qz_fileio qz_memfileio qz_driver \
  qz_vozozi_DE_man qzkit_man   # the manual pages are installed too
quiet cmake --install "$release" --prefix "$work/prefix"
prefix="$work/prefix"
examples="$prefix/share/qz_vozozi_DE/examples"
version=$("$prefix/bin/qz_vozozi_DE" --version | sed 's/^qz_vozozi_DE Version //')
records=(ecg_72bpm ecg_60bpm_600 ppg_66bpm)

expected_of() {  # RECORD: the installed tool's answer with the ecg250 constants
  local run="$work/run-$1"
  mkdir -p "$run"
  cp "$examples/ecg250.pvx.filters.v1" "$examples/$1.ecg" "$run/"
  (cd "$run" && "$prefix/bin/qz_vozozi_DE" ecg250 "$1") | result_of
}
compare() {  # WHAT RECORD OUTPUT
  local expected
  expected=$(expected_of "$2")
  [ "$(echo "$3" | result_of)" = "$expected" ] || fail "$1 on $2 printed '$3', the tool '$expected'"
  echo "$1 $2: $expected"
}

echo "== desktop example against the installed tree"
CXXFLAGS="$warnings" quiet cmake -S "$root/examples/consumer/desktop" -B "$work/desktop" \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
quiet cmake --build "$work/desktop"
pkg_flags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs qz_vozozi_DE)
# shellcheck disable=SC2086  # the flags are words
"${CXX:-c++}" -std=c++20 $warnings -I "$root/examples/consumer" -o "$work/estimate-pkg-config" \
  "$root/examples/consumer/desktop/main.cpp" -lqz_memfileio $pkg_flags
for record in "${records[@]}"; do
  compare "desktop example (CMake)" "$record" "$("$work/desktop/estimate" "$examples/ecg250.pvx.filters.v1" "$examples/$record.ecg")"
  compare "desktop example (pkg-config)" "$record" \
    "$("$work/estimate-pkg-config" "$examples/ecg250.pvx.filters.v1" "$examples/$record.ecg")"
done

echo "== desktop example with the source tree added to it (add_subdirectory)"
CXXFLAGS="$warnings" quiet cmake -S "$root/examples/consumer/desktop" -B "$work/subdirectory" -DQZ_SOURCE_DIR="$root" \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
if [ -e "$work/subdirectory/qz_vozozi_DE/tools" ] || [ -e "$work/subdirectory/qz_vozozi_DE/tests" ]; then
  fail "the tools or the tests are configured inside a host project"
fi
python3 - "$work/subdirectory/compile_commands.json" "$root/src/" <<'PY' || fail "library sources compiled without -ffp-contract=off"
import json, sys
library = [entry for entry in json.load(open(sys.argv[1])) if entry["file"].startswith(sys.argv[2])]
missing = [entry["file"] for entry in library if "-ffp-contract=off" not in entry["command"]]
if missing:
    print("\n".join(missing))
sys.exit(1 if missing or not library else 0)
PY
quiet cmake --build "$work/subdirectory" -j2 --target estimate
for record in "${records[@]}"; do
  compare "desktop example (add_subdirectory)" "$record" \
    "$("$work/subdirectory/estimate" "$examples/ecg250.pvx.filters.v1" "$examples/$record.ecg")"
done

echo "== Cortex-M4F: cross build installed into $work/m4f-prefix, bare-metal example under QEMU"
toolchain="$root/cmake/toolchains/arm-none-eabi-cortex-m4f.cmake"
quiet cmake -S "$root" -B "$work/m4f-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DQZ_BUILD_TESTS=OFF -DQZ_BUILD_TOOLS=OFF -DQZ_STAGE_DUMPS=OFF
quiet cmake --build "$work/m4f-build" -j2 --target qz_core qz_fileio qz_driver qz_target_startup
quiet cmake --install "$work/m4f-build" --prefix "$work/m4f-prefix"
for record in "${records[@]}"; do
  CXXFLAGS="$warnings" quiet cmake -S "$root/examples/consumer/cortex-m" -B "$work/cortex-m" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$work/m4f-prefix" -DCMAKE_BUILD_TYPE=Release \
    -DQZ_RECORD="$record"
  quiet cmake --build "$work/cortex-m"
  compare "Cortex-M4F example" "$record" "$("$root/target/qemu-run.sh" "$work/cortex-m/estimate.elf")"
done

echo "== Cortex-M4F streaming image checked by qzkit monitor through a pseudo-terminal"
# stream_check PREFIX WORK: the streaming example built against the library
# installed in PREFIX, run under QEMU and checked window by window; the
# monitor's exit status. The ecg250-original constants on ecg_72bpm give a
# window whose result record a fused multiply-add changes.
stream_check() {
  CXXFLAGS="$warnings" quiet cmake -S "$root/examples/consumer/cortex-m" -B "$2/build" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$1" -DCMAKE_BUILD_TYPE=Release \
    -DQZ_CONSTANTS=ecg250-original -DQZ_RECORD=ecg_72bpm
  quiet cmake --build "$2/build" --target stream.elf
  "$root/target/monitor-check.sh" "$prefix/bin/qzkit" "$2/build/stream.elf" "$examples/ecg250-original" "$2"
}
stream_check "$work/m4f-prefix" "$work/stream" || fail "the streaming image's windows differ from the desktop's"
# The library as a user's build may make it, -ffp-contract=fast added to every
# compile: the monitor must catch it and save the first differing window,
# which the tool then runs to the desktop's record.
fused="$work/fp-contract-fast.sh"
printf '#!/bin/sh\nexec "$@" -ffp-contract=fast\n' >"$fused"
chmod +x "$fused"
quiet cmake -S "$root" -B "$work/m4f-fused-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DQZ_BUILD_TESTS=OFF -DQZ_BUILD_TOOLS=OFF -DQZ_STAGE_DUMPS=OFF -DCMAKE_CXX_COMPILER_LAUNCHER="$fused"
quiet cmake --build "$work/m4f-fused-build" -j2 --target qz_core qz_fileio qz_driver qz_target_startup
quiet cmake --install "$work/m4f-fused-build" --prefix "$work/m4f-fused-prefix"
status=0
stream_check "$work/m4f-fused-prefix" "$work/stream-fused" || status=$?
[ "$status" -eq 1 ] || fail "the build with -ffp-contract=fast was not caught (monitor status $status)"
saved=$(ls "$work/stream-fused"/stream-*.ecg | head -n 1)
[ -n "$saved" ] || fail "no differing window saved"
window=$(basename "$saved" .ecg)
cp "$examples/ecg250-original.pvx.filters.v1" "$work/stream-fused/"
cp "$work/stream-fused/$window.out" "$work/stream-fused/$window.desktop.out"
(cd "$work/stream-fused" && quiet "$prefix/bin/qz_vozozi_DE" ecg250-original "$window")
cmp -s "$work/stream-fused/$window.out" "$work/stream-fused/$window.desktop.out" ||
  fail "the tool's record of the saved window $window is not the monitor's"
echo "ok: the fused build is caught, window $window saved and replayed by the tool"

echo "== Debian packages"
(cd "$release" && quiet cpack -G DEB -B "$work/deb")
debs=("$work/deb"/*.deb)
# Warnings left: initial-upload-closes-no-bugs (no Debian bug to close) and
# pkg-config-unavailable-for-cross-compilation (the .pc is in /usr/lib/pkgconfig).
lint=$(lintian --fail-on error "${debs[@]}" 2>&1) || { echo "$lint"; fail "lintian reports errors"; }
echo "$lint" | grep -v 'root privileges' || true
quiet apt-get install --simulate "${debs[@]}"
scratch="$work/root"
mkdir -p "$scratch/var/lib/dpkg/info" "$scratch/var/lib/dpkg/updates"
touch "$scratch/var/lib/dpkg/status"
# The scratch root has no Debian libraries: their presence is what the simulation checked.
quiet dpkg --root="$scratch" --force-depends --no-triggers --install "${debs[@]}"
"$scratch/usr/bin/qz_vozozi_DE" --version | grep -qx "qz_vozozi_DE Version $version" || fail "installed banner"
"$scratch/usr/bin/qzkit" --help | grep -q '^Usage: ' || fail "installed qzkit --help"
"$scratch/usr/bin/qzkit" constants show "$scratch/usr/share/qz_vozozi_DE/examples/ecg250.pvx.filters.v1" |
  grep -q . || fail "installed qzkit constants show"
for page in qz_vozozi_DE qzkit; do
  man -l "$scratch/usr/share/man/man1/$page.1.gz" 2>/dev/null | grep -q "^NAME" || fail "no manual page $page(1)"
done
quiet dpkg --root="$scratch" --no-triggers --purge qz-vozozi-de libqz-vozozi-de-dev
left=$(find "$scratch" -path "$scratch/var" -prune -o ! -type d -print)
[ -z "$left" ] || fail "files left after purging the packages: $left"
echo "ok: ${debs[*]##*/} install, run and purge cleanly"
for deb in "${debs[@]}"; do
  [ "$(dpkg-deb --field "$deb" Version)" = "$version-1" ] || fail "${deb##*/} is not version $version-1"
done

echo "== one version: $version"
grep -q "set(PACKAGE_VERSION \"$version\")" "$prefix/lib/cmake/qz_vozozi_DE/qz_vozozi_DEConfigVersion.cmake" ||
  fail "the CMake package's version file does not say $version"
[ "$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --modversion qz_vozozi_DE)" = "$version" ] ||
  fail "pkg-config does not say $version"
[ "$("$prefix/bin/qzkit" --version)" = "qzkit $version" ] || fail "qzkit --version does not say $version"
echo "ok"

echo "passed"
