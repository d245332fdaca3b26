#!/usr/bin/env bash
# usage: draw-icons.sh OUTDIR
# Draws the program's two icons with ImageMagick, from geometry alone (no fonts, so every
# machine draws the same pixels), at 256 pixels, and scales them to the sizes the icon groups hold:
#   OUTDIR/frame.ico   group 129, window class icon: 16 and 32 pixels. A small keyboard.
#   OUTDIR/banner.ico  group 128, banner icon: 16, 32 and 48 pixels. The keyboard with a
#                      green arrow that lays a new layout onto it.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 OUTDIR" >&2; exit 2; }
out=$1
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The keyboard: a dark rounded body with three rows of light keys and a space bar.
keyboard=(-fill '#3a4a5c' -stroke '#1f2833' -strokewidth 6 -draw 'roundrectangle 8,64 248,208 22,22'
  -stroke none -fill '#e8edf2')
for row in 0 1 2; do
  y=$((84 + row * 34))
  x0=$((22 + row * 10))
  for k in 0 1 2 3 4 5; do
    x=$((x0 + k * 36))
    keyboard+=(-draw "roundrectangle $x,$y $((x + 28)),$((y + 26)) 5,5")
  done
done
keyboard+=(-draw 'roundrectangle 60,186 196,200 5,5')

convert -size 256x256 xc:none "${keyboard[@]}" "$work/frame.png"
convert -size 256x256 xc:none "${keyboard[@]}" \
  -fill '#2e9e3e' -stroke '#1b5e25' -strokewidth 6 \
  -draw 'polygon 150,4 206,4 206,70 240,70 178,136 116,70 150,70' "$work/banner.png"

icon() {  # icon NAME SIZE...
  local name=$1; shift
  local parts=()
  for size in "$@"; do
    convert "$work/$name.png" -filter Lanczos -resize "${size}x${size}" -strip "PNG32:$work/$name-$size.png"
    parts+=("$work/$name-$size.png")
  done
  # Sizes below 256 are stored as bitmaps, which every Windows version reads.
  convert "${parts[@]}" -strip "$out/$name.ico"
}
icon frame 16 32
icon banner 16 32 48
