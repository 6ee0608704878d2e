#!/usr/bin/env bash
# scene.sh VIEWER DATA_DIR: the window shows the scene, not a plain clear colour; with no key held the
# picture stays the same; Escape ends the viewer with status 0.
set -u
# shellcheck source=tests/e2e/scene_lib.sh
source "$(dirname "$0")/scene_lib.sh"
e2e_prepare "$@"
clear_colour='rgb(0,0,255)'  # the frame's clear colour
e2e_run 'sleep 1; e2e_shot still'

colours=$(e2e_colour_count "$e2e_work/start.png")
blue=$(e2e_colour_share "$e2e_work/start.png" "$clear_colour")
still=$(e2e_mae "$e2e_work/start.png" "$e2e_work/still.png")
e2e_check "the scene has many colours" "$colours >= 64"
e2e_check "the scene covers most of the clear colour" "$blue < 0.5"
e2e_check "with no key held the picture stays the same" "$still < 0.0005"
