#!/usr/bin/env bash
# Builds the packages into dist/: opjoin_VERSION_ARCH.deb, opjoin-gui_VERSION_ARCH.deb (the
# window dialog, when Qt 6 is installed), opjoin-VERSION-Linux.tar.gz, and the Windows .zip
# when scripts/package-windows.sh is there.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh tool window package
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DOPJOIN_TESTS=OFF -DOPJOIN_BENCH=OFF >/dev/null
cmake --build build-package -j"$(nproc)" >/dev/null
(cd build-package && cpack -B "$PWD/cpack" >/dev/null)
mkdir -p dist
cp build-package/cpack/*.deb build-package/cpack/*.tar.gz dist/
if [ -x scripts/package-windows.sh ]; then
  scripts/package-windows.sh
fi
ls -1 dist/
