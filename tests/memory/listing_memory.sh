#!/usr/bin/env bash
# Shows how much memory a listing needs for its table: for dense logs (the listing is nearly the
# whole log) of growing size it prints the table's size, opjoin's peak resident memory, and the
# least address space (`ulimit -v`) in which opjoin still writes the table, with its ratio to
# the table. The rows grow by a quarter at a time, so the ratio stays within about 1.5.
#
#   tests/memory/listing_memory.sh [BLOCKS...]     # default: 40000 80000 200000 (8 columns)
#
# Builds a release opjoin and make_log into build-memory/. The logs, up to about 0.5 GB, are
# made one at a time in a temporary folder and removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/../.."
blocks=("$@")
((${#blocks[@]} > 0)) || blocks=(40000 80000 200000)

cmake -S . -B build-memory -DCMAKE_BUILD_TYPE=Release -DOPJOIN_TESTS=OFF -DOPJOIN_BENCH=ON \
  -DOPJOIN_GUI=OFF >/dev/null
cmake --build build-memory -j"$(nproc)" --target opjoin make_log time_run >/dev/null
opjoin=$PWD/build-memory/front/opjoin
make_log=$PWD/build-memory/bench/make_log
time_run=$PWD/build-memory/bench/time_run

work=$(mktemp -d "${TMPDIR:-/tmp}/opjoin-listing-memory-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# The least address space, in MiB to within 2, in which opjoin joins log.out.
least_address_space() {
  local low=1 high=4096 middle
  while ((high - low > 2)); do
    middle=$(((low + high) / 2))
    if (ulimit -v $((middle * 1024)) && "$opjoin" log.out >/dev/null 2>&1); then
      high=$middle
    else
      low=$middle
    fi
  done
  echo "$high"
}

printf '%8s %10s %13s %18s %6s\n' blocks table-MiB peak-RSS-MiB address-space-MiB ratio
for count in "${blocks[@]}"; do
  "$make_log" --blocks "$count" --columns 8 log.out
  "$opjoin" log.out
  table_mib=$(awk -v bytes="$(stat -c %s log.jtb)" 'BEGIN { printf "%.1f", bytes / 1048576 }')
  read -r _ _ rss_kib < <("$time_run" "$opjoin" log.out 2>&1 >/dev/null | tail -n 1)
  space=$(least_address_space)
  printf '%8s %10s %13s %18s %6s\n' "$count" "$table_mib" $(((rss_kib + 1023) / 1024)) "$space" \
    "$(awk -v a="$space" -v t="$table_mib" 'BEGIN { printf "%.2f", a / t }')"
  rm -f log.out log.jtb
done
