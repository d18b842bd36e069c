#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Checks the project as its users take it into their own builds and machines:
#  1. `cmake --install` of the optimised build (prefix /usr, Debian's hardening
#     flags) into a scratch prefix;
#  2. the desktop example (examples/consumer/desktop) configured against that
#     prefix alone, and the same program built with pkg-config's flags, static
#     and shared; each must print the installed tool's BPM and QI for every
#     shipped recording; the same example with the source tree added to it
#     (add_subdirectory): no tools or tests configured, every library source
#     compiled with -ffp-contract=off, the same answers;
#  3. host programs of their own (tests/consumer): one in C++ that defines
#     the names the library once took and links the static libraries and the
#     shared one, one in C11 through the C header, both ways; a shared object
#     of the host's with the static library inside, loaded with dlopen; and
#     the symbols: nothing the libraries define lies outside namespace qz or
#     the qz_/QZ_ prefix;
#  4. the library cross-built for the Cortex-M4F without stage dumps and
#     installed into a prefix of its own, the bare-metal example in C
#     (examples/consumer/cortex-m) built against it and run under QEMU: the
#     same BPM and QI again; its streaming image under QEMU on a
#     pseudo-terminal, checked by `qzkit monitor --check`: every window
#     identical, and with the library built with -ffp-contract=fast a
#     differing window caught and saved;
#  5. the Debian packages (cmake/package/make-debs.sh): lintian without errors
#     or warnings but the ones listed, their dependencies resolvable (apt's
#     simulation), installed into and purged from a scratch root with dpkg,
#     the installed programs and manual page run from there;
#  6. one version: the banner, qzkit, the C interface, the CMake package,
#     pkg-config and the packages all say the project's version.
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
mapfile -t release_args < <("$root/scripts/release-args.sh")  # the same as scripts/test.sh's
quiet cmake -S "$root" -B "$release" "${release_args[@]}"
quiet cmake --build "$release" -j2 --target qz_vozozi_DE qzkit qz_core qz_fileio qz_nofileio qz_memfileio qz_driver \
  qz_shared qz_vozozi_DE_man qzkit_man
quiet cmake --install "$release" --prefix "$work/prefix"
prefix="$work/prefix"
libdir="$prefix/$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$release/CMakeCache.txt")"
export PKG_CONFIG_PATH="$libdir/pkgconfig"
examples="$prefix/share/qz_vozozi_DE/examples"
version=$("$prefix/bin/qz_vozozi_DE" --version | sed 's/^qz_vozozi_DE Version //')
[ ! -e "$prefix/share/doc/qz-vozozi-de" ] && [ ! -e "$prefix/share/doc/libqz-vozozi-de-dev" ] ||
  fail "cmake --install wrote the Debian packages' own docs"
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
for kind in static shared; do
  module=qz_vozozi_DE
  [ "$kind" = shared ] || module=qz_vozozi_DE-static
  # shellcheck disable=SC2046  # the flags are words
  "${CXX:-c++}" -std=c++17 $warnings -o "$work/estimate-$kind" "$root/examples/consumer/desktop/main.cpp" \
    $(pkg-config --cflags --libs "$module")
done
for record in "${records[@]}"; do
  compare "desktop example (CMake)" "$record" "$("$work/desktop/estimate" "$examples/ecg250.pvx.filters.v1" "$examples/$record.ecg")"
  for kind in static shared; do
    compare "desktop example (pkg-config, $kind)" "$record" \
      "$(LD_LIBRARY_PATH="$libdir" "$work/estimate-$kind" "$examples/ecg250.pvx.filters.v1" "$examples/$record.ecg")"
  done
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
quiet cmake --build "$work/subdirectory" -j2
for program in qz_vozozi_DE qz_count; do
  [ ! -e "$work/subdirectory/qz_vozozi_DE/$program" ] || fail "the host project's build made $program"
done
for record in "${records[@]}"; do
  compare "desktop example (add_subdirectory)" "$record" \
    "$("$work/subdirectory/estimate" "$examples/ecg250.pvx.filters.v1" "$examples/$record.ecg")"
done

echo "== host programs of their own (tests/consumer): C++ and C11, static and shared"
consumer="$root/tests/consumer"
for kind in static shared; do
  module=qz_vozozi_DE
  [ "$kind" = shared ] || module=qz_vozozi_DE-static
  # shellcheck disable=SC2046  # the flags are words
  "${CXX:-c++}" -std=c++17 $warnings -I "$consumer" -o "$work/collisions-$kind" "$consumer/Collisions.cpp" \
    $(pkg-config --cflags --libs "$module")
  # shellcheck disable=SC2046
  "${CC:-cc}" -std=c11 -Wall -Wextra -Werror -pedantic -o "$work/estimate-c-$kind" "$consumer/Estimate.c" \
    $(pkg-config --cflags --libs "$module")
  for record in "${records[@]}"; do
    for program in collisions estimate-c; do
      compare "$program ($kind)" "$record" \
        "$(LD_LIBRARY_PATH="$libdir" "$work/$program-$kind" "$examples/ecg250.pvx.filters.v1" "$examples/$record.ecg")"
    done
  done
done
# shellcheck disable=SC2046
"${CXX:-c++}" -fPIC -shared -o "$work/libshim.so" "$consumer/Shim.cpp" $(pkg-config --cflags --libs qz_vozozi_DE-static)
loaded=$(python3 - "$work/libshim.so" "$libdir/libqz_vozozi_DE.so.0" <<'PY'
import ctypes, sys
for path, function in zip(sys.argv[1:], ("host_library_version", "qz_version")):
    call = getattr(ctypes.CDLL(path), function)
    call.restype = ctypes.c_char_p
    print(call().decode())
PY
)
[ "$loaded" = "$(printf '%s\n%s' "$version" "$version")" ] || fail "dlopen of the shim and the library gave '$loaded'"
echo "ok: a shared object of the host's links the static library; both load with dlopen"
# Every symbol the libraries define (nm) is in namespace qz or carries the
# prefix; memfileio, desktop only, also holds the C++ library's own inline
# code it instantiates (std::, weak, merged with the program's own copies).
outside() { grep -v -E '^(qz::|qz_|QZ_)|^(guard variable for|vtable for) qz::' || true; }
symbols=$(nm -D --defined-only "$libdir/libqz_vozozi_DE.so.0" | awk '{print $3}' | c++filt | outside)
[ -z "$symbols" ] || fail "libqz_vozozi_DE.so.0 exports: $symbols"
for archive in "$libdir"/libqz_*.a; do
  symbols=$(nm --defined-only "$archive" 2>/dev/null | awk 'NF == 3 && $3 !~ /^\.L/ {print $3}' | c++filt | outside)
  [ "${archive##*/}" != libqz_memfileio.a ] ||
    symbols=$(echo "$symbols" | grep -v -E '^std::|^DW\.ref\.__gxx_personality_v0$' || true)
  [ -z "$symbols" ] || fail "${archive##*/} defines: $symbols"
done
hidden=$(readelf -sW "$libdir/libqz_core.a" | awk '$5 == "GLOBAL" && $6 == "HIDDEN" && $7 != "UND"')
[ -z "$hidden" ] || fail "libqz_core.a has internals with external linkage: $hidden"
echo "ok: every symbol is in namespace qz or prefixed; the internals are local"

echo "== Cortex-M4F: cross build installed into $work/m4f-prefix, bare-metal example under QEMU"
toolchain="$root/cmake/toolchains/arm-none-eabi-cortex-m4f.cmake"
quiet cmake -S "$root" -B "$work/m4f-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DQZ_BUILD_TESTS=OFF -DQZ_BUILD_TOOLS=OFF -DQZ_STAGE_DUMPS=OFF
quiet cmake --build "$work/m4f-build" -j2 --target qz_core qz_fileio qz_nofileio qz_driver qz_target_startup
quiet cmake --install "$work/m4f-build" --prefix "$work/m4f-prefix"
for record in "${records[@]}"; do
  CFLAGS="$warnings" CXXFLAGS="$warnings" quiet cmake -S "$root/examples/consumer/cortex-m" -B "$work/cortex-m" \
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
quiet cmake --build "$work/m4f-fused-build" -j2 --target qz_core qz_fileio qz_nofileio qz_driver qz_target_startup
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
quiet "$root/cmake/package/make-debs.sh" "$release" "$work/deb"
debs=("$work/deb"/*.deb)
# Warnings left: initial-upload-closes-no-bugs (no Debian bug to close).
lint=$(lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs "${debs[@]}" 2>&1) ||
  { echo "$lint"; fail "lintian reports errors or warnings"; }
echo "$lint" | grep -v 'root privileges' || true
for deb in "${debs[@]}"; do
  case "${deb##*/}" in
    libqz-*) [ "$(dpkg-deb --field "$deb" Multi-Arch)" = same ] || fail "${deb##*/} is not Multi-Arch: same" ;;
  esac
done
dpkg-deb --info "$work/deb/libqz-vozozi-de0_$version-1_"*.deb shlibs | grep -q '^libqz_vozozi_DE 0 libqz-vozozi-de0 ' ||
  fail "the runtime package has no shlibs file for libqz_vozozi_DE.so.0"
dpkg-deb --field "$work/deb/libqz-vozozi-de-dev_$version-1_"*.deb Depends | grep -q "libqz-vozozi-de0 (= $version-1)" ||
  fail "the -dev package does not depend on the runtime package"
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
[ -f "$scratch/usr/share/doc/qz-vozozi-de/README.md" ] || fail "no README under /usr/share/doc/qz-vozozi-de"
# The tool's manual page: its examples run as written, and qzkit's page
# gives the exit statuses the program returns.
examples_of() { man -l "$scratch/usr/share/man/man1/$1.1.gz" 2>/dev/null | sed -n '/^EXAMPLES/,/^SEE ALSO/p' | sed '1d;$d'; }
mkdir -p "$work/man-examples"
(cd "$work/man-examples" && examples_of qz_vozozi_DE | sed "s|/usr/|$scratch/usr/|g" |
  PATH="$scratch/usr/bin:$PATH" bash -e >/dev/null) || fail "the examples of qz_vozozi_DE(1) fail as written"
man -l "$scratch/usr/share/man/man1/qzkit.1.gz" 2>/dev/null | sed -n '/^EXIT STATUS/,/^[A-Z]/p' | grep -q ' 2 ' ||
  fail "qzkit(1) has no EXIT STATUS section with status 2"
quiet dpkg --root="$scratch" --no-triggers --purge qz-vozozi-de libqz-vozozi-de-dev libqz-vozozi-de0
left=$(find "$scratch" -path "$scratch/var" -prune -o ! -type d -print)
[ -z "$left" ] || fail "files left after purging the packages: $left"
echo "ok: ${debs[*]##*/} install, run and purge cleanly"
for deb in "${debs[@]}"; do
  [ "$(dpkg-deb --field "$deb" Version)" = "$version-1" ] || fail "${deb##*/} is not version $version-1"
done

echo "== one version: $version"
grep -q "set(PACKAGE_VERSION \"$version\")" "$libdir/cmake/qz_vozozi_DE/qz_vozozi_DEConfigVersion.cmake" ||
  fail "the CMake package's version file does not say $version"
[ "$(pkg-config --modversion qz_vozozi_DE)" = "$version" ] && [ "$(pkg-config --modversion qz_vozozi_DE-static)" = "$version" ] ||
  fail "pkg-config does not say $version"
[ "$("$prefix/bin/qzkit" --version)" = "qzkit $version" ] || fail "qzkit --version does not say $version"
echo "ok"

echo "passed"
