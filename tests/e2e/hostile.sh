#!/usr/bin/env bash
# hostile.sh VIEWER DATA_DIR [CASE...]: the viewer run with data files a downloaded model could bring along.
# Each case replaces files of a copy of the data folder; every run must end with status 0 within 20 s
# (Escape sent once the window shows, a message box answered with Return), stay under 1 GB of resident
# memory and leave no sanitizer report.
set -u
[ $# -ge 2 ] || { echo "usage: $(basename "$0") VIEWER DATA_DIR [CASE...]" >&2; exit 2; }
viewer="$(realpath "$1")"
data="$(realpath "$2")"
shift 2
title='ミレルーン　WSAD,QEでカメラ移動 ZXでフォグ濃度'
work="$(mktemp -d "${TMPDIR:-/tmp}/viewer-hostile.XXXXXX")"
trap 'rm -rf "$work"' EXIT

le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16)); }

# A JPEG whose start-of-image marker follows a fill byte, with a Huffman table of 16 x 255 codes.
bad_jpeg() { printf '\xff\xff\xd8\xff\xc4\x00\x13\x00'; head -c 16 /dev/zero | tr '\0' '\377'; }
# 16384 x 16384 at 4 bits per pixel, 118 bytes: a header and a palette, no pixels.
bmp_bomb() {
  printf 'BM'; le32 118; le32 0; le32 118; le32 40; le32 16384; le32 16384; le16 1; le16 4
  le32 0; le32 0; le32 2835; le32 2835; le32 16; le32 0; head -c 64 /dev/zero
}
# 16384 x 16384 run-length Targa, 23 bytes: one run of 128 pixels.
tga_bomb() { printf '\x00\x00\x0a'; head -c 9 /dev/zero; le16 16384; le16 16384; printf '\x18\x00\xff\x10\x20\x30\x00'; }

# A model with n materials that all name one texture, selected in turn by n runs of one face each.
many_materials() {
  local n=$1
  awk -v n="$n" 'BEGIN { for (i = 0; i < n; ++i) printf "newmtl m%d\nKd 1 0 0\nmap_Kd checker.bmp\n", i }' >test.mtl
  awk -v n="$n" 'BEGIN { print "mtllib test.mtl\nv 0 0 1\nv 1 0 1\nv 0 1 1\nvt 0 0\nvn 0 0 -1"
                         for (i = 0; i < n; ++i) printf "usemtl m%d\nf 1/1/1 2/1/1 3/1/1\n", i }' >test.obj
}

# A model of about 100 MB, truncated to nothing while the viewer loads it.
truncated_model() {
  { echo 'mtllib test.mtl'; yes 'v 0.125 0.25 0.5' | head -n 3000000; echo 'usemtl Ground'
    yes 'f 1//1 2//1 3//1' | head -n 2000000; } >test.obj
  (for _ in 1 2 3; do sleep 0.3; [ -e test.obj ] && : >test.obj; done) 2>/dev/null &
}

setup() {
  case "$1" in
    jpeg-fill) bad_jpeg >t3.bmp ;;
    jpeg-texture) bad_jpeg >bricks.bmp ;;
    fifo-image) rm t3.bmp && mkfifo t3.bmp ;;
    fifo-texture) rm bricks.bmp && mkfifo bricks.bmp ;;
    fifo-shader) rm Fog.hlsl && mkfifo Fog.hlsl ;;
    zero-image) ln -sf /dev/zero t3.bmp ;;
    zero-texture) sed -i 's|map_Kd .*|map_Kd /dev/urandom|' test.mtl ;;
    zero-shader) ln -sf /dev/zero Fog.hlsl ;;
    bomb-bmp) bmp_bomb >t3.bmp ;;
    bomb-tga) tga_bomb >bricks.bmp ;;
    materials) many_materials 50000 ;;
    truncated) truncated_model ;;
    *) echo "unknown case $1" >&2; return 2 ;;
  esac
}

window_named() {
  local id
  for id in $(xdotool search --name . 2>/dev/null); do
    [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && { echo "$id"; return; }
  done
}

# run_case NAME: the viewer from a fresh copy of the data folder, answered until it ends or 20 s pass.
run_case() {
  local dir="$work/$1" answered="" waited status peak
  cp -r "$data" "$dir" && rm -f "$dir/.stamp"
  (cd "$dir" && setup "$1") || return 1
  (cd "$dir" && exec /usr/bin/time -f '%M' -o "$dir/peak" "$viewer") 2>"$dir/stderr" &
  local pid=$!
  for waited in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || break
    if [ -z "$answered" ] && [ "$waited" -gt 10 ]; then
      local id
      id=$(window_named "$title") && [ -n "$id" ] && xdotool key --window "$id" Escape && answered=1
      id=$(window_named Error) && [ -n "$id" ] && xdotool key --window "$id" Return
    fi
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    pkill -KILL -P "$pid"; kill -KILL "$pid"; wait "$pid"
    echo "FAIL $1: still running after 20 s"; return 1
  fi
  wait "$pid"; status=$?
  peak=$(tail -n 1 "$dir/peak" 2>/dev/null)
  if [ "$status" -ne 0 ] || grep -qE 'Sanitizer|runtime error' "$dir/stderr"; then
    echo "FAIL $1: status $status"; cat "$dir/stderr"; return 1
  fi
  [ "${peak:-0}" -lt 1048576 ] || { echo "FAIL $1: peak resident memory ${peak} kB"; return 1; }
  echo "ok $1: status 0, peak ${peak} kB, $((waited / 10)) s"
  rm -rf "$dir"
}

cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(jpeg-fill jpeg-texture fifo-image fifo-texture fifo-shader zero-image
                                  zero-texture zero-shader bomb-bmp bomb-tga materials truncated)
failed=0
for c in "${cases[@]}"; do run_case "$c" || failed=1; done
exit "$failed"
