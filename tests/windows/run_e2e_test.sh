#!/bin/bash
# End-to-end tests of opjoin.exe under wine: every outcome of a run with its exact messages,
# CR LF line ends and table bytes, names outside any code page, a read-only table, a log that
# is a folder, and the terminal dialog fed from a pipe. Run by scripts/test-windows.sh, which
# sets up wine (WINEPREFIX, LANG=C.UTF-8, WINEDEBUG=-all).
#
# Usage: run_e2e_test.sh OPJOIN_EXE
set -euo pipefail

exe=$(realpath "$1")
examples=$(cd "$(dirname "$0")/../../examples" && pwd)
readonly exe examples
# shellcheck source=tests/windows/cases.sh
source "$(dirname "$0")/cases.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/opjoin-wine-XXXXXX")
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT

# Adds CR before every LF, as the Windows build writes text.
crlf() {
  sed 's/$/\r/'
}

# run ARGS...: runs opjoin.exe in $case_dir with standard input from $input (if set),
# leaving its output in $case_dir/.out, .err and .status.
run() {
  local status=0
  (cd "$case_dir" && wine "$exe" "$@" <"${input:-/dev/null}" >"$case_dir/.out" 2>"$case_dir/.err") ||
    status=$?
  echo "$status" >"$case_dir/.status"
}

# expect NAME STATUS STDOUT [STDERR]: checks the last run; STDERR is matched as a pattern
# when given, else standard error must be empty.
expect() {
  local name=$1 status=$2 out=$3 err_pattern=${4:-}
  local problems=()
  [[ $(cat "$case_dir/.status") == "$status" ]] ||
    problems+=("exit status $(cat "$case_dir/.status"), expected $status")
  printf '%s' "$out" | cmp -s - "$case_dir/.out" ||
    problems+=("standard output was $(od -c "$case_dir/.out" | head -5)")
  if [[ -n $err_pattern ]]; then
    grep -q -- "$err_pattern" "$case_dir/.err" ||
      problems+=("standard error lacks '$err_pattern': $(cat "$case_dir/.err")")
  elif [[ -s $case_dir/.err ]]; then
    problems+=("standard error was: $(cat "$case_dir/.err")")
  fi
  check "$name" "${problems[@]}"
}

new_case() {
  case_dir=$work/$1
  mkdir -p "$case_dir"
  input=""
}

# A log whose listing has one block of the sixteen rows but for the last, so no block is
# complete.
incomplete_log() {
  printf 'subckt\nelement   0:m1\nmodel     0:nch\n'
}

expected_table=$(crlf <"$examples/inv.jtb")

new_case joins
cp "$examples/inv.out" "$case_dir/"
run inv.out
expect "the sample log gives its table with CR LF lines" 0 ""
cmp -s <(printf '%s\n' "$expected_table") "$case_dir/inv.jtb" ||
  check "table bytes" "inv.jtb is not examples/inv.jtb with CR LF lines"

new_case crlf-log
crlf <"$examples/inv.out" >"$case_dir/inv.out"
run "$(windows_path "$case_dir/inv.out")"
expect "a CR LF log named by its full Windows path" 0 ""
cmp -s <(printf '%s\n' "$expected_table") "$case_dir/inv.jtb" ||
  check "CR LF log's table" "inv.jtb differs from the LF log's table"

new_case unicode
mkdir "$case_dir/αβ 漢"
cp "$examples/inv.out" "$case_dir/αβ 漢/ж.out"
run "αβ 漢\\ж.out"
expect "a log in a folder named outside any code page" 0 ""
[[ -f $case_dir/αβ\ 漢/ж.jtb ]] || check "non-ASCII table" "ж.jtb was not written"
run "αβ 漢\\nothing.out"
expect "a missing non-ASCII log is named in UTF-8" 2 \
  "Failure opening file: $(windows_path "$case_dir/αβ 漢/nothing.out"). Quits." \
  "^opjoin: .*αβ 漢.nothing.out: "

new_case missing
run nothing.out
expect "a missing log" 2 "Failure opening file: $(windows_path "$case_dir/nothing.out"). Quits." \
  "^opjoin: .*nothing.out: "

new_case folder
mkdir "$case_dir/sim.out"
run sim.out
expect "a log that is a folder" 2 "Failure opening file: $(windows_path "$case_dir/sim.out"). Quits." \
  "^opjoin: .*sim.out: Is a directory"$'\r'

new_case device
for device in NUL CON; do
  run "$device"
  expect "a log that is a device ($device)" 2 \
    "Failure opening file: $(windows_path "$case_dir/$device"). Quits." "^opjoin: .*$device: "
done

new_case no-delimiter
printf 'no listing here\n' >"$case_dir/inv.out"
run inv.out
expect "no start delimiter" 2 $'\r\nFailed to find start delimiter. Probably bad input file!\r\n'

new_case no-block
incomplete_log >"$case_dir/inv.out"
run inv.out
expect "no complete block" 2 $'\r\nFailed to find a complete listing block. Probably bad input file!\r\n'
[[ ! -e $case_dir/inv.jtb ]] || check "no table without a block" "inv.jtb was written"

new_case read-only
cp "$examples/inv.out" "$case_dir/"
printf 'old table\r\n' >"$case_dir/inv.jtb"
chmod a-w "$case_dir/inv.jtb"
run inv.out
expect "a read-only table is refused" 2 \
  "Failed to write data to output file $(windows_path "$case_dir/inv.jtb") because it did not open." \
  "the file is read-only"
problems=()
[[ $(cat "$case_dir/inv.jtb") == $'old table\r' ]] || problems+=("the old table was changed")
left=$(cd "$case_dir" && find . -mindepth 1 ! -name .out ! -name .err ! -name .status | sort)
[[ $left == $'./inv.jtb\n./inv.out' ]] || problems+=("left behind: $left")
check "the read-only table and its folder are as they were" "${problems[@]}"

new_case same-as-log
cp "$examples/inv.out" "$case_dir/inv.jtb"
run inv.jtb
expect "a log named like its table" 2 \
  "Refusing to write output file $(windows_path "$case_dir/inv.jtb"): it is the log file itself."$'\r\n'

# Ctrl-C while the table is written: wine hands SIGINT to the program as a console control
# event. A log of some 200 MB gives a table that takes long enough to write to catch it.
new_case interrupted
awk 'BEGIN {
  split("element model vds vgs vbs vth vdsat id gds gm gmbs cgs cgd capbd weff leff", rows, " ")
  cells = ""
  for (c = 0; c < 110; c++) cells = cells "  1.234e-03"
  print "subckt"
  for (b = 0; b < 10000; b++) {
    print ""
    for (r = 1; r <= 16; r++) printf "%-10s%s\n", rows[r], cells
  }
  print "Total elapsed time 1.0"
}' >"$case_dir/big.out"
printf 'old table\r\n' >"$case_dir/big.jtb"
(cd "$case_dir" && exec wine "$exe" big.out) >/dev/null 2>&1 &
opjoin_pid=$!
temp=""
for _ in $(seq 3000); do
  temp=$(cd "$case_dir" && find . -maxdepth 1 -name '.opjoin-*')
  [[ -n $temp ]] && break
  kill -0 "$opjoin_pid" 2>/dev/null || break
  sleep 0.005
done
problems=()
if [[ -n $temp ]]; then
  kill -INT "$opjoin_pid"
  wait "$opjoin_pid" || true
  [[ $(cat "$case_dir/big.jtb") == $'old table\r' ]] || problems+=("the old table was changed")
  left=$(cd "$case_dir" && find . -maxdepth 1 -name '.opjoin-*')
  [[ -z $left ]] || problems+=("the temporary file $left was left behind")
else
  wait "$opjoin_pid" || true
  problems+=("no temporary file was seen while the table was written")
fi
check "Ctrl-C during the write removes the temporary file and keeps the old table" "${problems[@]}"
rm -f "$case_dir"/big.*

new_case version
run --version
expect "--version" 0 $'opjoin 1.0.0\r\n'
run --bogus
expect "an unknown option" 2 "" "^opjoin: unrecognized option '--bogus'"$'\r'

new_case no-display
(unset DISPLAY && run --dialog=gui)
expect "no display for the Open dialog" 1 "" "^Fatal Error: MFC initialization failed"$'\r'
[[ $(cat "$case_dir/.err") == $'opjoin: no window can be made: there is no desktop\r\nFatal Error: MFC initialization failed\r' ]] ||
  check "the reason, then the start-up failure, on standard error" \
    "standard error: $(od -c "$case_dir/.err")"

new_case terminal-dialog
mkdir "$case_dir/sim"
cp "$examples/inv.out" "$case_dir/sim/"
printf 'sim\r\ninv.out\r\n' >"$work/answers"
input=$work/answers run --dialog=terminal
expect "the terminal dialog from a pipe" 0 "" "Load SmartSpice Log File"
[[ -f $case_dir/sim/inv.jtb ]] || check "terminal dialog's table" "sim/inv.jtb was not written"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
