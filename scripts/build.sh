#!/usr/bin/env bash
# Installs what is missing, then configures and builds opjoin, its window dialog, tests and
# benchmarks in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOPJOIN_GUI=ON -DOPJOIN_TESTS=ON \
  -DOPJOIN_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)"
