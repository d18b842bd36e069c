#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Makes the Debian packages from a built tree configured with the prefix /usr
# (cmake/QzDebian.cmake), each from its install components:
#   libqz-vozozi-de0     runtime        Multi-Arch: same; shlibs file, ldconfig trigger
#   libqz-vozozi-de-dev  dev            Multi-Arch: same; depends on the runtime package
#   qz-vozozi-de         tools and doc  the docs under /usr/share/doc/qz-vozozi-de
# Each gets its copyright file and Debian changelog; the dependencies on
# Debian's libraries come from dpkg-shlibdeps.
# Usage: make-debs.sh BUILD_DIR OUT_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ "$#" -eq 2 ] || { echo "usage: make-debs.sh BUILD_DIR OUT_DIR" >&2; exit 2; }
build=$(realpath "$1")
out=$(realpath -m "$2")
fail() { echo "make-debs: $*" >&2; exit 1; }

cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
[ "$(cached CMAKE_INSTALL_PREFIX)" = /usr ] || fail "configure the build with -DCMAKE_INSTALL_PREFIX=/usr"
version="$(cached CMAKE_PROJECT_VERSION)-1"
maintainer=$(cached QZ_PACKAGE_MAINTAINER)
arch=$(dpkg --print-architecture)
runtime=libqz-vozozi-de0
dev=libqz-vozozi-de-dev
tools=qz-vozozi-de

rm -rf "$out"
mkdir -p "$out/stage"

install_components() {  # ROOT COMPONENT...
  local root=$1; shift
  for component in "$@"; do
    DESTDIR="$root" cmake --install "$build" --component "$component" --strip >/dev/null
  done
}

debian_docs() {  # ROOT PACKAGE
  local doc="$1/usr/share/doc/$2"
  mkdir -p "$doc"
  install -m 644 "$here/copyright" "$doc/copyright"
  sed -e "s/@QZ_DEB_PACKAGE@/$2/" -e "s/@PROJECT_VERSION@/${version%-1}/g" -e "s/@QZ_PACKAGE_MAINTAINER@/$maintainer/" \
    "$here/changelog.Debian.in" | gzip -9n >"$doc/changelog.Debian.gz"
}

# The Depends of the ELF files below ROOT on Debian's libraries.
library_depends() {  # ROOT
  local elves
  mapfile -t elves < <(find "$1" -type f -exec sh -c 'head -c 4 "$1" | grep -q ELF' _ {} \; -print)
  [ "${#elves[@]}" -gt 0 ] || return 0
  local scratch="$out/shlibdeps"
  mkdir -p "$scratch/debian"
  printf 'Source: qz-vozozi-de\n\nPackage: qz-vozozi-de\nArchitecture: any\n' >"$scratch/debian/control"
  (cd "$scratch" && dpkg-shlibdeps -O "${elves[@]}" 2>/dev/null) | sed -n 's/^shlibs:Depends=//p'
}

# package NAME SECTION MULTI_ARCH DEPENDS SUMMARY DESCRIPTION: the control
# file, the checksums and the .deb of the tree staged in $out/stage/NAME.
package() {
  local name=$1 section=$2 multiarch=$3 depends=$4 summary=$5 description=$6
  local root="$out/stage/$name"
  find "$root" -name '*.a' -exec strip --strip-debug {} +  # as Debian ships static libraries
  debian_docs "$root" "$name"
  local shlibs
  shlibs=$(library_depends "$root")
  depends=$(printf '%s\n' "$shlibs" "$depends" | grep -v '^$' | paste -sd, | sed 's/, */, /g')
  mkdir -p "$root/DEBIAN"
  {
    echo "Package: $name"
    echo "Version: $version"
    echo "Architecture: $arch"
    [ -z "$multiarch" ] || echo "Multi-Arch: $multiarch"
    echo "Maintainer: $maintainer"
    echo "Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)"
    [ -z "$depends" ] || echo "Depends: $depends"
    echo "Section: $section"
    echo "Priority: optional"
    echo "Description: $summary"
    echo "$description" | sed -e 's/^$/./' -e 's/^/ /'
  } >"$root/DEBIAN/control"
  (cd "$root" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | LC_ALL=C sort -z |
    xargs -0r md5sum >DEBIAN/md5sums)
  dpkg-deb --root-owner-group -Zxz --build "$root" "$out/${name}_${version}_$arch.deb" >/dev/null
}

about="qz_vozozi_DE estimates a heart rate in beats per minute and a quality
indication from one recording of 1500 or 600 samples, with the same bits a
microcontroller computes."

root="$out/stage/$runtime"
install_components "$root" runtime
library=$(find "$root" -type f -name 'libqz_vozozi_DE.so.*')
soname=$(readelf -d "$library" | sed -n 's/.*(SONAME).*\[\(.*\)\.so\.\([0-9]*\)\]/\1 \2/p')
[ -n "$soname" ] || fail "$library has no SONAME"
mkdir -p "$root/DEBIAN"
echo "$soname $runtime (>= ${version%-1})" >"$root/DEBIAN/shlibs"
echo "activate-noawait ldconfig" >"$root/DEBIAN/triggers"
package "$runtime" libs same "" "heart rate and quality from one short ECG or pulse recording - library" \
  "$about
.
This package holds the shared library, with a C++ interface in namespace qz
and a C interface (qz_estimate)."

install_components "$out/stage/$dev" dev
package "$dev" libdevel same "$runtime (= $version)" \
  "heart rate and quality from one short ECG or pulse recording - development files" \
  "$about
.
This package holds the headers (C++ and C), the static libraries (built
position-independent), the link name of the shared library, a CMake package
(find_package qz_vozozi_DE; targets qz::core, qz::fileio, qz::nofileio,
qz::memfileio, qz::driver, qz::shared), pkg-config files and the consumer
examples."

root="$out/stage/$tools"
install_components "$root" tools
install_components "$out/stage/doc" doc  # README and docs, into the package's own doc folder
mkdir -p "$root/usr/share/doc/$tools"
cp -R "$out/stage/doc/usr/share/doc"/*/. "$root/usr/share/doc/$tools/"
rm "$root/usr/share/doc/$tools/LICENSE"  # the copyright file says it
package "$tools" science "" "" "heart rate and quality from one short ECG or pulse recording" \
  "$about It writes the buffer after every stage.
.
qzkit makes synthetic recordings, converts WFDB, CSV and EDF recordings,
evaluates the estimator against reference beats, runs a heart-rate-meter
test battery, makes constants files and draws pictures of a run."

rm -rf "$out/stage" "$out/shlibdeps"
ls "$out"/*.deb
