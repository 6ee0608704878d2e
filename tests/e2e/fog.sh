#!/usr/bin/env bash
# fog.sh VIEWER DATA_DIR: holding Z thickens the fog and holding X thins it. The camera does not move, so
# only the fog changes the picture: denser fog brings the picture nearer the fog colour (white, the
# (1, 1, 1, 1) row of the frame constants that Fog.hlsl fades into), thinner fog takes it away. Each step
# is compared with the one before it, so the checks hold whatever the frame rate of each phase.
set -u
# shellcheck source=tests/e2e/scene_lib.sh
source "$(dirname "$0")/scene_lib.sh"
e2e_prepare "$@"
fog_colour='rgb(255,255,255)'
e2e_run 'e2e_hold z 2; e2e_shot after-z; e2e_hold x 2; e2e_shot after-x; e2e_hold x 2; e2e_shot after-xx'

previous=$(e2e_mae_to_colour "$e2e_work/start.png" "$fog_colour")
echo "distance to the fog colour at the start: $previous"
for step in z x xx; do
  distance=$(e2e_mae_to_colour "$e2e_work/after-$step.png" "$fog_colour")
  if [ "$step" = z ]; then
    e2e_check "holding Z brings the picture nearer the fog colour" "$distance < $previous - 0.0003"
  else
    e2e_check "holding X takes the picture further from the fog colour" "$distance > $previous + 0.0003"
  fi
  previous="$distance"
done
