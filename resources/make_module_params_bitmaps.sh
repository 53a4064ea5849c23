#!/usr/bin/env bash
# Draws the lamp and channel-kind bitmaps of the module parameters dialog with ImageMagick
# (24-bit BMP on the dialog face colour). Run by hand; the .bmp files are committed.
set -euo pipefail
cd "$(dirname "$0")/bitmaps"
FACE='#f0f0f0'

# lamp(fill, rim, out): a round lamp with a highlight, 12 x 12 pixels.
lamp() {
  convert -size 12x12 "xc:$FACE" -fill "$1" -stroke "$2" -strokewidth 1 \
    -draw "circle 5.5,5.5 5.5,1" -stroke none -fill '#ffffff' -draw "circle 4,4 4,3" \
    -type TrueColor "BMP3:$3"
}
lamp '#20d040' '#0a6a1a' mp_lamp_on.bmp
lamp '#e02020' '#7a0a0a' mp_lamp_fault.bmp
# Channel kind: a small blue tag marked with a wave (analogue channel).
convert -size 12x12 "xc:$FACE" -fill '#1f4e8c' -stroke none -draw "roundrectangle 0,1 11,10 2,2" \
  -stroke '#ffffff' -strokewidth 1 -fill none -draw "polyline 1,6 3,3 5,6 7,8 9,5 10,4" \
  -type TrueColor BMP3:mp_kind.bmp
