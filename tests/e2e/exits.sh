#!/usr/bin/env bash
# exits.sh VIEWER DATA_DIR WM_DELETE_WINDOW_TOOL [valgrind]: the ways the viewer ends, each with status 0.
# Without a display, at once. On the display, by itself after the window manager's close request, before any
# Escape; and by Escape after a second with W held. With "valgrind" that last run is under valgrind's
# memcheck and must end without memory errors or definite leaks; valgrind.supp beside this script covers only
# reports inside Mesa, SDL and the X libraries, never the program or the layer.
set -u
# shellcheck source=tests/e2e/scene_lib.sh
source "$(dirname "$0")/scene_lib.sh"
e2e_prepare "$1" "$2"
(cd "$e2e_work/data" && DISPLAY='' timeout 60 "$e2e_viewer")
e2e_check "without a display the viewer ends with status 0" "$? == 0"
export WM_DELETE_WINDOW_TOOL="$3"
e2e_run '"$WM_DELETE_WINDOW_TOOL" "$VIEWER_WINDOW"
  for _ in $(seq 100); do kill -0 "$VIEWER_PID" 2>/dev/null || exit 0; sleep 0.1; done
  echo "the viewer did not end after the close request" >&2; exit 1' 1

logs="$e2e_work/valgrind"  # one log a process: libdbus may fork a helper
if [ "${4:-}" = valgrind ]; then
  command -v valgrind >/dev/null || e2e_fail "valgrind is not installed (tools/install-deps.sh installs it)"
  export SCREENSHOT_RUN_WRAPPER="valgrind --leak-check=full --show-leak-kinds=definite \
--errors-for-leak-kinds=definite --suppressions=$(dirname "$(realpath "$0")")/valgrind.supp \
--gen-suppressions=all --log-file=$logs.%p.log" SCREENSHOT_RUN_SLOWDOWN=30
fi
e2e_run 'e2e_hold w 1' 5
[ "${4:-}" = valgrind ] || exit 0
cat "$logs".*.log
total() {  # the sum over the logs of the number after "$1: "
  sed -nE "s/.*$1: ([0-9,]+).*/\1/p" "$logs".*.log | tr -d , | awk '{ s += $1 } END { print s + 0 }'
}
grep -q 'ERROR SUMMARY' "$logs".*.log || e2e_fail "valgrind wrote no summary"
e2e_check "no memory definitely lost" "$(total 'definitely lost') == 0"
e2e_check "no memory errors" "$(total 'ERROR SUMMARY') == 0"
