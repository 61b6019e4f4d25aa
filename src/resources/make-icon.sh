#!/bin/bash
# Regenerates retrax.ico (icon group 800): a program window with a red
# removal badge, drawn at 32x32 and 16x16 with ImageMagick
# (antialiasing off, so each size keeps to a handful of colours). The .ico is
# committed; run this only to change the drawing.
set -eu
cd "$(dirname -- "$0")"
tmp=$(mktemp -d)
trap 'rm -rf -- "$tmp"' EXIT

# Each size is drawn on its own pixel grid, so 16x16 stays crisp.
convert -size 32x32 xc:none +antialias \
  -fill '#2f5d9b' -stroke '#1b3a66' -draw 'roundrectangle 2,4 27,25 3,3' \
  -fill white -stroke none -draw 'rectangle 5,10 24,22' \
  -fill '#9fb8d8' -draw 'rectangle 7,13 18,14' -draw 'rectangle 7,17 15,18' \
  -fill '#d23a2e' -stroke '#8e1d15' -draw 'circle 24,24 30,24' \
  -stroke white -strokewidth 2 -draw 'line 21,24 27,24' \
  PNG32:"$tmp/32.png"
convert -size 16x16 xc:none +antialias \
  -fill '#2f5d9b' -stroke none -draw 'rectangle 1,2 13,12' \
  -fill white -draw 'rectangle 3,5 11,11' \
  -fill '#d23a2e' -draw 'circle 12,12 15,12' \
  -fill white -draw 'rectangle 10,12 14,12' \
  PNG32:"$tmp/16.png"
# Stored as 16-colour bitmaps: readable by every Windows version and a
# fraction of the size of 32-bit images in a program that counts its bytes.
convert "$tmp/16.png" -depth 8 rgba:"$tmp/16.rgba"
convert "$tmp/32.png" -depth 8 rgba:"$tmp/32.rgba"
python3 ico16colors.py retrax.ico 16:"$tmp/16.rgba" 32:"$tmp/32.rgba"
