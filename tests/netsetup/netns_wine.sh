#!/usr/bin/env bash
# Wine half of the namespace test (netns_test.sh wine runs it inside the host namespace):
# vokmon.exe with a prefix, wineserver and X server of its own, driven by vokctl.exe. Opens
# the converter list from the communication settings, checks both converters' lines, opens
# the IP setting dialog, moves the far converter into the host's subnet and opens the link to
# it. Screenshots of dialogs 168 and 171 are kept in $out.
set -u
src="${VOK_SOURCE_DIR:?}"
build="${VOK_BUILD_DIR:?}"
out="${NETNS_OUT:?}"
win="${VOK_WIN64_DIR:-}"
vokmon="$win/app/vokmon.exe"
ctl="$win/tests/ui/vokctl.exe"
for f in "$vokmon" "$ctl"; do [ -e "$f" ] || { echo "missing $f (build the win64 tree first)"; exit 1; }; done
cd "$out" || exit 1

pids=()
xvfb_pid=""
cleanup() {
    for p in "${pids[@]}"; do
        for c in $(pgrep -P "$p" 2>/dev/null); do kill "$c" 2>/dev/null; done
        kill "$p" 2>/dev/null
    done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
    # The prefix is ours alone: its server must not outlive the namespace.
    [ -n "${VOK_WINESERVER:-}" ] && timeout 20 "$VOK_WINESERVER" -k 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$out/display" ] && break; sleep 0.1; done
[ -s "$out/display" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$out/display" | tr -dc 0-9)"
export VOK_BUILD_ROOT="$(dirname "$build")"
# A prefix of its own: its wineserver starts here, inside the namespace, and sees only the
# namespace's interfaces.
export WINEPREFIX="$VOK_BUILD_ROOT/wineprefix-netns"
source "$src/scripts/wine_env.sh" || exit 1
"$VOK_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

# vokcfg.cfg: COM1, 9600, network converter at 10.77.1.50:10001, converter speed 9600.
python3 - <<'PY'
import struct
open("vokcfg.cfg", "wb").write(struct.pack("<BBBB4sHBBhH", 1, 2, 4, 0, bytes([10, 77, 1, 50]), 10001, 2, 0, 50, 0))
PY

bash "$src/scripts/wine_run.sh" --timeout 280 -- "$vokmon" >"$out/vokmon.log" 2>&1 &
pids+=($!)

fail() { echo "FAIL: $*"; exit 1; }
vokctl() {
    last=$(timeout 200 "$VOK_WINE" "$ctl" "$@" 2>/dev/null)
    local rc=$?
    last=$(printf '%s\n' "$last" | tr -d '\r')
    printf '%s\n' "$last" | tee -a "$out/ctl.log"
    return $rc
}
shot() { import -window root "$out/$1.png" || fail "screenshot $1"; }
has() { printf '%s\n' "$last" | grep -qF -- "$1"; }

vokctl "wait-main 60000" "command 100" "dialog 214 10000" "click 909" || fail "discovery button"
# The dialog shows after the discovery: two interfaces, two queries, about 4 s.
vokctl "dialog 910 30000" "sleep 500" "get-text 1296" "get-text 1297" "list 910" || fail "dialog 168"
shot dialog-168
has "10.77.1.1--10.77.2.1--" || fail "host addresses"
has "255.255.255.0--255.255.255.0--" || fail "host masks"
has " 0-10.77.1.50<10.77.1.1>   -10001- 9600 <00204A-123450>" || fail "near converter line"
has " 1-172.16.88.60<10.77.2.1>   -10001- 9600 <00204A-123460>" || fail "far converter line"

# IP setting for the near converter: the question, dialog 171 with its address; a broadcast
# address is refused; leave it.
vokctl "dialog 910" "list-select 910 0" "click 1307" "box 10000" "dialog 1201 10000" "sleep 500" "get-text 1201" \
    || fail "dialog 171"
has "确定要修改VOK445X模块的IP地址?" || fail "question before dialog 171"
has "text 1201 10.77.1.50" || fail "address in dialog 171"
shot dialog-171
vokctl "dialog 1201" "set-text 1201 10.77.1.255" "click 1199" "box 10000" "click 1200" "gone 1201 5000" \
    || fail "broadcast address"
has "IP地址为本局域网广播地址,请重新输入!" || fail "broadcast refused"

# OK on the far converter: it is offered a move into the host's subnet; yes.
vokctl "dialog 910" "list-select 910 1" "click 911" "box 10000" "box 10000" || fail "move question"
has "IP地址与本机地址不在同一个子网中,是否修改IP地址?" || fail "subnet question"
has "VOK445X IP修改完毕!" || fail "move done message"
# After the 9 s wait the settings dialog shows the converter it took.
vokctl "gone 910 20000" "dialog 214 5000" "get-text 900" "get-text 901" "get-text 908" || fail "back in 1008"
has "text 900 172.16.88.60" || fail "address taken"
for _ in $(seq 1 50); do grep -q '^moved 172.16.88.60 -> 10.77.2.100' "$out/voksim.log" && break; sleep 0.2; done
grep -q '^moved 172.16.88.60 -> 10.77.2.100' "$out/voksim.log" || fail "voksim did not move"

# The link opens to the moved converter.
vokctl "dialog 214" "set-text 900 10.77.2.100" "click 214" "box 20000" || fail "open"
has "已连接" || fail "link to 10.77.2.100 not opened"
shot main-after-open
vokctl "dialog 300 20000" "click 301" "sleep 500" || true
vokctl "wait-main" "command 108" "wait-exit 20000" || true
echo "PASS (screenshots in $out)"
