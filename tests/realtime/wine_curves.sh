#!/usr/bin/env bash
# The curve view of vokmon.exe under Wine against voksim (network converter on loopback):
# sweeps on a 1-Wire channel (model 4101), an ITU channel of model 4560 and model 4500, the
# curve parameters and humidity display dialogs, and 3900wave.bmp read back by ImageMagick
# (its frame compared pixel for pixel with the headless rendering). Screenshots of the view
# and both dialogs are kept in $VOK_BUILD_DIR/tests/realtime/wine/ (look at them).
set -u
# shellcheck source=../ui/wine_session.sh
source "${VOK_SOURCE_DIR:?}/tests/ui/wine_session.sh"
reference="$build/tests/realtime/frame_reference"
bus="$src/tests/realtime/curves_bus.json"
for f in "$reference" "$bus"; do
    [ -e "$f" ] || fail "missing $f (build the native tests first)"
done
sweep_ms="${VOK_CURVE_SWEEP_MS:-15000}"
wine_session_start "$build/tests/realtime/wine" vokmon-curves

start_voksim "$bus" --no-stdin --tcp 127.0.0.1:0 --log
port=$(voksim_port listening)
[ -n "$port" ] || fail "no TCP port in voksim's output"
write_cfg 4 "$port"

bash "$src/scripts/wine_run.sh" --timeout 280 -- "$vokmon" >"$out/vokmon.log" 2>&1 &
pids+=($!)

# Colours (RRGGBB) of the pixels in the plot of 3900wave.bmp saved under the given name.
plot_colours() {
    python3 - "$1" <<'PY'
import struct, sys
b = open(sys.argv[1], "rb").read()
w, h = struct.unpack_from("<ii", b, 18)
row = (3 * w + 3) & ~3
seen = {}
for y in range(51, 449):            # client rows inside the plot; file row = h - 1 - (y - 10)
    base = 54 + (h - 1 - (y - 10)) * row
    for x in range(81, 679):
        p = b[base + 3 * x: base + 3 * x + 3]
        key = "%02X%02X%02X" % (p[2], p[1], p[0])
        seen[key] = seen.get(key, 0) + 1
print(" ".join("%s:%d" % kv for kv in sorted(seen.items())))
PY
}

# sweep DIALOG NAME: the parameters dialog DIALOG left with OK, one sweep, 3900wave.bmp saved.
sweep() {
    vokctl "wait-main" "dialog $1" "click $1" "gone $1 5000" "sleep 500" "command 1200" "sleep $sweep_ms" \
        || fail "sweep $2"
    shot "view-$2"
    vokctl "wait-main" "command 1203" "no-box 3000" || fail "save $2"
}

vokctl "wait-main 60000" "no-box 1500" || fail "vokmon did not come up cleanly"
vokctl "wait-main" "command 100" "dialog 214 10000" "click 214" "box 20000" || fail "link"
vokctl "wait-main" "dialog 300 20000" "click 300" "gone 300 150000" "sleep 500" || fail "search"

# Model 4101: the parameters dialog gives the first four sensors; one click moves the
# temperature start to 15.5.
vokctl "wait-main" "command 105" "sleep 1000" || fail "enter the view"
shot view-enter
vokctl "wait-main" "command 1201" "dialog 1066 20000" "sleep 800" "get-text 1060" "vscroll 1058 up" "sleep 300" \
    "get-text 1060" "get-text 1063" || fail "dialog 110"
printf '%s\n' "$last" | grep -qx "text 1060 +15.5" || fail "temperature start did not step"
printf '%s\n' "$last" | grep -qx "text 1063 1.5" || fail "sampling step text"
shot dialog-110
sweep 1066 4101
[ -f 3900wave.bmp ] || fail "no 3900wave.bmp"
identify 3900wave.bmp | tee -a "$out/identify.log"
cp 3900wave.bmp curve-4101.bmp
colours=$(plot_colours curve-4101.bmp)
echo "4101 plot: $colours"
for c in FF0000 FFFF00 00FF00 0000FF; do echo "$colours" | grep -q "$c:" || fail "no curve in colour $c"; done

# The frame alone (the parameters dialog left with its exit button repaints the view),
# against the headless canvas's rendering: 0 differing pixels.
vokctl "wait-main" "command 1201" "dialog 1065 20000" "click 1065" "gone 1065 5000" "sleep 1000" "command 1203" \
    "no-box 3000" || fail "frame snapshot"
cw=$(identify -format '%w' 3900wave.bmp)
geometry=$("$reference" frame.ppm "$cw" 546) || fail "reference frame"
crop=$(echo "$geometry" | awk -F'[x+]' '{ printf "%sx%s+%s+%s", $1, $2, $3, $4 - 10 }')
convert 3900wave.bmp -crop "$crop" +repage frame-wine.ppm || fail "crop"
diff_px=$(compare -metric AE frame.ppm frame-wine.ppm frame-diff.png 2>&1)
echo "frame pixels differing: $diff_px"
[ "$diff_px" = 0 ] || fail "frame differs from the headless rendering in $diff_px pixels"

# Model 4560 in humidity mode.
vokctl "wait-main" "command 1202" "sleep 500" "click-xy 118 36" "sleep 300" "command 105" "sleep 800" \
    "command 1201" "dialog 1066 20000" "sleep 800" "click 1131" "sleep 1500" || fail "dialog 110 on 4560"
shot dialog-110-4560
sweep 1066 4560
colours=$(plot_colours 3900wave.bmp)
echo "4560 plot: $colours"
echo "$colours" | grep -q "FF0000:" || fail "no humidity curve on 4560"

# Model 4500: the humidity display dialog, both readings.
vokctl "wait-main" "command 1202" "sleep 500" "click-xy 200 36" "sleep 300" "command 105" "sleep 800" \
    "command 1201" "dialog 1080 20000" "sleep 500" "get-text 1084" || fail "dialog 116"
printf '%s\n' "$last" | grep -qx "text 1084 1.5" || fail "4500 sampling step"
shot dialog-116
sweep 1080 4500
colours=$(plot_colours 3900wave.bmp)
echo "4500 plot: $colours"
for c in FF0000 FFFF00; do echo "$colours" | grep -q "$c:" || fail "4500 curve $c missing"; done

vokctl "wait-main" "command 1202" "sleep 500" "command 108" "wait-exit 20000" || fail "exit"
echo "PASS (screenshots in $out)"
