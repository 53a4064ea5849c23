#!/usr/bin/env bash
# Demo: vokmon.exe under Wine against the simulated demo bus.
# Starts voksim with sim/buses/demo.json as a network converter on 127.0.0.1 (a free port),
# writes a vokcfg.cfg for that converter into build/demo/ and runs vokmon from there.
# - With $DISPLAY set: vokmon opens on that display; choose 通讯(com) -> 打开 and the search
#   follows. The demo ends when vokmon is closed.
# - Without a display: vokmon runs under Xvfb, is driven through the same steps by the
#   automation helper, and the screenshots land in build/demo/*.png; no interaction.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD:-build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
demo="$build/demo"
vokmon="$root/dist/win64/vokmon.exe"
[ -f "$vokmon" ] || vokmon="$build/win64/app/vokmon.exe"
ctl="$build/win64/tests/ui/vokctl.exe"
voksim="$root/dist/linux/voksim"
[ -x "$voksim" ] || voksim="$build/native/sim/voksim"
bus="$root/sim/buses/demo.json"
for f in "$vokmon" "$voksim" "$bus"; do
    [ -e "$f" ] || { echo "demo: $f is missing (run make build)"; exit 1; }
done

rm -rf "$demo"
mkdir -p "$demo"
cd "$demo"

sim_pid=""
vok_pid=""
xvfb_pid=""
cleanup() {
    if [ -n "$vok_pid" ]; then
        for c in $(pgrep -P "$vok_pid" 2>/dev/null); do kill "$c" 2>/dev/null || true; done
        kill "$vok_pid" 2>/dev/null || true
        wait "$vok_pid" 2>/dev/null || true
    fi
    if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

"$voksim" "$bus" --no-stdin --tcp 127.0.0.1:0 >"$demo/voksim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 1 100); do grep -q '^ready' "$demo/voksim.log" && break; sleep 0.05; done
grep -q '^ready' "$demo/voksim.log" || { echo "demo: voksim did not start"; cat "$demo/voksim.log"; exit 1; }
port=$(sed -n 's/^listening .*:\([0-9]*\)$/\1/p' "$demo/voksim.log" | head -n1)
modules=$(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))["modules"]))' "$bus")
echo "demo: voksim serves the demo bus ($modules modules) as a network converter on 127.0.0.1:$port"

# vokcfg.cfg, 16 bytes: COM1, 9600 baud, converter type 4 (network), 127.0.0.1, the port,
# the converter's own bus speed 9600, 50 ms reply wait.
python3 - "$port" <<'EOF'
import struct, sys
open("vokcfg.cfg", "wb").write(struct.pack("<BBBB4sHBBhH", 1, 2, 4, 0, bytes([127, 0, 0, 1]),
                                            int(sys.argv[1]), 2, 0, 50, 0))
EOF

if [ -n "${DISPLAY:-}" ]; then
    echo "demo: vokmon opens on $DISPLAY. Choose 通讯(com), then 打开: the link opens and the"
    echo "      search follows (开始). Close vokmon to end the demo."
    bash "$root/scripts/wine_run.sh" --timeout 86400 -- "$vokmon" || true
    echo "demo: vokmon closed; vokcfg.cfg in $demo keeps the settings it used."
    exit 0
fi

[ -f "$ctl" ] || { echo "demo: $ctl is missing (run make build)"; exit 1; }
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$demo/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$demo/display" ] && break; sleep 0.1; done
[ -s "$demo/display" ] || { echo "demo: Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$demo/display" | tr -dc 0-9)"
export VOK_BUILD_ROOT="$build"
# A prefix of its own in which Wine draws the window frames (there is no window manager).
export WINEPREFIX="$build/wineprefix-demo"
# shellcheck source=wine_env.sh
source "$root/scripts/wine_env.sh"
"$VOK_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true

bash "$root/scripts/wine_run.sh" --timeout 600 -- "$vokmon" >"$demo/vokmon.log" 2>&1 &
vok_pid=$!

step() {
    local out
    out=$(timeout 300 "$VOK_WINE" "$ctl" "$@" 2>/dev/null | tr -d '\r') || { printf '%s\n' "$out"; echo "demo: step failed"; exit 1; }
    printf '%s\n' "$out" | sed 's/^/  vokctl: /'
}
shot() { import -window root "$demo/$1.png"; echo "  screenshot $demo/$1.png"; }

echo "demo: vokmon under Xvfb $DISPLAY, driven by the automation helper"
step "wait-main 60000" "title"
shot 1-main
step "wait-main" "command 100" "dialog 214 10000" "get-text 900" "get-text 901" "sleep 300"
shot 2-comm-settings
step "wait-main" "dialog 214" "click 214" "box 20000"
step "wait-main" "dialog 300 20000" "click 300" "sleep 2500" "get-text 302" "get-text 303"
shot 3-search
step "wait-main" "gone 300 200000" "sleep 800" "title"
shot 4-module-grid
step "wait-main" "click-xy $((20 + 82 * 3 + 10)) 30" "sleep 500"
shot 5-module-selected
step "wait-main" "command 108" "wait-exit 20000"
wait "$vok_pid" 2>/dev/null || true
vok_pid=""
echo "demo: done; screenshots and logs in $demo"
