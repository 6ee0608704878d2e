#!/usr/bin/env bash
# fog.sh VIEWER DATA_DIR: holding Z thickens the fog and holding X thins it. The camera does not move, so
# only the fog changes the picture: denser fog brings the picture nearer the fog colour (white, the
# (1, 1, 1, 1) row of the frame constants that Fog.hlsl fades into), thinner fog takes it away.
set -u
source "$(dirname "$0")/scene_lib.sh"
e2e_prepare "$@"
fog_colour='rgb(255,255,255)'
# Z for 2 s raises the density from 1; X for 4 s then takes it below 1 by about as much.
e2e_run 'e2e_hold z 2; e2e_shot denser; e2e_hold x 4; e2e_shot thinner'

start=$(e2e_mae_to_colour "$e2e_work/start.png" "$fog_colour")
denser=$(e2e_mae_to_colour "$e2e_work/denser.png" "$fog_colour")
thinner=$(e2e_mae_to_colour "$e2e_work/thinner.png" "$fog_colour")
echo "distance to the fog colour: start $start, after Z $denser, after X $thinner"
e2e_check "Z brings the picture nearer the fog colour" "$denser < $start - 0.0003"
e2e_check "X takes it further from the fog colour than at the start" "$thinner > $start + 0.0003"
