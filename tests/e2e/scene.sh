#!/usr/bin/env bash
# scene.sh VIEWER DATA_DIR: one run of the viewer. The window shows the scene, not the clear colour; with no
# key held the picture stays; holding each camera key (W, S, A, D, Q, E) for a second changes it; holding Z
# brings it nearer the fog colour (white, which Fog.hlsl fades into) and holding X takes it away, each step
# compared with the one before, whatever the frame rate; tapping control and other keys leaves the viewer
# running, and Escape ends it with status 0.
set -u
# shellcheck source=tests/e2e/scene_lib.sh
source "$(dirname "$0")/scene_lib.sh"
e2e_prepare "$@"
hook='sleep 1; e2e_shot still'
for key in w s a d q e; do hook+="; e2e_hold $key 1; e2e_shot $key"; done
hook+='; e2e_hold z 2; e2e_shot z; e2e_hold x 2; e2e_shot x; e2e_hold x 2; e2e_shot xx
  xdotool key --window "$VIEWER_WINDOW" w s a d q e z x Up Down 1 2 space; sleep 0.3
  kill -0 "$VIEWER_PID" || { echo "the viewer ended before Escape" >&2; exit 1; }'
e2e_run "$hook"

cd "$e2e_work" || exit 1
e2e_check "the scene has many colours" "$(identify -format '%k' start.png) >= 64"
blue=$(convert start.png -alpha off -fill black +opaque 'rgb(0,0,255)' -fill white -opaque 'rgb(0,0,255)' \
  -colorspace gray -format '%[fx:mean]' info:)
e2e_check "the scene covers most of the clear colour" "$blue < 0.5"
e2e_check "with no key held the picture stays the same" "$(e2e_mae start.png still.png) < 0.0005"
previous=still
for key in w s a d q e; do
  e2e_check "holding ${key^^} moves the camera" "$(e2e_mae $previous.png $key.png) > 0.0005"
  previous=$key
done
convert start.png -fill white -colorize 100 white.png
e2e_check "holding Z brings the picture nearer the fog colour" "$(e2e_mae z.png white.png) < $(e2e_mae e.png white.png) - 0.0003"
e2e_check "holding X takes it further away" "$(e2e_mae x.png white.png) > $(e2e_mae z.png white.png) + 0.0003"
e2e_check "holding X again takes it further still" "$(e2e_mae xx.png white.png) > $(e2e_mae x.png white.png) + 0.0003"
