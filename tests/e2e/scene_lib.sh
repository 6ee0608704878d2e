# shellcheck shell=bash
# Shared by the scene scripts of this folder (sourced, not run). Each script drives one viewer run through
# tools/screenshot-run.sh: the first screenshot is taken after the warm-up, then a hook holds keys and takes
# more screenshots of the same window, then Escape ends the run and its exit status is checked.

e2e_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

e2e_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# e2e_prepare VIEWER DATA_DIR: checks the arguments and copies the data folder into a private work folder
# ($e2e_work/data), as a user would run the program from a folder of their own. Sets e2e_viewer and e2e_work.
e2e_prepare() {
  [ $# -eq 2 ] || e2e_fail "usage: $(basename "$0") VIEWER DATA_DIR"
  [ -x "$1" ] || e2e_fail "no viewer executable at $1"
  [ -f "$2/Fog.hlsl" ] || e2e_fail "no data folder with Fog.hlsl at $2"
  e2e_viewer="$(realpath "$1")"
  e2e_work="$(mktemp -d "${TMPDIR:-/tmp}/viewer-e2e.XXXXXX")"
  cp -r "$2" "$e2e_work/data"
  rm -f "$e2e_work/data/.stamp"
  trap 'e2e_cleanup' EXIT
}

# Keeps the work folder (screenshots, logs) of a failed run and says where it is.
e2e_cleanup() {
  local status=$?
  if [ "$status" -eq 0 ]; then
    rm -rf "$e2e_work"
  else
    echo "screenshots and logs kept in $e2e_work" >&2
  fi
}

# e2e_run HOOK [WARMUP_SECONDS]: runs the viewer from the work folder, takes $e2e_work/start.png after the
# warm-up, runs HOOK (a shell command; the hook functions below are available to it) and ends with Escape.
# Fails unless the viewer ended by itself with status 0 and the hook succeeded.
e2e_run() {
  local hook="$1" warmup="${2:-2}"
  export E2E_LIB="${BASH_SOURCE[0]}" E2E_WORK="$e2e_work"
  SCREENSHOT_RUN_HOOK="source \"\$E2E_LIB\"; set -e; $hook" \
    "$e2e_root/tools/screenshot-run.sh" "$e2e_viewer" "$e2e_work/data" "$e2e_work/start.png" "$warmup" \
    >"$e2e_work/run.log" 2>&1
  local status=$?
  cat "$e2e_work/run.log"
  [ "$status" -eq 0 ] || e2e_fail "the run ended with status $status (0 expected after Escape)"
  [ -s "$e2e_work/start.png" ] || e2e_fail "no screenshot of the window was taken"
}

# Hook functions: VIEWER_WINDOW and VIEWER_PID come from screenshot-run.sh.

# e2e_hold KEY SECONDS: holds KEY down in the viewer's window for SECONDS.
e2e_hold() {
  xdotool keydown --window "$VIEWER_WINDOW" "$1"
  sleep "$2"
  xdotool keyup --window "$VIEWER_WINDOW" "$1"
}

# e2e_shot NAME: saves a screenshot of the viewer's window as $E2E_WORK/NAME.png.
e2e_shot() {
  import -window "$VIEWER_WINDOW" "$E2E_WORK/$1.png"
}

# Image measures, all on a 0..1 scale.

# e2e_mae A B: mean absolute difference of two images of the same size.
e2e_mae() {
  local out
  out=$(compare -metric MAE "$1" "$2" null: 2>&1)
  [[ "$out" =~ \(([0-9.e+-]+)\) ]] || e2e_fail "compare $1 $2 said: $out"
  echo "${BASH_REMATCH[1]}"
}

# e2e_mae_to_colour IMAGE COLOUR: mean absolute difference between IMAGE and a plain image of COLOUR.
e2e_mae_to_colour() {
  local plain="$E2E_WORK/plain-$RANDOM.png"
  convert -size "$(identify -format '%wx%h' "$1")" "xc:$2" "$plain"
  e2e_mae "$1" "$plain"
  rm -f "$plain"
}

# e2e_colour_count IMAGE: the number of distinct colours.
e2e_colour_count() {
  identify -format '%k' "$1"
}

# e2e_colour_share IMAGE COLOUR: the fraction of pixels that are exactly COLOUR.
e2e_colour_share() {
  convert "$1" -alpha off -fill black +opaque "$2" -fill white -opaque "$2" -colorspace gray \
    -format '%[fx:mean]' info:
}

# e2e_check "DESCRIPTION" EXPRESSION: fails unless the awk expression (numbers substituted in) is true.
e2e_check() {
  if awk "BEGIN { exit !($2) }"; then
    echo "ok: $1 ($2)"
  else
    e2e_fail "$1 ($2)"
  fi
}
