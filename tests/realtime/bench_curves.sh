#!/usr/bin/env bash
# Curve view benchmarks (not tests; figures for the record):
#   native: sampling cadence of 300 samples at 500 ms, headless timer on real time, COM1 on a
#           voksim pty;
#   wine:   the same sweep by vokmon.exe against voksim (TCP), timed from voksim's log;
#   snapshot: save time of 3900wave.bmp for an 800 x 600 window under Wine.
# Usage: bench_curves.sh BUILD_ROOT [native|wine|snapshot]...   (default: all three)
set -u
root="$(cd "${1:?usage: bench_curves.sh BUILD_ROOT [native|wine|snapshot]...}" && pwd)"
shift
src="$(cd "$(dirname "$0")/../.." && pwd)"
native="$root/native"
win="$root/win64"
bus="$src/tests/realtime/curves_bus.json"
out="$native/bench-curves"
mkdir -p "$out"
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(native wine snapshot)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done; pids=(); }
trap cleanup EXIT
# An X server of our own for the Windows programs.
own_display() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out/display" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 1 100); do [ -s "$out/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$out/display" | tr -dc 0-9)"
}

for part in "${parts[@]}"; do
case "$part" in
native)
    "$native/sim/voksim" "$bus" --no-stdin --pty "$out/ttyVOK" >"$out/voksim-native.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 1 100); do grep -q '^ready' "$out/voksim-native.log" && break; sleep 0.1; done
    echo "== native: 300 samples at 500 ms, module 04 (model 4303), COM1 at 9600 baud"
    VOK_COM1="$out/ttyVOK" "$native/tests/realtime/sampling_bench" 300 0 4
    cleanup
    ;;
wine)
    export VOK_BUILD_ROOT="$root" WINEPREFIX="$root/wineprefix-vokmon-curves"
    own_display
    source "$src/scripts/wine_env.sh" || exit 1
    "$root/native/sim/voksim" "$bus" --no-stdin --tcp 127.0.0.1:0 --log >"$out/voksim-wine.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 1 100); do grep -q '^ready' "$out/voksim-wine.log" && break; sleep 0.1; done
    port=$(sed -n 's/^listening .*:\([0-9]*\)$/\1/p' "$out/voksim-wine.log" | head -n1)
    (cd "$out" && python3 -c 'import struct,sys; open("vokcfg.cfg","wb").write(struct.pack("<BBBB4sHBBhH",1,2,4,0,bytes([127,0,0,1]),int(sys.argv[1]),2,0,50,0))' "$port")
    (cd "$out" && bash "$src/scripts/wine_run.sh" --timeout 400 -- "$win/app/vokmon.exe" >"$out/vokmon.log" 2>&1) &
    pids+=($!)
    ctl() { timeout 250 "$VOK_WINE" "$win/tests/ui/vokctl.exe" "$@" 2>/dev/null | tr -d '\r'; }
    ctl "wait-main 60000" "command 100" "dialog 214 10000" "click 214" "box 20000" "dialog 300 20000" "click 300" \
        "gone 300 150000" "sleep 500" "click-xy 282 36" "sleep 300" "command 105" "sleep 800" "command 1201" \
        "dialog 1066 20000" "sleep 800" "vscroll 1062 down" "sleep 300" "get-text 1063" "click 1066" "gone 1066 5000" \
        "sleep 500" "command 1200" >/dev/null
    echo "== wine: 300 samples at 500 ms, module 04 (model 4303), network converter at 9600 baud"
    sleep 200
    ctl "wait-main" "command 1202" "command 108" "wait-exit 20000" >/dev/null
    python3 - "$out/voksim-wine.log" <<'PY'
import re, statistics, sys
req, rep = [], []
last_req = None
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    m = re.match(r"\[\s*([\d.]+)\] (>>|<<) (.*)", line)
    if not m:
        continue
    t, d, rest = float(m.group(1)), m.group(2), m.group(3)
    if d == ">>":
        last_req = rest.startswith("23 30 34 30 ")  # "#040"
        if last_req:
            req.append(t)
    elif last_req:
        n = len(rest.split("  ")[0].split())
        rep.append(t + n * 10 / 9600.0)  # the reply's last byte on the line
        last_req = False
n = min(len(req), len(rep))
lag = [(req[k] - req[k - 1]) - (0.5 + (rep[k - 1] - req[k - 1])) for k in range(1, n)]
if not lag:
    sys.exit("no samples in the log")
print("samples %d, exchange (request to reply end) mean %.1f ms" % (n, 1000 * statistics.mean(rep[k] - req[k] for k in range(n))))
print("lag behind period+exchange: median %.1f ms, worst %.1f ms, sweep %.3f s vs schedule %.3f s"
      % (1000 * statistics.median(lag), 1000 * max(lag), req[n - 1] - req[0], sum(0.5 + rep[k] - req[k] for k in range(n - 1))))
PY
    cleanup
    ;;
snapshot)
    export VOK_BUILD_ROOT="$root" WINEPREFIX="$root/wineprefix-vokmon-curves"
    own_display
    source "$src/scripts/wine_env.sh" || exit 1
    echo "== snapshot: 800 x 600 window under Wine"
    (cd "$out" && timeout 120 "$VOK_WINE" "$win/tests/realtime/snapshot_bench.exe" 2>/dev/null | tr -d '\r')
    cleanup
    ;;
esac
done
