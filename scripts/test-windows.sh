#!/usr/bin/env bash
# Builds opjoin.exe and its unit tests for Windows (scripts/build-windows.sh) and tests them
# under wine: the unit tests, the end-to-end tests of a run, and the Open dialog in a real X
# server (Xvfb) driven by xdotool. Installs what is missing with apt-get. The wine prefix is
# made afresh in a temporary folder and removed afterwards, with the X server.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh wine

exe=$(scripts/build-windows.sh | tail -n 1)

work=$(mktemp -d "${TMPDIR:-/tmp}/opjoin-windows-XXXXXX")
xvfb_pid=""
cleanup() {
  wineserver -k 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Without a UTF-8 locale wine mangles arguments outside ASCII; WINEDEBUG quiets its notes.
export LANG=C.UTF-8 LC_ALL=C.UTF-8 WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko: nothing here needs .NET or HTML, and they would be fetched from the net.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
echo "== wine prefix"
wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
wineserver -w

echo "== Windows unit tests under wine"
ctest --test-dir build-windows/opjoin --output-on-failure -j"$(nproc)"

echo "== Windows end-to-end tests under wine"
e2e_status=0
tests/windows/run_e2e_test.sh "$exe" || e2e_status=$?

echo "== the Windows Open dialog under wine in Xvfb"
# Wine's desktop process, started by the runs above without a display, would serve the dialog
# runs too and make no windows: let the wine server end before a display is set.
wineserver -k 2>/dev/null || true
wineserver -w
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s $work/display ]] && break
  sleep 0.1
done
[[ -s $work/display ]] || { cat "$work/xvfb.log"; exit 1; }
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY
dialog_status=0
tests/windows/dialog_e2e_test.sh "$exe" || dialog_status=$?

[[ $e2e_status -eq 0 && $dialog_status -eq 0 ]]
echo "Windows tests passed: $exe"
