#!/bin/bash
# Makes docs/open-dialog.png: the window Open dialog as a user sees it, taken on a virtual X
# server with a window manager, so that the title bar shows.
#
# Usage: docs/make_dialog_screenshot.sh OPJOIN [OUTPUT.png]
# Needs Xvfb, xdotool, openbox and ImageMagick's import and convert.
set -euo pipefail

opjoin=$(realpath "$1")
output=$(realpath "${2:-$(dirname "$0")/open-dialog.png}")
readonly opjoin output

# Where it may, the script runs in a mount namespace of its own with an empty /home, so that
# the dialog shows /home/engineer/sim rather than a temporary folder's name.
if [[ -z ${OPJOIN_SHOT_IN_NAMESPACE:-} ]] && unshare --mount true 2>/dev/null; then
  exec unshare --mount env OPJOIN_SHOT_IN_NAMESPACE=1 "$0" "$opjoin" "$output"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/opjoin-shot-XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

export HOME=$work/engineer XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
if [[ -n ${OPJOIN_SHOT_IN_NAMESPACE:-} ]] && mount -t tmpfs tmpfs /home; then
  HOME=/home/engineer
fi
mkdir -p "$HOME/sim/archive" && mkdir -m 700 "$XDG_RUNTIME_DIR"
for name in inv.out opamp.out bandgap.dat ring_osc.out notes.txt; do
  cp "$(dirname "$0")/../examples/inv.out" "$HOME/sim/$name"
done
unset WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE

Xvfb -displayfd 3 -screen 0 1100x700x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

(cd "$HOME/sim" && exec "$opjoin" --dialog=gui) &
pids+=($!)
window=$(timeout 30 xdotool search --sync --onlyvisible --name "^Load SmartSpice Log File\$")
xdotool windowactivate --sync "$window"
xdotool type --delay 20 "inv.out"
xdotool key Tab  # closes the completion list, which would hide the file types
sleep 1
# The dialog's frame stands out against the empty black screen; cut the screen down to it.
import -window root "$work/screen.png"
convert "$work/screen.png" -trim +repage "$output"
xdotool key Escape
echo "wrote $output"
