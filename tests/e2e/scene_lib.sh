# shellcheck shell=bash
# Shared by this folder's scripts (sourced, not run). A script drives a viewer run through
# tools/screenshot-run.sh from a copy of the data folder: a screenshot after the warm-up, then a hook that
# holds keys and takes more screenshots of the same window, then Escape; the run must end with status 0.

e2e_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

e2e_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# e2e_prepare VIEWER DATA_DIR: sets e2e_viewer, and e2e_work with the data folder copied to $e2e_work/data
# as a user's own folder. The work folder of a failed script (screenshots, logs) is kept.
e2e_prepare() {
  [ -x "$1" ] && [ -f "$2/Fog.hlsl" ] || e2e_fail "usage: $(basename "$0") VIEWER DATA_DIR ..."
  e2e_viewer="$(realpath "$1")"
  e2e_work="$(mktemp -d "${TMPDIR:-/tmp}/viewer-e2e.XXXXXX")"
  cp -r "$2" "$e2e_work/data" && rm -f "$e2e_work/data/.stamp"
  trap 'status=$?; [ $status -eq 0 ] && rm -rf "$e2e_work" || echo "work folder kept: $e2e_work" >&2' EXIT
}

# e2e_run HOOK [WARMUP_SECONDS]: the run, with $e2e_work/start.png taken after the warm-up and HOOK (a
# shell command that may use the hook functions below) before Escape.
e2e_run() {
  export E2E_LIB="${BASH_SOURCE[0]}" E2E_WORK="$e2e_work"
  SCREENSHOT_RUN_HOOK="source \"\$E2E_LIB\"; set -e; $1" "$e2e_root/tools/screenshot-run.sh" "$e2e_viewer" \
    "$e2e_work/data" "$e2e_work/start.png" "${2:-2}" >"$e2e_work/run.log" 2>&1
  local status=$?
  cat "$e2e_work/run.log"
  [ "$status" -eq 0 ] || e2e_fail "the run ended with status $status (0 expected)"
  [ -s "$e2e_work/start.png" ] || e2e_fail "no screenshot of the window was taken"
}

# Hook functions; VIEWER_WINDOW and VIEWER_PID come from screenshot-run.sh.
e2e_hold() {  # KEY SECONDS
  xdotool keydown --window "$VIEWER_WINDOW" "$1"
  sleep "$2"
  xdotool keyup --window "$VIEWER_WINDOW" "$1"
}
e2e_shot() {  # NAME: a screenshot of the window as $E2E_WORK/NAME.png
  import -window "$VIEWER_WINDOW" "$E2E_WORK/$1.png"
}

# e2e_mae A B: the mean absolute difference of two images of one size, from 0 to 1.
e2e_mae() {
  local out
  out=$(compare -metric MAE "$1" "$2" null: 2>&1)
  [[ "$out" =~ \(([0-9.e+-]+)\) ]] || e2e_fail "compare $1 $2 said: $out"
  echo "${BASH_REMATCH[1]}"
}

# e2e_check DESCRIPTION EXPRESSION: fails unless the awk expression (numbers substituted in) is true.
e2e_check() {
  awk "BEGIN { exit !($2) }" || e2e_fail "$1 ($2)"
  echo "ok: $1 ($2)"
}
