#!/usr/bin/env bash
# screenshot-run.sh VIEWER DATA_DIR PNG [SECONDS]
# Starts VIEWER with DATA_DIR as its working directory on the current display, waits for its window,
# lets it run SECONDS (default 3), saves a screenshot of the window to PNG, sends Escape and exits with
# the viewer's status (124 if it did not end within 10 s of Escape).
# Optional environment:
#   SCREENSHOT_RUN_WRAPPER  command words the viewer runs under (e.g. "valgrind --leak-check=full")
#   SCREENSHOT_RUN_SLOWDOWN integer factor for the waits for the window and for the end (default 1)
#   SCREENSHOT_RUN_HOOK     shell command run after the screenshot and before Escape, with VIEWER_PID and
#                           VIEWER_WINDOW exported (to hold keys, take more screenshots, read memory); if it
#                           fails, Escape is still sent and its status is the result unless the viewer's is
#                           already non-zero
set -u
viewer="$(realpath "$1")"; data="$2"; png="$(realpath -m "$3")"; seconds="${4:-3}"
title='ミレルーン　WSAD,QEでカメラ移動 ZXでフォグ濃度'

slowdown="${SCREENSHOT_RUN_SLOWDOWN:-1}"

# The window whose title is exactly $title. The title is compared as getwindowname reads it (_NET_WM_NAME,
# UTF-8): `xdotool search --name` matches WM_NAME, which SDL stores as raw UTF-8 bytes typed STRING
# (Latin-1), so no pattern with non-ASCII characters ever matches it.
find_window() {
  local id
  for id in $(xdotool search --name . 2>/dev/null); do
    if [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$title" ]; then
      echo "$id"
      return
    fi
  done
}

# shellcheck disable=SC2086  # the wrapper is a list of words
(cd "$data" && exec ${SCREENSHOT_RUN_WRAPPER:-} "$viewer") &
pid=$!
window=""
for _ in $(seq $((200 * slowdown))); do
  window=$(find_window)
  [ -n "$window" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
if [ -z "$window" ]; then
  echo "screenshot-run: no window titled '$title' appeared" >&2
  kill "$pid" 2>/dev/null
  wait "$pid"
  exit 1
fi
sleep "$seconds"
import -window "$window" "$png" && echo "screenshot saved to $png"
hook_status=0
if [ -n "${SCREENSHOT_RUN_HOOK:-}" ]; then
  VIEWER_PID="$pid" VIEWER_WINDOW="$window" bash -c "$SCREENSHOT_RUN_HOOK"
  hook_status=$?
  [ "$hook_status" -eq 0 ] || echo "screenshot-run: the hook failed with status $hook_status" >&2
fi
xdotool key --window "$window" Escape
for _ in $(seq $((100 * slowdown))); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "screenshot-run: the viewer did not end after Escape" >&2
  kill "$pid"
  wait "$pid"
  exit 124
fi
wait "$pid"
status=$?
[ "$status" -ne 0 ] && exit "$status"
exit "$hook_status"
