#!/usr/bin/env bash
# voksim.exe under Wine: the TCP face answers a name request and the UDP face a discovery
# query on loopback, and the quit command ends it. Skips (77) only when no win64 build tree
# is configured for this run; a tree without voksim.exe or a Wine set-up that fails is a
# failure (make test builds the one and scripts/setup.sh installs the other).
set -u
# shellcheck source=../ui/wine_session.sh
source "$(dirname "$0")/../ui/wine_session.sh"
win64_program sim/voksim.exe
# shellcheck source=/dev/null
source "$src/scripts/wine_env.sh" || fail "the Wine environment could not be prepared"

work="$(mktemp -d /tmp/vok-wine-voksim-XXXXXX)"
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    type vok_wine_stop_display >/dev/null 2>&1 && vok_wine_stop_display
    rm -rf "$work"
}
trap cleanup EXIT

mkfifo "$work/control"
"$VOK_WINE" "$exe" "$(winepath -w "$src/sim/buses/two_ends.json" 2>/dev/null || echo "Z:${src//\//\\}\\sim\\buses\\two_ends.json")" \
    --tcp 127.0.0.1:0 --udp 127.0.0.1:0 <"$work/control" >"$work/out.txt" 2>"$work/err.txt" &
sim_pid=$!
exec 3>"$work/control"
for _ in $(seq 1 300); do grep -q '^ready' "$work/out.txt" && break; sleep 0.1; done
grep -q '^ready' "$work/out.txt" || { echo "FAIL: voksim.exe did not start"; cat "$work/out.txt" "$work/err.txt"; exit 1; }
tcp=$(sed -n 's/^listening .*:\([0-9]*\)\r\{0,1\}$/\1/p' "$work/out.txt")
udp=$(sed -n 's/^udp .*:\([0-9]*\)\r\{0,1\}$/\1/p' "$work/out.txt")

python3 - "$tcp" "$udp" <<'PY' || exit 1
import socket, sys, time
tcp, udp = int(sys.argv[1]), int(sys.argv[2])
s = socket.create_connection(("127.0.0.1", tcp))
t0 = time.monotonic()
s.sendall(b"$FFM\r")
data = b""
s.settimeout(2)
while len(data) < 11:
    data += s.recv(64)
ms = (time.monotonic() - t0) * 1000
assert data == b"!FFVOK4101\r", data
# 16 bytes at 9600 baud plus the module's 2 ms; Wine adds a little
assert 18.0 < ms < 60.0, ms
u = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
u.settimeout(2)
u.sendto(b"\x00\x00\x00\xf6", ("127.0.0.1", udp))
reply, _ = u.recvfrom(100)
assert len(reply) == 30 and reply[24:30] == bytes([0, 0x20, 0x4A, 0x12, 0x34, 0x56]), reply
print("tcp reply in %.1f ms, udp discovery ok" % ms)
PY
echo quit >&3
for _ in $(seq 1 100); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
! kill -0 "$sim_pid" 2>/dev/null || fail "voksim.exe did not quit"
wait "$sim_pid"
sim_pid=""
echo "PASS"
