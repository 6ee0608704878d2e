#!/usr/bin/env bash
# Cross-compiles viewer.exe for 64-bit Windows with MinGW-w64 against the real SDK headers and import
# libraries, into build-windows/ (or the directory given as $1). Fails when the cross build fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-windows}"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j"${JOBS:-2}" --target viewer
test -f "$build/viewer.exe"
echo "built $build/viewer.exe"
