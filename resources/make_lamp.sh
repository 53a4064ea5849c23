#!/usr/bin/env bash
# Draws the input lamp of the digital IO dialog with ImageMagick: a lit green lamp with a
# dark rim on the dialog's face colour, 16 x 16, 24-bit (the form every Windows loads).
# Run by hand; the .bmp is committed.
set -euo pipefail
cd "$(dirname "$0")/bitmaps"
convert -size 16x16 'xc:#f0f0f0' \
  -fill '#1e8f2e' -stroke '#0b3d12' -strokewidth 1 -draw 'circle 7.5,7.5 7.5,1' \
  -stroke none -fill '#8dff9a' -draw 'circle 5.5,5.5 5.5,3.5' \
  -type TrueColor BMP3:lamp.bmp
