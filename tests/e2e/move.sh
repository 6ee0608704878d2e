#!/usr/bin/env bash
# move.sh VIEWER DATA_DIR: holding each camera key (W, S, A, D, Q, E) for a second changes the picture,
# and the run still ends with status 0 after Escape.
set -u
# shellcheck source=tests/e2e/scene_lib.sh
source "$(dirname "$0")/scene_lib.sh"
e2e_prepare "$@"
keys=(w s a d q e)
hook=""
for key in "${keys[@]}"; do hook+="e2e_hold $key 1; e2e_shot after-$key; "; done
e2e_run "$hook"

previous="$e2e_work/start.png"
for key in "${keys[@]}"; do
  change=$(e2e_mae "$previous" "$e2e_work/after-$key.png")
  e2e_check "holding ${key^^} moves the camera" "$change > 0.0005"
  previous="$e2e_work/after-$key.png"
done
