#!/usr/bin/env bash
# leaks.sh VIEWER DATA_DIR: a run under valgrind's memcheck (start-up, a second with W held, Escape) ends
# with status 0 and without a definite leak. Reports inside Mesa, SDL and the X libraries that are not ours
# are suppressed by valgrind.supp beside this script; the program and the layer get no suppressions.
set -u
# shellcheck source=tests/e2e/scene_lib.sh
source "$(dirname "$0")/scene_lib.sh"
e2e_prepare "$@"
command -v valgrind >/dev/null || e2e_fail "valgrind is not installed (tools/install-deps.sh installs it)"
logs="$e2e_work/valgrind"  # one log a process: libdbus may fork a helper
here="$(dirname "$(realpath "$0")")"
export SCREENSHOT_RUN_WRAPPER="valgrind --leak-check=full --show-leak-kinds=definite \
--errors-for-leak-kinds=definite --suppressions=$here/valgrind.supp --gen-suppressions=all \
--log-file=$logs.%p.log"
export SCREENSHOT_RUN_SLOWDOWN=30
e2e_run 'e2e_hold w 1' 5
cat "$logs".*.log
grep -q 'ERROR SUMMARY' "$logs".*.log || e2e_fail "valgrind wrote no summary"
# Sums over the processes' logs.
definite=$(sed -nE 's/.*definitely lost: ([0-9,]+) bytes.*/\1/p' "$logs".*.log | tr -d , | awk '{ s += $1 } END { print s + 0 }')
errors=$(sed -nE 's/.*ERROR SUMMARY: ([0-9,]+) errors.*/\1/p' "$logs".*.log | tr -d , | awk '{ s += $1 } END { print s + 0 }')
e2e_check "no memory definitely lost" "$definite == 0"
e2e_check "no memory errors and no definite leaks" "$errors == 0"
