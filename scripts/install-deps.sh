#!/usr/bin/env bash
# Installs the Debian packages that building and testing opjoin need, if any are missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config          # the build
  libgtest-dev libgmock-dev          # unit and end-to-end tests
  libbenchmark-dev                   # benchmarks
  libedit-dev                        # line editing in the terminal dialog
  libxcb1-dev                        # finding out whether an X display answers
  qt6-base-dev xvfb xdotool          # the graphical dialog and its tests in a real window
  clang libclang-rt-14-dev           # the fuzzer
  gawk mawk time                     # benchmark comparisons and peak memory
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}" >&2
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
