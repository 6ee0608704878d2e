#!/usr/bin/env bash
# screenshot-run.sh VIEWER DATA_DIR PNG [SECONDS]
# Starts VIEWER with DATA_DIR as its working directory on the current display, waits for its window,
# lets it run SECONDS (default 3), saves a screenshot of the window to PNG, sends Escape and exits with
# the viewer's status (124 if it did not end within 10 s of Escape).
set -u
viewer="$(realpath "$1")"; data="$2"; png="$(realpath -m "$3")"; seconds="${4:-3}"
title='ミレルーン　WSAD,QEでカメラ移動 ZXでフォグ濃度'

(cd "$data" && exec "$viewer") &
pid=$!
window=""
for _ in $(seq 200); do
  window=$(xdotool search --name "^${title}\$" 2>/dev/null | head -n 1)
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
xdotool key --window "$window" Escape
for _ in $(seq 100); do
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
