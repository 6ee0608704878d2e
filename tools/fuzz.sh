#!/usr/bin/env bash
# Builds the readers' fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# into build-fuzz and runs each for a bounded time, starting from the seed corpus under tests/fuzz/corpus.
# Fails on any finding: a crash, a sanitizer report, a leak, or a difference from the literal reference.
#
#   tools/fuzz.sh [seconds per target]      default 60, or FUZZ_SECONDS
# New inputs go to build-fuzz/corpus; findings to build-fuzz/findings.
set -euo pipefail

seconds="${1:-${FUZZ_SECONDS:-60}}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
targets=(material_library model reader_differential)

cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIEWER_BUILD_FUZZERS=ON -DVIEWER_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"

mkdir -p "$build/findings"
status=0
for target in "${targets[@]}"; do
  seeds="$root/tests/fuzz/corpus/$target"
  [ -d "$seeds" ] || seeds="$root/tests/fuzz/corpus/model"
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  echo "fuzz: $target for ${seconds}s" >&2
  if ! "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
      -artifact_prefix="$build/findings/$target-" -print_final_stats=1 "$corpus" "$seeds"; then
    echo "fuzz: $target found a fault; the input is in $build/findings" >&2
    status=1
  fi
done
exit $status
