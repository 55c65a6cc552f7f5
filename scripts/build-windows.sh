#!/usr/bin/env bash
# Cross-builds opjoin.exe for 64-bit Windows with MinGW-w64, and its unit tests, in
# build-windows/. GoogleTest is built from Debian's source (/usr/src/googletest) with the same
# compiler; nothing is downloaded. Installs what is missing with apt-get. Prints the path of
# opjoin.exe as its last line.
#
# Usage: scripts/build-windows.sh [--no-tests] [CMAKE_ARGUMENT...]
#   e.g. scripts/build-windows.sh -DOPJOIN_WERROR=ON
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-windows
toolchain=$root/cmake/mingw-w64-x86_64.cmake

tests=ON
extra=()
for arg in "$@"; do
  case $arg in
    --no-tests) tests=OFF ;;
    *) extra+=("$arg") ;;
  esac
done

scripts/install-deps.sh windows >&2

jobs=$(nproc)
configure=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release "-DOPJOIN_TESTS=$tests")
if [[ $tests == ON ]]; then
  gtest_build=$build/googletest-build
  gtest_prefix=$build/googletest
  if [[ ! -f $gtest_prefix/lib/cmake/GTest/GTestConfig.cmake ]]; then
    cmake -S /usr/src/googletest -B "$gtest_build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest_prefix" -DBUILD_GMOCK=OFF \
      -Dgtest_disable_pthreads=OFF >/dev/null
    cmake --build "$gtest_build" -j"$jobs" >&2
    cmake --install "$gtest_build" >/dev/null
  fi
  configure+=(-DGTest_DIR="$gtest_prefix/lib/cmake/GTest")
fi
cmake -S . -B "$build/opjoin" "${configure[@]}" "${extra[@]}" >&2
cmake --build "$build/opjoin" -j"$jobs" >&2
echo "$build/opjoin/front/opjoin.exe"
