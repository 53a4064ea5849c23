#!/usr/bin/env bash
# Draws vokmon's icons with ImageMagick: one module picture per model, plain and selected,
# the generic module icon and the program icon. Run by hand; the .ico files are committed.
set -euo pipefail
cd "$(dirname "$0")/icons"

# model selected-id plain-id
PAIRS="3901:126:127 3902:119:120 3903:122:121 4101:128:129 4102:130:131 4103:151:152
4300:156:157 4301:132:133 4303:154:155 4500:123:124 4501:140:141 4560:135:136
4562:162:163 4563:166:167 4598:159:160"

# module(label, body colour, frame colour, background, out)
module() {
  convert -size 32x32 "xc:$4" \
    -fill "$2" -stroke "$3" -strokewidth 2 -draw "roundrectangle 3,5 28,27 3,3" \
    -stroke none -fill '#d4af37' \
    -draw "rectangle 6,2 8,5" -draw "rectangle 12,2 14,5" -draw "rectangle 18,2 20,5" -draw "rectangle 24,2 26,5" \
    -draw "rectangle 6,27 8,30" -draw "rectangle 12,27 14,30" -draw "rectangle 18,27 20,30" -draw "rectangle 24,27 26,30" \
    -fill '#30ff60' -draw "rectangle 6,8 9,10" \
    -fill white -font DejaVu-Sans-Condensed-Bold -pointsize 9 -gravity center -annotate +0+3 "$1" \
    -define icon:auto-resize=32 "$5"
}

for p in $PAIRS; do
  IFS=: read -r model sel plain <<<"$p"
  module "$model" '#1f4e8c' '#0b2447' '#ffffff' "m${plain}.ico"
  module "$model" '#c0392b' '#ffd700' '#fff3b0' "m${sel}.ico"
done
module "VOK" '#5d6d7e' '#2c3e50' '#ffffff' m1002.ico
# Program icon: a module with a signal wave above it.
convert -size 32x32 xc:none \
  -fill '#1f4e8c' -stroke '#0b2447' -strokewidth 2 -draw "roundrectangle 2,12 29,29 3,3" \
  -stroke '#e67e22' -strokewidth 2 -fill none -draw "polyline 2,8 7,3 12,9 17,3 22,9 27,3 30,6" \
  -stroke none -fill white -font DejaVu-Sans-Condensed-Bold -pointsize 9 -gravity center -annotate +0+8 "3900" \
  -define icon:auto-resize=32 m304.ico
