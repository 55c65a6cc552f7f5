#!/usr/bin/env bash
# Builds opjoin alone (with the window dialog when Qt 6 is installed) and joins the bundled
# sample log, examples/inv.out, into examples/inv.jtb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh tool

window=OFF
if [ "$(dpkg-query -W -f='${Status}\n' qt6-base-dev libxcb1-dev 2>/dev/null |
  grep -c 'install ok installed')" = 2 ]; then
  window=ON
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
echo "building opjoin in build/ (window dialog: $window) ..."
start=$SECONDS
if ! { cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOPJOIN_GUI=$window &&
  cmake --build build --target opjoin -j"$(nproc)"; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "run-sample.sh: the build failed; its output is above" >&2
  exit 1
fi
echo "built build/front/opjoin in $((SECONDS - start)) s"

build/front/opjoin examples/inv.out
cat examples/inv.jtb
echo "joined examples/inv.out into examples/inv.jtb ($(wc -l <examples/inv.jtb) rows, shown above)"
