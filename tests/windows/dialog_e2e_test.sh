#!/bin/bash
# End-to-end tests of the Windows Open dialog: opjoin.exe under wine shows the system's common
# dialog in a real X server, and xdotool types into it as a user would. Run by
# scripts/test-windows.sh, which starts Xvfb and sets DISPLAY and wine's environment.
#
# Usage: dialog_e2e_test.sh OPJOIN_EXE [SCREENSHOT.png]
#   With SCREENSHOT, the dialog as it first shows is saved there (needs ImageMagick's import).
set -euo pipefail

exe=$(realpath "$1")
readonly screenshot=${2:-}
examples=$(cd "$(dirname "$0")/../../examples" && pwd)
readonly exe examples
readonly title="Load SmartSpice Log File"
# shellcheck source=tests/windows/cases.sh
source "$(dirname "$0")/cases.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/opjoin-wine-dialog-XXXXXX")
opjoin_pid=""
cleanup() {
  [[ -n $opjoin_pid ]] && kill "$opjoin_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Waits until `count` windows with the dialog's title are shown; prints the newest one's id.
wait_for_windows() {
  local count=$1 ids
  for _ in $(seq 300); do
    ids=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null || true)
    if [[ $(printf '%s' "$ids" | grep -c .) -ge $count ]]; then
      printf '%s\n' "$ids" | tail -n 1
      return 0
    fi
    kill -0 "$opjoin_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Starts opjoin.exe with no log in a fresh folder named NAME, and waits for its dialog. The
# dialog may open in the folder it last showed rather than the working folder (Windows does so
# too when no first folder is given), so names are typed with their full paths.
start() {
  case_dir=$work/$1
  mkdir -p "$case_dir"
  cp "$examples/inv.out" "$case_dir/"
  (cd "$case_dir" && exec wine "$exe") >"$work/out" 2>"$work/err" &
  opjoin_pid=$!
  if ! dialog=$(wait_for_windows 1); then
    check "$1: the dialog appears" "no window titled '$title'; output: $(cat "$work/out" "$work/err")"
    return 1
  fi
  xdotool windowactivate --sync "$dialog" 2>/dev/null || xdotool windowfocus --sync "$dialog"
  sleep 0.5  # the file name box takes the keyboard once the dialog has settled
}

# Waits for opjoin.exe to end; leaves its exit status in $status.
finish() {
  status=timeout
  for _ in $(seq 200); do
    if ! kill -0 "$opjoin_pid" 2>/dev/null; then
      status=0
      wait "$opjoin_pid" || status=$?
      opjoin_pid=""
      return
    fi
    sleep 0.1
  done
  kill "$opjoin_pid" 2>/dev/null
  wait "$opjoin_pid" 2>/dev/null || true
  opjoin_pid=""
}

# Standard error without wine's own notes about the machine.
program_errors() {
  grep -v '^wine: ' "$work/err" || true
}

expected_table=$(sed 's/$/\r/' "$examples/inv.jtb")

if start choose; then
  [[ -z $screenshot ]] || import -window root "$screenshot"
  xdotool type --delay 20 "$(windows_path "$case_dir/inv.out")"
  xdotool key Return
  finish
  problems=()
  [[ $status == 0 ]] || problems+=("exit status $status")
  [[ ! -s $work/out ]] || problems+=("standard output: $(cat "$work/out")")
  # After a pick in a dialog, opjoin says which table it wrote.
  [[ $(program_errors) == "opjoin: wrote $(windows_path "$case_dir/inv.jtb")"$'\r' ]] ||
    problems+=("standard error: $(program_errors)")
  cmp -s <(printf '%s\n' "$expected_table") "$case_dir/inv.jtb" ||
    problems+=("inv.jtb is missing or not the sample's table")
  check "typing a full Z:\\ path and Enter joins that log" "${problems[@]}"
fi

if start cancel; then
  xdotool key Escape
  finish
  problems=()
  [[ $status == 0 ]] || problems+=("exit status $status")
  [[ ! -s $work/out && -z $(program_errors) ]] || problems+=("printed: $(cat "$work/out" "$work/err")")
  [[ $(ls "$case_dir") == inv.out ]] || problems+=("files made: $(ls "$case_dir")")
  check "Escape cancels with exit 0 and nothing made" "${problems[@]}"
fi

# Wine's dialog adds the default extension when "All Files" is the file type; with the first
# type it tries that type's own extensions instead (see the README).
if start default-extension; then
  mv "$case_dir/inv.out" "$case_dir/run.dat"
  xdotool key alt+t
  sleep 0.3
  xdotool key Down
  sleep 0.3
  xdotool key alt+n
  sleep 0.3
  xdotool type --delay 20 "$(windows_path "$case_dir/run")"
  xdotool key Return
  finish
  problems=()
  [[ $status == 0 ]] || problems+=("exit status $status, output: $(cat "$work/out")")
  [[ -f $case_dir/run.jtb ]] || problems+=("run.jtb was not written: run.dat was not chosen")
  check "a typed name without an extension gets .dat" "${problems[@]}"
fi

if start create; then
  xdotool type --delay 20 "$(windows_path "$case_dir/new.out")"
  xdotool key Return
  problems=()
  if question=$(wait_for_windows 2); then
    xdotool windowactivate --sync "$question" 2>/dev/null || true
    xdotool key Return  # "Yes"
    finish
    [[ $status == 2 ]] || problems+=("exit status $status")
    expected="Failure opening file: $(windows_path "$case_dir/new.out"). Quits."
    printf '%s' "$expected" | cmp -s - "$work/out" || problems+=("standard output: $(cat "$work/out")")
    [[ ! -e $case_dir/new.out ]] || problems+=("the dialog created new.out")
  else
    problems+=("no question whether to create new.out")
  fi
  check "a missing file brings the create question; yes returns its name" "${problems[@]}"
fi

# Started with a console of its own, as from Explorer (here with "start", which makes one), the
# program waits for Enter after its work, so that its console stays open to be read. Nothing
# here can type into that console, so the test sees it waiting and then ends the wine session
# of this test's own prefix.
case_dir=$work/own-console
mkdir -p "$case_dir"
cp "$examples/inv.out" "$case_dir/"
wine start /wait /unix "$exe" "$(windows_path "$case_dir/inv.out")" >"$work/out" 2>"$work/err" &
opjoin_pid=$!
for _ in $(seq 300); do
  [[ -f $case_dir/inv.jtb ]] && break
  sleep 0.1
done
problems=()
[[ -f $case_dir/inv.jtb ]] || problems+=("inv.jtb was not written")
sleep 2
kill -0 "$opjoin_pid" 2>/dev/null || problems+=("it ended without waiting for Enter")
wineserver -k 2>/dev/null || true
wait "$opjoin_pid" 2>/dev/null || true
opjoin_pid=""
check "with a console of its own it waits for Enter after its work" "${problems[@]}"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
