#!/usr/bin/env bash
# Makes dist/opjoin-VERSION-windows-x86_64.zip: opjoin.exe (cross-built by
# scripts/build-windows.sh, debugging symbols stripped), the README, and the sample log with its
# table in examples/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

exe=$(scripts/build-windows.sh | tail -n 1)
version=$(sed -n 's/^project(opjoin VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=opjoin-$version-windows-x86_64

stage=$(mktemp -d "${TMPDIR:-/tmp}/opjoin-zip-XXXXXX")
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name/examples" dist
x86_64-w64-mingw32-strip -o "$stage/$name/opjoin.exe" "$exe"
cp README.md "$stage/$name/"
cp examples/inv.out "$stage/$name/examples/"
# The table as the Windows build writes it, with CR LF lines.
sed 's/$/\r/' examples/inv.jtb >"$stage/$name/examples/inv.jtb"
rm -f "dist/$name.zip"
(cd "$stage" && cmake -E tar cf "$root/dist/$name.zip" --format=zip "$name")
echo "$root/dist/$name.zip"
