#!/usr/bin/env bash
# Cross-compiles viewer.exe (tools/build-windows.sh) and packs it with Fog.hlsl and the data files into
# build-windows/viewer-windows.zip (or DIR/viewer-windows.zip for a build directory DIR given as $1): one
# folder, viewer-windows/, which is the working directory the program expects to be started in.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-windows}"
"$root/tools/install-deps.sh"
"$root/tools/build-windows.sh" "$build"
cmake --build "$build" --target viewer_package
echo "packed $build/viewer-windows.zip:"
cmake -E tar tf "$build/viewer-windows.zip"
