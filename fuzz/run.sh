#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) into
# build-fuzz/ and runs each for its share of SECONDS (default 60): the scanner against the
# model of the line rules, the column-listing reader (HSPICE and ngspice layouts) against
# itself with other read sizes, and the table writer. Exits non-zero when a target finds a
# crash or a disagreement; the input that caused it is kept in build-fuzz/artifacts/.
#
#   fuzz/run.sh [SECONDS]
#
# The corpus grows in build-fuzz/corpus/ from run to run, seeded from fuzz/seeds/ and examples/.
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."
build="build-fuzz"

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOPJOIN_FUZZ=ON -DOPJOIN_TESTS=OFF -DOPJOIN_BENCH=OFF -DOPJOIN_GUI=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target scanner_fuzz columns_fuzz writer_fuzz

share=$((seconds / 3 > 0 ? seconds / 3 : 1))
mkdir -p "$build/artifacts"
failed=()
for target in scanner columns writer; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  seeds=(fuzz/seeds/"$target")
  options=(-max_total_time="$share" -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-")
  if [[ $target != writer ]]; then
    seeds+=(examples)
    options+=(-dict=fuzz/"$target".dict -max_len=16384)
  fi
  echo "== fuzzing the $target for $share s"
  if ! "$build/fuzz/${target}_fuzz" "${options[@]}" "$corpus" "${seeds[@]}" \
    2>"$build/$target.log"; then
    failed+=("$target")
    tail -n 60 "$build/$target.log"
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^#[0-9]+ +DONE' "$build/$target.log" || true
  echo "corpus: $(find "$corpus" -type f | wc -l) inputs"
done

if ((${#failed[@]} > 0)); then
  echo "fuzzing found a problem in: ${failed[*]} (inputs in $build/artifacts/)" >&2
  exit 1
fi
echo "fuzzing found no problem"
