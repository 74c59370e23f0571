#!/usr/bin/env bash
# Draws the program's icon, a small TV set (antennas, cabinet, screen, knobs, feet), at 32x32 and
# 16x16 and writes both into Project1.ico. Needs ImageMagick. Run it again after changing it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

convert -size 32x32 xc:none \
  -stroke '#303030' -strokewidth 2 -draw 'line 11,9 6,2' -draw 'line 20,9 25,2' \
  -stroke none -fill '#303030' -draw 'circle 6,2 7,3' -draw 'circle 25,2 26,3' \
  -fill '#1c1c1c' -draw 'roundrectangle 1,9 30,27 3,3' \
  -fill '#5a3a22' -draw 'roundrectangle 2,10 29,26 2,2' \
  -fill '#101010' -draw 'roundrectangle 4,12 22,24 2,2' \
  -fill '#3f8fd8' -draw 'roundrectangle 5,13 21,23 2,2' \
  -fill '#8cc6f5' -draw 'polygon 6,14 14,14 6,20' \
  -fill '#d8d8d8' -draw 'circle 26,15 27,16' -draw 'circle 26,20 27,21' \
  -fill '#1c1c1c' -draw 'rectangle 5,27 8,30' -draw 'rectangle 23,27 26,30' \
  PNG32:"$tmp/tv32.png"

convert -size 16x16 xc:none \
  -stroke '#303030' -strokewidth 1 -draw 'line 5,4 2,0' -draw 'line 10,4 13,0' \
  -stroke none -fill '#1c1c1c' -draw 'rectangle 0,4 15,13' \
  -fill '#5a3a22' -draw 'rectangle 1,5 14,12' \
  -fill '#3f8fd8' -draw 'rectangle 2,6 10,11' \
  -fill '#8cc6f5' -draw 'rectangle 3,7 5,8' \
  -fill '#d8d8d8' -draw 'point 12,7' -draw 'point 12,10' \
  -fill '#1c1c1c' -draw 'rectangle 2,14 3,15' -draw 'rectangle 12,14 13,15' \
  PNG32:"$tmp/tv16.png"

convert "$tmp/tv16.png" "$tmp/tv32.png" Project1.ico
echo "wrote $(pwd)/Project1.ico"
