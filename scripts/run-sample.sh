#!/usr/bin/env bash
# Builds opjoin and joins the bundled sample log; shows the table it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
build/front/opjoin examples/inv.out
echo "wrote examples/inv.jtb:"
cat examples/inv.jtb
