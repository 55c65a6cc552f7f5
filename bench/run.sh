#!/usr/bin/env bash
# Measures opjoin against the cheapest pass over the same log (wc -l) and against the same join
# written in awk (bench/join.awk under mawk and gawk), and prints a table of medians, ratios
# and peak memory. Every command runs on the same file, from the page cache.
#
#   bench/run.sh [--size SIZE] [--runs N] [--dir DIR] [--build DIR] [--skip-awk] [--micro]
#
#   --size SIZE   the large log's size, e.g. 64M or 1G (default 1G)
#   --runs N      timed runs of each command (default 5); the table shows their median
#   --dir DIR     where the generated logs go (default: a new folder in $TMPDIR or /tmp);
#                 everything made there is removed at the end
#   --build DIR   the Release build folder (default: build-bench in the repository)
#   --skip-awk    leave out the awk runs on the large log (they take longest)
#   --micro       also run the scanner's Google Benchmark, when it was built
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
size=1G
runs=5
parent=${TMPDIR:-/tmp}
build=$repo/build-bench
skip_awk=no
micro=no

usage() {
  sed -n '/^#   bench/,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
  exit 2
}

while [ $# -gt 0 ]; do
  case $1 in
    --size) size=${2:?}; shift 2 ;;
    --runs) runs=${2:?}; shift 2 ;;
    --dir) parent=${2:?}; shift 2 ;;
    --build) build=${2:?}; shift 2 ;;
    --skip-awk) skip_awk=yes; shift ;;
    --micro) micro=yes; shift ;;
    *) usage ;;
  esac
done
[[ $runs =~ ^[1-9][0-9]*$ ]] || usage

say() { printf '%s\n' "$*" >&2; }
fail() { say "run.sh: $*"; exit 1; }

# ---- Tools and build ----

if [ -x "$repo/scripts/install-deps.sh" ]; then
  "$repo/scripts/install-deps.sh"
fi
for tool in cmake wc mawk gawk; do
  command -v "$tool" >/dev/null || fail "$tool is needed"
done

say "== building in $build (Release)"
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DOPJOIN_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target opjoin make_log time_run >/dev/null
if [ "$micro" = yes ]; then
  # There is no such target when Google Benchmark was not found; the end of the run says so.
  cmake --build "$build" -j"$(nproc)" --target scanner_bench >/dev/null 2>&1 || true
fi
opjoin=$build/front/opjoin
make_log=$build/bench/make_log
time_run=$build/bench/time_run
join_awk=$repo/bench/join.awk

mkdir -p "$parent"
work=$(mktemp -d "$parent/opjoin-bench-XXXXXX")
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
trap 'exit 130' INT TERM

export LC_ALL=C  # byte semantics for awk and wc, as opjoin has

# ---- The awk join gives opjoin's table ----

# Checks that opjoin, mawk and gawk write the same table for the log $1.
check_same_table() {
  local log=$1 name
  name=$(basename "${log%.*}")
  "$opjoin" "$log" >/dev/null || fail "opjoin failed on $log"
  for awk in mawk gawk; do
    "$awk" -f "$join_awk" "$log" >"$work/$name.$awk.jtb" || fail "$awk failed on $log"
    cmp -s "${log%.*}.jtb" "$work/$name.$awk.jtb" ||
      fail "$awk gives another table than opjoin for $log"
  done
}

say "== checking that join.awk gives opjoin's table"
if [ -f "$repo/examples/inv.out" ]; then
  cp "$repo/examples/inv.out" "$work/sample.out"
  check_same_table "$work/sample.out"
fi
"$make_log" --size 2M --where middle --blocks 7 --columns 5 "$work/middle.out"
check_same_table "$work/middle.out"
"$make_log" --size 2M --where start --blocks 3 --crlf --no-total "$work/crlf.out"
check_same_table "$work/crlf.out"
rm -f "$work"/*.out "$work"/*.jtb

# ---- Timing ----

# Runs a command once; sets $wall and $cpu (seconds: wall-clock, and user plus system) and
# $peak (KiB of peak resident memory).
measure() {
  local result
  "$time_run" "$@" >/dev/null 2>"$work/stderr" ||
    fail "failed: $* ($(head -c 300 "$work/stderr"))"
  result=$(tail -n 1 "$work/stderr")
  read -r wall cpu peak <<<"$result"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Times each command of the arrays labels/commands $runs times, round by round so that all see
# the same machine, after a warm-up round that is not counted. Fills medians (wall), cpus
# (CPU time) and peaks (the largest peak memory seen).
declare -a labels commands medians cpus peaks
time_commands() {
  local i round
  local -a walls cpu_times
  for ((i = 0; i < ${#commands[@]}; i++)); do
    walls[i]=""
    cpu_times[i]=""
    peaks[i]=0
  done
  for ((round = 0; round <= runs; round++)); do
    for ((i = 0; i < ${#commands[@]}; i++)); do
      # shellcheck disable=SC2086  # each command is a word list on purpose
      measure ${commands[i]}
      ((peak > peaks[i])) && peaks[i]=$peak
      if ((round > 0)); then
        walls[i]+="$wall"$'\n'
        cpu_times[i]+="$cpu"$'\n'
      fi
    done
  done
  for ((i = 0; i < ${#commands[@]}; i++)); do
    medians[i]=$(printf '%s' "${walls[i]}" | median)
    cpus[i]=$(printf '%s' "${cpu_times[i]}" | median)
  done
}

# Prints one table row: label, wall and CPU medians with their ratios to the base row's,
# peak memory.
row() {
  awk -v l="$1" -v m="$2" -v c="$3" -v bm="$4" -v bc="$5" -v p="$6" 'BEGIN {
    printf "| %-34s | %8.3f | %7.2f | %8.3f | %7.2f | %8.1f |\n", l, m, m / bm, c, c / bc, p / 1024 }'
}

table_head() {
  printf '| %-34s | %8s | %7s | %8s | %7s | %8s |\n' "command" "wall s" "ratio" "CPU s" "ratio" \
    "peak MiB"
  printf '|%s|----------|---------|----------|---------|----------|\n' \
    "$(printf -- '-%.0s' {1..36})"
}

model=$(lscpu 2>/dev/null | sed -n 's/^Model name: *//p' | head -n 1)
echo
echo "Machine: ${model:-unknown CPU}, $(nproc) cores, $(uname -sr)"
if commit=$(git -C "$repo" rev-parse --short HEAD 2>/dev/null); then
  echo "opjoin at commit $commit"
fi
echo "Tools: $(wc --version | head -n 1), $(mawk -W version 2>&1 | head -n 1 | cut -d' ' -f1-3)," \
  "$(gawk --version | head -n 1 | cut -d, -f1)"
echo "Times are medians of $runs runs from the page cache, after a warm-up run; CPU is user plus"
echo "system time; ratios are to wc -l on the same log; peak memory is the largest of all runs."

log=$work/large.out
say "== writing a $size log with the listing at its end"
"$make_log" --size "$size" --where end --blocks 4 --columns 8 "$log"
cat "$log" >/dev/null  # into the page cache
bytes=$(stat -c %s "$log")
lines=$(wc -l <"$log")

labels=("opjoin LOG" "wc -l LOG" "opjoin --version (start-up only)")
commands=("$opjoin $log" "wc -l $log" "$opjoin --version")
if [ "$skip_awk" = no ]; then
  labels+=("mawk -f bench/join.awk LOG" "gawk -f bench/join.awk LOG")
  commands+=("mawk -f $join_awk $log" "gawk -f $join_awk $log")
fi
say "== timing on the large log"
time_commands
echo
echo "Log of $bytes bytes ($lines lines), 4 blocks of 8 transistors at its end:"
echo
table_head
for ((i = 0; i < ${#labels[@]}; i++)); do
  row "${labels[i]}" "${medians[i]}" "${cpus[i]}" "${medians[1]}" "${cpus[1]}" "${peaks[i]}"
done

echo
awk -v o="${medians[0]}" -v w="${medians[1]}" -v p="${peaks[0]}" 'BEGIN {
  printf "opjoin takes %.2f times as long as wc -l; peak memory %.1f MiB.\n", o / w, p / 1024 }'
if [ "$skip_awk" = no ]; then
  awk -v o="${medians[0]}" -v m="${medians[3]}" -v g="${medians[4]}" 'BEGIN {
    fastest = m < g ? m : g
    printf "opjoin is %.1f times as fast as the faster awk.\n", fastest / o }'
fi
if [ "$skip_awk" = no ]; then
  mawk -f "$join_awk" "$log" | cmp -s - "${log%.*}.jtb" ||
    fail "mawk gives another table than opjoin for the large log"
  echo "mawk gives opjoin's table on this log too."
fi
rm -f "$log" "${log%.*}.jtb"

# HSPICE and ngspice logs of the same size, their listing at the end. Automatic reading takes
# two passes on them (the SmartSpice rules find no complete block first), --layout one.
for layout in hspice ngspice; do
  log=$work/large-$layout.lis
  say "== writing a $size $layout log with the listing at its end"
  "$make_log" --size "$size" --where end --blocks 4 --columns 8 --layout "$layout" "$log"
  cat "$log" >/dev/null
  bytes=$(stat -c %s "$log")
  labels=("opjoin --layout=$layout LOG" "opjoin LOG (auto)" "wc -l LOG")
  commands=("$opjoin --layout=$layout $log" "$opjoin $log" "wc -l $log")
  say "== timing on the $layout log"
  time_commands
  echo
  echo "$layout log of $bytes bytes, 4 blocks of 8 transistors at its end:"
  echo
  table_head
  for ((i = 0; i < ${#labels[@]}; i++)); do
    row "${labels[i]}" "${medians[i]}" "${cpus[i]}" "${medians[2]}" "${cpus[2]}" "${peaks[i]}"
  done
  awk -v o="${medians[0]}" -v b="$bytes" 'BEGIN {
    printf "\nopjoin --layout reads %.1f GB/s.\n", b / o / 1e9 }'
  rm -f "$log" "${log%.*}.jtb"
done

# Scale: the listing itself grows. Each pair shows whether time grows linearly.
scale_case() {
  local title=$1 small_args=$2 large_args=$3 small_label=$4 large_label=$5
  # shellcheck disable=SC2086
  "$make_log" --size 0 --where start $small_args "$work/small.out"
  # shellcheck disable=SC2086
  "$make_log" --size 0 --where start $large_args "$work/large.out"
  cat "$work/small.out" "$work/large.out" >/dev/null
  labels=("opjoin, $small_label" "wc -l, $small_label" "opjoin, $large_label"
    "wc -l, $large_label")
  commands=("$opjoin $work/small.out" "wc -l $work/small.out" "$opjoin $work/large.out"
    "wc -l $work/large.out")
  say "== timing: $title"
  time_commands
  echo
  echo "$title ($(stat -c %s "$work/small.out") and $(stat -c %s "$work/large.out") bytes):"
  echo
  table_head
  local i base
  for ((i = 0; i < ${#labels[@]}; i++)); do
    base=1  # the wc -l of the same log
    ((i >= 2)) && base=3
    row "${labels[i]}" "${medians[i]}" "${cpus[i]}" "${medians[base]}" "${cpus[base]}" \
      "${peaks[i]}"
  done
  awk -v s="${medians[0]}" -v l="${medians[2]}" -v cs="${cpus[0]}" -v cl="${cpus[2]}" 'BEGIN {
    printf "\nFor ten times the listing opjoin takes %.1f times as long", l / s
    printf " (%.1f times the CPU time).\n", cl / cs }'
  rm -f "$work"/*.out "$work"/*.jtb
}

scale_case "A listing of 1,000 versus 10,000 blocks (8 transistors each)" \
  "--blocks 1000" "--blocks 10000" "1,000 blocks" "10,000 blocks"
scale_case "One block 5,000 versus 50,000 transistors wide" \
  "--blocks 1 --columns 5000" "--blocks 1 --columns 50000" "5,000 wide" "50,000 wide"

if [ "$micro" = yes ]; then
  if [ -x "$build/bench/scanner_bench" ]; then
    echo
    echo "Scanner alone, on logs in memory (Google Benchmark):"
    echo
    "$build/bench/scanner_bench" --benchmark_min_time=0.5
  else
    echo
    echo "Google Benchmark was not found, so the scanner benchmark was not built."
  fi
fi
