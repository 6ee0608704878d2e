#!/usr/bin/env bash
# Builds the fuzz targets (the model readers, the texture loader's image path) with clang (libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer) into build-fuzz and runs each for a bounded time, starting
# from the seed corpus under tests/fuzz/corpus. Fails on any finding: a crash, a sanitizer report, a leak,
# a difference from the literal reference, or an image input making the decoder reserve more than a valid
# image of its size can need.
#
#   tools/fuzz.sh [seconds per target]      default 60, or FUZZ_SECONDS
# New inputs go to build-fuzz/corpus; findings to build-fuzz/findings.
set -euo pipefail

seconds="${1:-${FUZZ_SECONDS:-60}}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
targets=(material_library model reader_differential image)

cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIEWER_BUILD_FUZZERS=ON -DVIEWER_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"

mkdir -p "$build/findings"

# fuzz_one TARGET: one target for the time given, from its seeds; non-zero on a finding.
fuzz_one() {
  local target="$1" seeds="$root/tests/fuzz/corpus/$1" corpus="$build/corpus/$1"
  [ -d "$seeds" ] || seeds="$root/tests/fuzz/corpus/model"
  mkdir -p "$corpus"
  # A valid image of 2 KB needs at most about 70 MB (a 1-bit PNG at deflate's greatest ratio, 1032 to 1,
  # decoded to RGBA); a header declaring 16384 x 16384 on a few bytes makes stb reserve up to a gigabyte.
  local limits=(-max_len=4096)
  [ "$target" = image ] && limits=(-max_len=2048 -malloc_limit_mb=128 -rss_limit_mb=1024)
  "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" "${limits[@]}" -timeout=10 \
    -artifact_prefix="$build/findings/$target-" -print_final_stats=1 "$corpus" "$seeds"
}

# The targets run side by side, one per core; each one's output is shown once it ends.
jobs="$(nproc)"
status=0
running=()
finish_oldest() {
  local target="${running[0]}"
  running=("${running[@]:1}")
  if ! wait "${pids[$target]}"; then
    echo "fuzz: $target found a fault; the input is in $build/findings" >&2
    status=1
  fi
  tail -n 30 "$build/fuzz-$target.log" >&2
}
declare -A pids
for target in "${targets[@]}"; do
  [ "${#running[@]}" -lt "$jobs" ] || finish_oldest
  echo "fuzz: $target for ${seconds}s" >&2
  fuzz_one "$target" >"$build/fuzz-$target.log" 2>&1 &
  pids[$target]=$!
  running+=("$target")
done
while [ "${#running[@]}" -gt 0 ]; do finish_oldest; done
exit $status
