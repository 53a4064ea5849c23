#!/usr/bin/env bash
# vokmon.exe under Wine against voksim, driven by vokctl.exe:
#   net: converter type 4 to voksim's TCP face on 127.0.0.1 (a free port);
#   com: COM1 linked to a voksim pty with an echoing converter.
# Opens the link in dialog 1008, searches in dialog 1009, checks the title suffix and the
# grid (one icon per module), and keeps screenshots of the main window and both dialogs in
# $VOK_BUILD_DIR/tests/ui/wine-<mode>/ (look at them: the Chinese texts must render).
set -u
mode="${1:?usage: wine_vokmon.sh net|com}"
# shellcheck source=./wine_session.sh
source "${VOK_SOURCE_DIR:?}/tests/ui/wine_session.sh"
# VOKMON_EXE: a vokmon.exe from elsewhere (an unpacked release), run in its own folder.
vokmon="${VOKMON_EXE:-$vokmon}"
bus="$src/sim/buses/demo.json"
[ -f "$bus" ] || bus="$src/sim/buses/two_ends.json"
[ -e "$bus" ] || fail "missing $bus"
# One prefix per mode: the two cases may run side by side, each with its own wineserver.
prefix="vokmon-${VOK_PREFIX_TAG:-$mode}"
if [ -n "${VOKMON_EXE:-}" ]; then
    wine_session_start --keep "$(cd "$(dirname "$vokmon")" && pwd)" "$prefix"
else
    wine_session_start "$build/tests/ui/wine-$mode" "$prefix"
fi

modules=$(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))["modules"]))' "$bus")

com_args=()
if [ "$mode" = net ]; then
    start_voksim "$bus" --no-stdin --tcp 127.0.0.1:0
    port=$(voksim_port listening)
    [ -n "$port" ] || { cat "$out/voksim.log"; fail "no TCP port in voksim's output"; }
    write_cfg 4 "$port"
    suffix="  NET-RW,Baud9600 [VOK4450NET]"
else
    start_voksim "$bus" --no-stdin --pty "$out/ttyVOK" --echo
    write_cfg 0 10001
    com_args=(--com "1=$out/ttyVOK")
    suffix="  COM1,Baud9600 [VOK4420]"
fi

bash "$src/scripts/wine_run.sh" "${com_args[@]}" --timeout 240 -- "$vokmon" >"$out/vokmon.log" 2>&1 &
pids+=($!)

vokctl "wait-main 60000" "no-box 1500" "title" || fail "vokmon did not come up cleanly"
printf '%s\n' "$last" | grep -qx "title VOK3900 WIN9x/XP  V2.95  2016.11.25" || fail "title before opening"
shot main-start

# A frame drag to another size snaps back to the first rectangle.
vokctl "wait-main" "rect" || fail "window rectangle"
first=$(printf '%s\n' "$last" | sed -n 's/^rect //p')
echo "$first" | awk '{ exit !($3 - $1 == 800 && $4 - $2 == 600) }' || fail "window is not 800 x 600: $first"
vokctl "wait-main" "resize 1000 700" "sleep 500" "rect" || fail "resize"
printf '%s\n' "$last" | grep -qxF "rect $first" || fail "window kept the new size (first: $first)"

vokctl "wait-main" "command 100" "dialog 214 10000" "get-text 900" "get-text 901" "get-text 908" "sleep 300" \
    || fail "dialog 1008"
if [ "$mode" = net ]; then
    printf '%s\n' "$last" | grep -qx "text 900 127.0.0.1" || fail "IP field"
    printf '%s\n' "$last" | grep -qx "text 901 $port" || fail "port field"
fi
shot dialog-1008

if [ "$mode" = net ]; then
    # Notifications reach the logic: the converter list shows the reply wait for type 7,
    # whose range is enforced as it is typed; then back to the network converter.
    vokctl "wait-main" "dialog 214" "select 800 7" "sleep 300" "set-text 1309 5" "box 5000" "select 800 4" "sleep 300" \
        || fail "reply wait field"
    printf '%s\n' "$last" | grep -q "应答等待时间设置范围为: 10 --> 15000 ms" || fail "no range message"
fi
vokctl "wait-main" "dialog 214" "click 214" || fail "open button"
if [ "$mode" = net ]; then
    vokctl "box 20000" || fail "no connect notice"
    printf '%s\n' "$last" | grep -q "已连接" || fail "network link not opened"
fi
vokctl "wait-main" "dialog 300 20000" "title" || fail "search dialog did not follow the open"
printf '%s\n' "$last" | grep -qxF "title VOK3900 WIN9x/XP  V2.95  2016.11.25$suffix" || fail "title suffix"
vokctl "wait-main" "dialog 300" "click 300" "sleep 3000" "get-text 302" || fail "search start"
shot dialog-1009
vokctl "wait-main" "gone 300 150000" "sleep 1000" || fail "search did not end"
shot main-grid

# One icon per module in its cell (not white at the centre), nothing in the next cell.
steps=("wait-main")
for ((i = 0; i <= modules; i++)); do
    steps+=("pixel $(cell "$i")")
done
vokctl "${steps[@]}" || fail "pixels"
for ((i = 0; i < modules; i++)); do
    px=$(printf '%s\n' "$last" | sed -n "$((i + 2))p" | awk '{print $4}')
    [ "$px" != FFFFFF ] || fail "no icon for module $i"
done
px=$(printf '%s\n' "$last" | sed -n "$((modules + 2))p" | awk '{print $4}')
[ "$px" = FFFFFF ] || fail "an icon beyond the $modules modules"

vokctl "wait-main" "command 108" "wait-exit 20000" || fail "exit"
sleep 1
python3 - "$mode" "${port:-10001}" <<'PY' || fail "settings file after exit"
import sys
b = open("vokcfg.cfg", "rb").read()
assert len(b) == 16, len(b)
want_type = 4 if sys.argv[1] == "net" else 0
assert b[2] == want_type and b[0] == 1 and b[1] == 2, b
assert int.from_bytes(b[8:10], "little") == int(sys.argv[2]), b
assert int.from_bytes(b[12:14], "little") == (10 if sys.argv[1] == "net" else 50), b
PY
echo "PASS ($modules modules; screenshots in $out)"
