#!/usr/bin/env bash
# shell.sh VIEWER DATA_DIR keys|close [WM_DELETE_WINDOW_TOOL]: the application shell end to end on the X
# display, through tools/screenshot-run.sh (which finds the window by its exact title and ends the run with
# Escape).
#   keys   the control keys, tapped and held, leave the viewer running; Escape then ends it with status 0.
#   close  the window manager's close request ends the viewer with status 0 by itself, before any Escape.
set -u
root="$(cd "$(dirname "$0")/../.." && pwd)"
[ $# -ge 3 ] || { echo "usage: $(basename "$0") VIEWER DATA_DIR keys|close [TOOL]" >&2; exit 2; }

case "$3" in
  keys)
    hook='xdotool key --window "$VIEWER_WINDOW" w s a d q e z x Up Down 1 2 space &&
          xdotool keydown --window "$VIEWER_WINDOW" w && sleep 0.5 &&
          xdotool keyup --window "$VIEWER_WINDOW" w && sleep 0.3 &&
          { kill -0 "$VIEWER_PID" || { echo "the viewer ended before Escape" >&2; false; }; }'
    ;;
  close)
    [ -x "${4:-}" ] || { echo "close needs the wm_delete_window tool" >&2; exit 2; }
    export WM_DELETE_WINDOW_TOOL="$4"
    hook='"$WM_DELETE_WINDOW_TOOL" "$VIEWER_WINDOW" || exit 1
          for _ in $(seq 100); do kill -0 "$VIEWER_PID" 2>/dev/null || exit 0; sleep 0.1; done
          echo "the viewer did not end after the close request" >&2; exit 1'
    ;;
  *)
    echo "unknown mode $3" >&2
    exit 2
    ;;
esac

png="$(mktemp "${TMPDIR:-/tmp}/viewer-shell.XXXXXX.png")"
trap 'rm -f "$png"' EXIT
SCREENSHOT_RUN_HOOK="$hook" "$root/tools/screenshot-run.sh" "$1" "$2" "$png" 1
status=$?
[ "$status" -eq 0 ] || echo "FAIL: the viewer run ended with status $status (0 expected)" >&2
exit "$status"
