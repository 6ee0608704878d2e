#!/usr/bin/env bash
# Runs a command with an X display: the current one if DISPLAY is set and answers, otherwise a private
# Xvfb (1024x768x24), stopped afterwards. Xvfb picks a free display number itself (-displayfd), so runs
# started at the same moment never share one, and it does not reset when its last client leaves (a client
# connecting during a reset is refused, which made tests that start one viewer after another fail at
# random). Exits with the command's status.
set -u
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi

fifo_dir=$(mktemp -d)
mkfifo "$fifo_dir/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo_dir/display" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null; rm -rf "$fifo_dir"' EXIT
read -r -t 30 number <"$fifo_dir/display" || { echo "with-xvfb: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$number"
"$@"
