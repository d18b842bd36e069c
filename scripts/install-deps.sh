#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs the Debian packages the project needs beyond the preinstalled
# toolchain. Each concern lists its packages in deps/<concern>.txt; pass
# concern names to install only those (default: all); an unknown name is an
# error. Does nothing when every package is already installed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

lists=()
if [ "$#" -eq 0 ]; then
  lists=("$here"/deps/*.txt)
else
  for concern in "$@"; do
    [ -f "$here/deps/$concern.txt" ] || { echo "install-deps: no package list scripts/deps/$concern.txt" >&2; exit 2; }
    lists+=("$here/deps/$concern.txt")
  done
fi

packages=()
for list in "${lists[@]}"; do
  while read -r package _; do
    case "$package" in ''|'#'*) continue ;; esac
    packages+=("$package")
  done < "$list"
done

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
