#!/bin/bash
# Makes docs/open-dialog-windows.png: the Windows build's Open dialog (the system's common
# dialog, here wine's) as a user sees it, on a virtual X server with a window manager so that
# the title bar shows.
#
# Usage: docs/make_windows_dialog_screenshot.sh OPJOIN_EXE [OUTPUT.png]
# Needs wine, Xvfb, xdotool, openbox and ImageMagick's import and convert. Uses the wine prefix
# in WINEPREFIX (scripts/test-windows.sh makes one), or wine's default.
set -euo pipefail

exe=$(realpath "$1")
output=$(realpath "${2:-$(dirname "$0")/open-dialog-windows.png}")
readonly exe output

work=$(mktemp -d "${TMPDIR:-/tmp}/opjoin-shot-XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
export LANG=C.UTF-8 WINEDEBUG=-all

mkdir -p "$work/sim/archive"
for name in inv.out opamp.out bandgap.dat ring_osc.out notes.txt; do
  cp "$(dirname "$0")/../examples/inv.out" "$work/sim/$name"
done

Xvfb -displayfd 3 -screen 0 1000x700x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

(cd "$work/sim" && exec wine "$exe") >/dev/null 2>&1 &
pids+=($!)
window=$(timeout 60 xdotool search --sync --onlyvisible --name "^Load SmartSpice Log File\$" |
  head -n 1)
xdotool windowactivate --sync "$window"
sleep 0.5
# The folder the dialog shows first may be the one it showed last: go to the sample folder.
xdotool type --delay 20 "Z:${work//\//\\}\\sim"
xdotool key Return
sleep 1
xdotool type --delay 20 "inv.out"
sleep 1
# The dialog's frame stands out against the empty black screen; cut the screen down to it.
import -window root "$work/screen.png"
convert "$work/screen.png" -trim +repage "$output"
xdotool key Escape
echo "wrote $output"
