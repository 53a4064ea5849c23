#!/usr/bin/env bash
# vokmon.exe under Wine against voksim, driven by vokctl.exe:
#   net: converter type 4 to voksim's TCP face on 127.0.0.1 (a free port);
#   com: COM1 linked to a voksim pty with an echoing converter.
# Opens the link in dialog 1008, searches in dialog 1009, checks the title suffix and the
# grid (one icon per module), and keeps screenshots of the main window and both dialogs in
# $VOK_BUILD_DIR/tests/ui/wine-<mode>/ (look at them: the Chinese texts must render).
set -u
mode="${1:?usage: wine_vokmon.sh net|com}"
src="${VOK_SOURCE_DIR:?}"
build="${VOK_BUILD_DIR:?}"
win="${VOK_WIN64_DIR:-}"
# VOKMON_EXE: a vokmon.exe from elsewhere (an unpacked release), run in its own folder.
vokmon="${VOKMON_EXE:-$win/app/vokmon.exe}"
ctl="$win/tests/ui/vokctl.exe"
voksim="$build/sim/voksim"
bus="$src/sim/buses/demo.json"
[ -f "$bus" ] || bus="$src/sim/buses/two_ends.json"
for f in "$vokmon" "$ctl" "$voksim" "$bus"; do
    [ -e "$f" ] || { echo "missing $f (build the win64 tree and voksim first)"; exit 1; }
done

if [ -n "${VOKMON_EXE:-}" ]; then
    out="$(cd "$(dirname "$vokmon")" && pwd)"
else
    out="$build/tests/ui/wine-$mode"
    rm -rf "$out"
    mkdir -p "$out"
fi
cd "$out" || exit 1

# vokmon gets a prefix of its own in which Wine draws the window frames itself, so the
# title bar shows on a display without a window manager.
export VOK_BUILD_ROOT="$(dirname "$build")"
# One prefix per mode: the two cases may run side by side, each with its own wineserver.
export WINEPREFIX="$VOK_BUILD_ROOT/wineprefix-vokmon-${VOK_PREFIX_TAG:-$mode}"

pids=()
xvfb_pid=""
cleanup() {
    # Children first (wine_run's time-out process, which ends vokmon), then our own jobs.
    for p in "${pids[@]}"; do
        for c in $(pgrep -P "$p" 2>/dev/null); do kill "$c" 2>/dev/null; done
        kill "$p" 2>/dev/null
    done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

# Always an X server of our own: the screenshots show only vokmon, and nothing pops up on
# the user's screen.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$out/display" ] && break; sleep 0.1; done
[ -s "$out/display" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$out/display" | tr -dc 0-9)"
# shellcheck source=../../scripts/wine_env.sh
source "$src/scripts/wine_env.sh" || exit 1
"$VOK_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

modules=$(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))["modules"]))' "$bus")

# Starts voksim with the given face options; waits for its "ready" line.
start_voksim() {
    "$voksim" "$bus" --no-stdin "$@" >"$out/voksim.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 1 100); do grep -q '^ready' "$out/voksim.log" && return 0; sleep 0.1; done
    echo "voksim did not start:"; cat "$out/voksim.log"; exit 1
}

# vokcfg.cfg: COM1, 9600 baud, converter type, 127.0.0.1, port, converter speed 9600, 50 ms.
write_cfg() {
    python3 - "$1" "$2" <<'PY'
import struct, sys
t, port = int(sys.argv[1]), int(sys.argv[2])
open("vokcfg.cfg", "wb").write(struct.pack("<BBBB4sHBBhH", 1, 2, t, 0, bytes([127, 0, 0, 1]), port, 2, 0, 50, 0))
PY
}

com_args=()
if [ "$mode" = net ]; then
    start_voksim --tcp 127.0.0.1:0
    port=$(sed -n 's/^listening .*:\([0-9]*\)$/\1/p' "$out/voksim.log" | head -n1)
    [ -n "$port" ] || { echo "no TCP port in voksim's output"; cat "$out/voksim.log"; exit 1; }
    write_cfg 4 "$port"
    suffix="  NET-RW,Baud9600 [VOK4450NET]"
else
    start_voksim --pty "$out/ttyVOK" --echo
    write_cfg 0 10001
    com_args=(--com "1=$out/ttyVOK")
    suffix="  COM1,Baud9600 [VOK4420]"
fi

bash "$src/scripts/wine_run.sh" "${com_args[@]}" --timeout 240 -- "$vokmon" >"$out/vokmon.log" 2>&1 &
pids+=($!)

fail() { echo "FAIL: $*"; exit 1; }
# One vokctl run; its output is appended to ctl.log and kept in $last.
vokctl() {
    last=$(timeout 200 "$VOK_WINE" "$ctl" "$@" 2>/dev/null)
    local rc=$?
    last=$(printf '%s\n' "$last" | tr -d '\r')
    printf '%s\n' "$last" | tee -a "$out/ctl.log"
    return $rc
}
shot() { import -window root "$out/$1.png" || fail "screenshot $1"; }

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
    steps+=("pixel $((20 + 82 * (i % 8) + 16)) $((20 + 82 * (i / 8) + 16))")
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
