#!/usr/bin/env bash
# The guide's pictures from the demo's screenshots: each cut to the window that was in front
# (the rectangle in the demo's record), reduced to a small palette PNG, with the record beside
# them so that the record check runs on them too.
#   guide_pictures.sh DEMO_DIR OUT_DIR      (make guide-pictures: after a demo run)
set -euo pipefail
demo="${1:?usage: guide_pictures.sh DEMO_DIR OUT_DIR}"
out="${2:?usage: guide_pictures.sh DEMO_DIR OUT_DIR}"
[ -s "$demo/record.tsv" ] || { echo "guide-pictures: no $demo/record.tsv (run make demo)"; exit 1; }
mkdir -p "$out"
rm -f "$out"/[0-9][0-9]-*.png
while IFS=$'\t' read -r file kind _ _ rect _ _; do
    read -r x0 y0 x1 y1 <<<"$rect"
    crop=()
    # The screen is 1024x768; a window partly off it is cut at its edge.
    if [ "$kind" != file ]; then
        x0=$((x0 < 0 ? 0 : x0)); y0=$((y0 < 0 ? 0 : y0))
        x1=$((x1 > 1024 ? 1024 : x1)); y1=$((y1 > 768 ? 768 : y1))
        crop=(-crop "$((x1 - x0))x$((y1 - y0))+$x0+$y0" +repage)
    fi
    convert "$demo/$file" "${crop[@]}" -strip +dither -colors 64 "PNG8:$out/$file"
done <"$demo/record.tsv"
cp "$demo/record.tsv" "$out/record.tsv"
if [ -f "$demo/skipped.txt" ]; then cp "$demo/skipped.txt" "$out/skipped.txt"; else rm -f "$out/skipped.txt"; fi
du -ch "$out"/*.png | tail -n1 | sed "s|total|in $out|;s|^|guide-pictures: |"
