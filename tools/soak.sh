#!/usr/bin/env bash
# soak.sh SECONDS [VIEWER [DATA_DIR]]
# Runs the viewer (default build/viewer, from DATA_DIR, default the data folder beside it) on the current
# display for SECONDS with random keys held down (W S A D Q E Z X, random lengths, several at a time now and
# then; seeded by SOAK_SEED, default 1, so a failing run can be repeated). Reads the viewer's resident
# memory after a 2 s warm-up and at the end, prints both and the growth, then sends Escape. Fails if the
# viewer crashed, did not exit with status 0, or grew by more than 20 % + 10 MB.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"

rss_kb() {  # rss_kb PID: resident memory in kB, empty when the process is gone
  awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null
}

# The part run inside screenshot-run.sh's hook, with VIEWER_PID and VIEWER_WINDOW set.
drive() {  # drive SECONDS SEED
  local seconds="$1" keys=(w s a d q e z x) held=() start_kb end_kb
  RANDOM="$2"
  start_kb=$(rss_kb "$VIEWER_PID")
  [ -n "$start_kb" ] || { echo "soak: the viewer is gone before the soak began" >&2; return 1; }
  local end=$((SECONDS + seconds)) presses=0
  while [ "$SECONDS" -lt "$end" ]; do
    local count=$((RANDOM % 4 == 0 ? 2 : 1))
    held=()
    for _ in $(seq "$count"); do held+=("${keys[RANDOM % ${#keys[@]}]}"); done
    xdotool keydown --window "$VIEWER_WINDOW" "${held[@]}" || break
    sleep "$(printf '0.%03d' $((50 + RANDOM % 900)))"
    xdotool keyup --window "$VIEWER_WINDOW" "${held[@]}" || break
    presses=$((presses + count))
    kill -0 "$VIEWER_PID" 2>/dev/null || break
  done
  end_kb=$(rss_kb "$VIEWER_PID")
  if [ -z "$end_kb" ]; then
    echo "soak: the viewer ended during the soak, after $presses key presses" >&2
    return 1
  fi
  local growth=$((end_kb - start_kb)) limit=$((start_kb / 5 + 10240))
  echo "soak: $presses key presses in ${seconds} s"
  echo "soak: resident memory at start ${start_kb} kB, at end ${end_kb} kB, growth ${growth} kB (limit ${limit} kB)"
  if [ "$growth" -gt "$limit" ]; then
    echo "soak: resident memory grew by more than 20 % + 10 MB" >&2
    return 1
  fi
}

if [ "${1:-}" = "--drive" ]; then
  drive "$2" "$3"
  exit
fi

if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
  echo "usage: $(basename "$0") SECONDS [VIEWER [DATA_DIR]]" >&2
  exit 2
fi
seconds="$1"
viewer="${2:-$root/build/viewer}"
data="${3:-$(dirname "$viewer")/data}"
seed="${SOAK_SEED:-1}"
[ -x "$viewer" ] || { echo "soak: no viewer executable at $viewer" >&2; exit 2; }
[ -d "$data" ] || { echo "soak: no data folder at $data" >&2; exit 2; }

# A sanitizer build keeps freed memory in AddressSanitizer's quarantine (up to 256 MB), which would read as
# growth; a small quarantine keeps the measure about live memory. Other builds ignore the variable.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=1"
shot="$(mktemp --suffix=.png)"
trap 'rm -f "$shot"' EXIT
echo "soak: $seconds s of random keys, seed $seed, viewer $viewer"
SCREENSHOT_RUN_HOOK="$(printf '%q --drive %q %q' "$(realpath "$0")" "$seconds" "$seed")" \
  "$root/tools/screenshot-run.sh" "$viewer" "$data" "$shot" 2
status=$?
if [ "$status" -ne 0 ]; then
  echo "soak: FAILED (status $status)" >&2
  exit 1
fi
echo "soak: passed, the viewer ended with status 0"
