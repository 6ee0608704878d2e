#!/usr/bin/env bash
# Builds and runs the benchmarks (under a private Xvfb when there is no display), each printing its
# figures and its ratios against the reference it measures in the same run. Arguments name benchmarks to
# run (d3d11_overhead d3dx_compile model_loading_bench startup viewer_fps); none runs them all.
# Benchmarks are measurements, not tests: nothing here fails on a missed goal.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
tools/install-deps.sh
all=(d3d11_overhead d3dx_compile model_loading_bench startup viewer_fps)
selected=("${@:-${all[@]}}")
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target viewer "${selected[@]}"
for name in "${selected[@]}"; do
  binary=$(find build/bench -type f -name "$name" -perm -u+x | head -n 1)
  echo "=== $name"
  tools/with-xvfb.sh "$binary"
done
