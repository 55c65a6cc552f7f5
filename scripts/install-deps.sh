#!/usr/bin/env bash
# Installs the Debian packages that opjoin's build needs, if any are missing.
#   scripts/install-deps.sh [GROUP...]    with no group: everything the Linux build uses
# Groups: tool (the opjoin binary alone), window (the window dialog), test, bench, fuzz, package;
# and, only when named, windows (the MinGW-w64 cross-build) and wine (running it).
set -euo pipefail

declare -A groups=(
  [tool]="cmake g++ make pkg-config libedit-dev"
  [window]="qt6-base-dev libxcb1-dev"
  [test]="libgtest-dev libgmock-dev xvfb xdotool ngspice"
  [bench]="libbenchmark-dev gawk mawk time"
  [fuzz]="clang libclang-rt-14-dev"
  [package]="dpkg-dev file"
  [windows]="cmake make g++-mingw-w64-x86-64-posix googletest"
  [wine]="wine wine64 xvfb xdotool"
)
wanted=("$@")
[ ${#wanted[@]} -eq 0 ] && wanted=(tool window test bench fuzz package)

missing=()
for group in "${wanted[@]}"; do
  if [ -z "${groups[$group]+set}" ]; then
    echo "install-deps.sh: no group '$group' (groups: ${!groups[*]})" >&2
    exit 2
  fi
  for package in ${groups[$group]}; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}" >&2
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
