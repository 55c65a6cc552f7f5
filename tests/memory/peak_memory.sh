#!/usr/bin/env bash
# Shows that opjoin's memory stays flat however large the log: it runs opjoin on logs of 1 MiB
# to 1 GiB that hold the same listing (examples/inv.out) behind or among filler lines, and on a
# single 1 GiB line, a million short lines, NUL bytes and random bytes. For each it prints the
# exit status, the peak resident memory (GNU time's maximum RSS) and the time, checks the table
# against examples/inv.jtb, and fails when a run ends by a signal, gives a wrong table or
# peaks above MAX_RSS_MIB (default 64).
#
#   tests/memory/peak_memory.sh [OPJOIN]
#
# Without OPJOIN it builds a release binary into build-memory/, as shipped. The logs are made one at a time
# in a temporary folder (at most about 1 GiB at once) and removed afterwards.
set -eu  # not pipefail: the generators end their `yes` early on purpose
cd "$(dirname "$0")/../.."
root=$PWD
max_rss_mib=${MAX_RSS_MIB:-64}

if (($# > 0)); then
  opjoin=$(realpath "$1")
else
  cmake -S . -B build-memory -DCMAKE_BUILD_TYPE=Release -DOPJOIN_TESTS=OFF -DOPJOIN_BENCH=OFF \
    >/dev/null
  cmake --build build-memory -j"$(nproc)" --target opjoin >/dev/null
  opjoin=$root/build-memory/front/opjoin
fi
[[ -x /usr/bin/time ]] || { echo "needs GNU time (/usr/bin/time)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/opjoin-memory-XXXXXX")
trap 'rm -rf "$work"' EXIT
log=$work/log.out
table=$work/log.jtb
sample=$root/examples/inv.out
expected=$root/examples/inv.jtb

# Filler lines of a simulation log, `bytes` of them, on standard output.
filler() {
  yes ' 1.2340e-03  5.6780e-01  9.0120e+00  progress: time step accepted, newton iterations 3' |
    head -c "$1" | sed '$d'
}

# The sample's lines up to its "subckt" line, filler, then the rest: filler inside the listing.
filler_inside() {
  sed -n '1,/^subckt/p' "$sample"
  filler "$1"
  sed '1,/^subckt/d' "$sample"
}

failures=0
printf '%-28s %10s %6s %12s %9s\n' case log-MiB status max-RSS-MiB seconds
# Runs opjoin on $log; `want` is "table" when the sample's table must result, else the status.
measure() {
  local name=$1 want=$2 status=0
  rm -f "$table"
  /usr/bin/time -f '%M %e' -o "$work/time" "$opjoin" "$log" >"$work/out" 2>"$work/err" ||
    status=$?
  local rss_kib seconds
  read -r rss_kib seconds < <(tail -n 1 "$work/time")
  local size_mib
  size_mib=$(awk -v bytes="$(stat -c %s "$log")" 'BEGIN { printf "%.1f", bytes / 1048576 }')
  local rss_mib=$(((rss_kib + 1023) / 1024))
  printf '%-28s %10s %6s %12s %9s\n' "$name" "$size_mib" "$status" "$rss_mib" "$seconds"
  if [[ $want == table ]]; then
    if ((status != 0)) || ! cmp -s "$table" "$expected"; then
      echo "  wrong: expected the sample's table; $(cat "$work/out" "$work/err")" >&2
      failures=$((failures + 1))
    fi
  elif ((status != want)); then
    echo "  wrong: expected status $want; $(cat "$work/out" "$work/err")" >&2
    failures=$((failures + 1))
  fi
  if ((rss_mib > max_rss_mib)); then
    echo "  too much memory: above $max_rss_mib MiB" >&2
    failures=$((failures + 1))
  fi
  rm -f "$log" "$table"
}

for mib in 1 16 256 1024; do
  { filler $((mib * 1048576 - $(stat -c %s "$sample") + 100)); cat "$sample"; } >"$log"
  measure "filler before, ${mib} MiB" table
done
filler_inside $((1024 * 1048576)) >"$log"
measure "filler inside, 1 GiB" table

{ head -c 1G /dev/zero | tr '\0' 'x'; echo; cat "$sample"; } >"$log"
measure "one 1 GiB line" table
{ yes x | head -n 1000000; cat "$sample"; } >"$log"
measure "a million short lines" table
{ head -c 256M /dev/zero; echo; cat "$sample"; } >"$log"
measure "256 MiB of NUL bytes" table
head -c 256M /dev/urandom >"$log"
measure "256 MiB of random bytes" 2
{ cat "$sample"; head -c 1G /dev/zero | tr '\0' 'x'; } >"$log"
measure "1 GiB after the listing" table

if ((failures > 0)); then
  echo "$failures problem(s)" >&2
  exit 1
fi
