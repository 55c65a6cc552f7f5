#!/usr/bin/env bash
# Builds opjoin and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
ctest --test-dir build --output-on-failure --no-tests=error -j"$(nproc)"
