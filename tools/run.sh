#!/usr/bin/env bash
# Builds the viewer and runs it from build/data, the folder with its data files.
# With a working display the viewer runs as usual until Escape or the close button. Without one it runs
# under a private Xvfb: after a few seconds a screenshot is saved (its path is printed), Escape is sent,
# and the script exits with the viewer's status.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target viewer

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  cd build/data
  exec ../viewer
fi
exec tools/with-xvfb.sh tools/screenshot-run.sh build/viewer build/data "$root/build/screenshot.png"
