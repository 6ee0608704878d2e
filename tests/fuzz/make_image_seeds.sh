#!/usr/bin/env bash
# Writes the image fuzz target's seeds into corpus/image: small images of every format and variant the
# texture loader decodes (ImageMagick's convert), and hostile files: a JPEG with a fill byte before its
# start-of-image marker and a Huffman table of 16 x 255 codes, and headers declaring 16384 x 16384 on a
# few bytes (BMP, run-length TGA, JPEG, PNG). Run it again only to change the seeds.
set -euo pipefail
out="$(cd "$(dirname "$0")" && pwd)/corpus/image"
mkdir -p "$out"
cd "$out"

le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16)); }

image=(-size 12x10 gradient:red-blue -fill lime -draw 'rectangle 2,2 6,5' -strip)
convert "${image[@]}" -type TrueColor bmp3:bmp24.bmp
convert "${image[@]}" -alpha set -channel A -evaluate set 60% +channel -define bmp:format=bmp4 bmp32.bmp
convert "${image[@]}" -colors 16 -type Palette bmp3:bmp4.bmp
convert -seed 1 -size 12x10 xc:grey -strip +noise Random -colors 100 -type Palette -compress None bmp3:bmp8.bmp
convert "${image[@]}" -colors 2 -type Bilevel bmp3:bmp1.bmp
convert "${image[@]}" -alpha set -channel A -evaluate set 50% +channel png32:rgba.png
convert "${image[@]}" -colors 8 png8:palette.png
convert "${image[@]}" -type Grayscale -depth 16 png:grey16.png
convert "${image[@]}" -interlace PNG png24:interlaced.png
convert "${image[@]}" -quality 90 -sampling-factor 4:2:0 baseline.jpg
convert "${image[@]}" -quality 90 -interlace JPEG progressive.jpg
convert "${image[@]}" -colorspace Gray -quality 90 grey.jpg
convert "${image[@]}" -compress None -type TrueColor plain.tga
convert "${image[@]}" -compress RLE -type TrueColor rle.tga
convert "${image[@]}" -colors 16 -type Palette -compress RLE rle_palette.tga

# JPEG: a fill byte before SOI, then a Huffman table whose 16 counts add up to 4080.
{ printf '\xff\xff\xd8\xff\xc4\x00\x13\x00'; head -c 16 /dev/zero | tr '\0' '\377'; } >fill_bad_huffman.jpg
# The baseline JPEG with its frame declaring 16384 x 16384.
python3 - baseline.jpg frame_bomb.jpg <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
at = data.index(b'\xff\xc0')
data[at + 5:at + 9] = b'\x40\x00\x40\x00'
open(sys.argv[2], 'wb').write(data)
PY
# 16384 x 16384 at 4 bits per pixel, 118 bytes: a header and a palette, no pixels.
{ printf 'BM'; le32 118; le32 0; le32 118; le32 40; le32 16384; le32 16384; le16 1; le16 4
  le32 0; le32 0; le32 2835; le32 2835; le32 16; le32 0; head -c 64 /dev/zero; } >bomb.bmp
# 16384 x 16384 run-length Targa, 23 bytes: one run of 128 pixels.
{ printf '\x00\x00\x0a'; head -c 9 /dev/zero; le16 16384; le16 16384; printf '\x18\x00\xff\x10\x20\x30\x00'; } >bomb.tga
# The RGBA PNG with its header declaring 16384 x 16384 (the CRC no longer matches, which stb ignores).
python3 - rgba.png bomb.png <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
data[16:24] = b'\x00\x00\x40\x00\x00\x00\x40\x00'
open(sys.argv[2], 'wb').write(data)
PY
ls -l "$out" >&2
