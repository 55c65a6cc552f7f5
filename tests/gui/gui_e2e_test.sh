#!/bin/bash
# End-to-end tests of the graphical Open dialog: the real opjoin binary in a real window on a
# virtual X server (Xvfb), driven with xdotool as a user at the keyboard would.
#
# Usage: gui_e2e_test.sh OPJOIN CASE
#   choose      type a log's path, press Enter: the table appears beside it with the right bytes
#   cancel      press Escape: exit 0, nothing printed, no file made
#   no-display  no display to reach: the start-up failure message and exit 1, no window
#   qt-fatal    Qt fails fatally as it starts: the start-up failure and exit 1, not an abort
# Exits 77 (skipped) when Xvfb or xdotool is missing.
set -euo pipefail

readonly opjoin=$1
readonly case_name=$2
readonly skipped=77
readonly title="Load SmartSpice Log File"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

work=$(mktemp -d "${TMPDIR:-/tmp}/opjoin-gui-XXXXXX")
xvfb_pid=""
opjoin_pid=""
cleanup() {
  [[ -n $opjoin_pid ]] && kill "$opjoin_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Qt keeps runtime files here; without it, it warns on standard error.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
# Qt's file dialog keeps its history in the user's settings: keep the test's out of $HOME.
export XDG_CONFIG_HOME=$work/config
unset WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE

if [[ $case_name == no-display ]]; then
  # A display number nobody serves: the dialog cannot start, and nothing but the start-up
  # failure may show.
  for display in :7{1..9}; do
    [[ -e /tmp/.X11-unix/X${display#:} || -e /tmp/.X${display#:}-lock ]] || break
  done
  # Each line: the environment of one start, which reaches no display in any of Qt's ways.
  environments=(
    "DISPLAY="
    "DISPLAY=$display"
    "DISPLAY=$display QT_QPA_PLATFORM=xcb"
    "DISPLAY= XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=wayland-none"
    "DISPLAY=$display QT_QPA_PLATFORM=wayland;xcb WAYLAND_DISPLAY=$work/no-socket"
  )
  for environment in "${environments[@]}"; do
    status=0
    # shellcheck disable=SC2086  # one word per variable
    (cd "$work" && env $environment "$opjoin" --dialog=gui >"$work/out" 2>"$work/err") ||
      status=$?
    [[ $status == 1 ]] || fail "$environment: exit status $status, expected 1"
    [[ ! -s $work/out ]] || fail "$environment: printed on standard output: $(cat "$work/out")"
    # The reason, then the start-up failure.
    [[ $(wc -l <"$work/err") == 2 && $(head -n 1 "$work/err") == "opjoin: "* ]] ||
      fail "$environment: standard error was: $(cat "$work/err")"
    tail -n 1 "$work/err" | cmp -s - <(printf 'Fatal Error: MFC initialization failed\n') ||
      fail "$environment: standard error was: $(cat "$work/err")"
  done
  echo "PASS: $case_name"
  exit 0
fi

command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed"; exit "$skipped"; }
command -v xdotool >/dev/null || { echo "SKIP: xdotool is not installed"; exit "$skipped"; }

# Xvfb picks a free display number and writes it once it accepts connections.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s $work/display ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  sleep 0.1
done
[[ -s $work/display ]] || fail "Xvfb gave no display number"
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY

# A log of two column blocks, and the table joined from it.
mkdir "$work/sim"
cat >"$work/sim/inv.out" <<'EOF'
SmartSpice log
subckt
element          0:m1       0:m2
model           0:nch      0:pch
vds               1.2       -1.2
vgs               0.6       -0.6
vbs               0.0        0.0
vth              0.41      -0.39
vdsat            0.15      -0.17
id             1.0e-4    -1.1e-4
gds            2.0e-6     2.1e-6
gm             5.0e-4     4.9e-4
gmbs           1.0e-4     1.1e-4
cgs           1.0e-15    1.2e-15
cgd           3.0e-16    3.1e-16
capbd         2.0e-16    2.2e-16
weff           1.0e-6     2.0e-6
leff           1.8e-7     1.8e-7

element          0:m3
model           0:nch
vds               0.3
vgs               1.2
vbs               0.0
vth              0.40
vdsat            0.52
id             2.0e-4
gds            9.0e-6
gm             6.0e-4
gmbs           1.2e-4
cgs           1.1e-15
cgd           3.2e-16
capbd         2.1e-16
weff           1.0e-6
leff           1.8e-7
Total elapsed time 0.01 s
EOF
cat >"$work/expected.jtb" <<'EOF'
element          0:m1       0:m2       0:m3
model           0:nch      0:pch      0:nch
vds               1.2       -1.2        0.3
vgs               0.6       -0.6        1.2
vbs               0.0        0.0        0.0
vth              0.41      -0.39       0.40
vdsat            0.15      -0.17       0.52
id             1.0e-4    -1.1e-4     2.0e-4
gds            2.0e-6     2.1e-6     9.0e-6
gm             5.0e-4     4.9e-4     6.0e-4
gmbs           1.0e-4     1.1e-4     1.2e-4
cgs           1.0e-15    1.2e-15    1.1e-15
cgd           3.0e-16    3.1e-16    3.2e-16
capbd         2.0e-16    2.2e-16    2.1e-16
weff           1.0e-6     2.0e-6     1.0e-6
leff           1.8e-7     1.8e-7     1.8e-7
EOF

# Starts opjoin with the window dialog in the work folder and waits for its window.
start_dialog() {
  (cd "$work" && exec "$opjoin" --dialog=gui >"$work/out" 2>"$work/err") &
  opjoin_pid=$!
  window=$(timeout 30 xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1) ||
    fail "no window titled \"$title\" appeared; standard error: $(cat "$work/err")"
  # No window manager runs here to give the window the keyboard, so give it directly.
  xdotool windowfocus --sync "$window"
}

# Waits for opjoin to end and checks that it exits with status 0, prints nothing on standard
# output, and on standard error exactly EXPECTED_ERR (default: nothing).
expect_success() {
  local expected_err=${1:-}
  local status=0
  for _ in $(seq 300); do
    kill -0 "$opjoin_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$opjoin_pid" 2>/dev/null && fail "opjoin still runs after the dialog was answered"
  wait "$opjoin_pid" || status=$?
  opjoin_pid=""
  [[ $status == 0 ]] || fail "exit status $status; standard error: $(cat "$work/err")"
  [[ ! -s $work/out ]] || fail "printed on standard output: $(cat "$work/out")"
  [[ $(cat "$work/err") == "$expected_err" ]] ||
    fail "standard error: '$(cat "$work/err")', expected '$expected_err'"
}

case $case_name in
  choose)
    start_dialog
    xdotool type --delay 15 "$work/sim/inv.out"
    xdotool key Return
    expect_success "opjoin: wrote $work/sim/inv.jtb"
    cmp "$work/expected.jtb" "$work/sim/inv.jtb" || fail "inv.jtb differs from the expected table"
    ;;
  cancel)
    start_dialog
    xdotool key Escape
    expect_success
    [[ $(ls -A "$work/sim") == inv.out ]] || fail "files appeared: $(ls -A "$work/sim")"
    ;;
  qt-fatal)
    # Qt makes its warning about XDG_RUNTIME_DIR fatal as it starts: the start-up failure
    # with Qt's message as the reason, never an abort.
    status=0
    (cd "$work" && env QT_FATAL_WARNINGS=1 XDG_RUNTIME_DIR= "$opjoin" --dialog=gui \
      >"$work/out" 2>"$work/err" </dev/null) || status=$?
    [[ $status == 1 ]] || fail "exit status $status; standard error: $(cat "$work/err")"
    [[ $(head -n 1 "$work/err") == "opjoin: QStandardPaths: XDG_RUNTIME_DIR not set"* ]] ||
      fail "standard error was: $(cat "$work/err")"
    tail -n 1 "$work/err" | cmp -s - <(printf 'Fatal Error: MFC initialization failed\n') ||
      fail "standard error was: $(cat "$work/err")"
    ;;
  *)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS: $case_name"
