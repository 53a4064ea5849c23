#!/usr/bin/env bash
# voksim on its own: starts it with the demo bus on a free loopback TCP port and a pty, shows modules
# answering requests over both faces and the UDP discovery, warms a sensor through the
# control interface, then stops voksim cleanly.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
voksim="${VOKSIM:-$root/dist/linux/voksim}"
[ -x "$voksim" ] || voksim="$root/build/native/sim/voksim"
[ -x "$voksim" ] || { echo "demo: voksim not built (run make build)"; exit 1; }
bus="$root/sim/buses/demo.json"

tmp="$(mktemp -d)"
cleanup() {
    if [ -n "${sim_pid:-}" ] && kill -0 "$sim_pid" 2>/dev/null; then
        echo quit >&3 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT

# voksim reads control commands on stdin: keep a FIFO open to it.
mkfifo "$tmp/control"
"$voksim" "$bus" --pty "$tmp/ttyVOK" --tcp 127.0.0.1:0 --udp 127.0.0.1:0 --log \
    <"$tmp/control" >"$tmp/voksim.log" 2>&1 &
sim_pid=$!
exec 3>"$tmp/control"
for _ in $(seq 1 100); do grep -q '^ready' "$tmp/voksim.log" && break; sleep 0.05; done
grep -q '^ready' "$tmp/voksim.log" || { echo "demo: voksim did not start"; cat "$tmp/voksim.log"; exit 1; }
tcp_port=$(sed -n 's/^listening .*:\([0-9]*\)$/\1/p' "$tmp/voksim.log")
udp_port=$(sed -n 's/^udp .*:\([0-9]*\)$/\1/p' "$tmp/voksim.log")
echo "voksim: demo bus on TCP 127.0.0.1:$tcp_port, pty $tmp/ttyVOK, UDP 127.0.0.1:$udp_port"
echo

python3 - "$tcp_port" "$udp_port" "$tmp/ttyVOK" <<'EOF'
import os, select, socket, sys, termios, time, tty

tcp_port, udp_port, link = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]

def show(face, req, data, ms):
    text = "".join(chr(b) if 32 <= b < 127 else "." for b in data)
    print("  %-4s %-8s -> %-28s %s  (%.1f ms)" % (face, req.decode().strip(), text,
          " ".join("%02X" % b for b in data[:24]) + (" ..." if len(data) > 24 else ""), ms))

def collect(fd, recv, want, timeout=1.0):
    data, t0 = b"", time.monotonic()
    while len(data) < want and time.monotonic() - t0 < timeout:
        r, _, _ = select.select([fd], [], [], timeout)
        if not r:
            break
        chunk = recv()
        if not chunk:
            break
        data += chunk
    return data

print("Over TCP (network converter face):")
s = socket.create_connection(("127.0.0.1", tcp_port))
for req, want in [(b"$01M\r", 11), (b"$012\r", 10), (b"$016\r", 22), (b"#010\r", 5 + 16 + 1),
                  (b"$04M\r", 11), (b"#042\r", 18), (b"$06M\r", 11), (b"&060\r", 5 + 24 + 1),
                  (b"$20M\r", 11)]:
    t0 = time.monotonic()
    s.sendall(req)
    data = collect(s, lambda: s.recv(512), want, 0.3)
    show("tcp", req, data, (time.monotonic() - t0) * 1000)
s.close()

print("\nOver the pty (serial converter face, 9600 baud, 10 bits a byte):")
fd = os.open(link, os.O_RDWR | os.O_NOCTTY)
tty.setraw(fd)
a = termios.tcgetattr(fd)
a[4] = a[5] = termios.B9600
termios.tcsetattr(fd, termios.TCSANOW, a)
for req, want in [(b"$03M\r", 11), (b"$036\r", 22), (b"$08T\r", 8), (b"$0AE\r", 10)]:
    t0 = time.monotonic()
    os.write(fd, req)
    data = collect(fd, lambda: os.read(fd, 512), want)
    show("pty", req, data, (time.monotonic() - t0) * 1000)
os.close(fd)

print("\nUDP 30718 discovery query (00 00 00 F6):")
u = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
u.settimeout(1.0)
u.sendto(b"\x00\x00\x00\xf6", ("127.0.0.1", udp_port))
reply, peer = u.recvfrom(256)
print("  %d-byte reply from %s, MAC %s" % (len(reply), peer[0],
      ":".join("%02X" % b for b in reply[24:30])))
EOF

echo
echo "Control: warm sensor 0 of module 01 channel 0 to 40 C over 1 s, then read again."
echo "ramp 01 0 0 temp 40 1" >&3
sleep 1.2
python3 - "$tcp_port" <<'EOF'
import socket, sys, time
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
s.sendall(b"#010\r")
data, t0 = b"", time.monotonic()
while len(data) < 22 and time.monotonic() - t0 < 1:
    data += s.recv(64)
lsb, msb = data[5], data[6]
print("  unit 0 now reads %.4f C (record %s)" % (((msb << 8 | lsb) if msb < 0x80 else (msb << 8 | lsb) - 65536) / 16.0,
      " ".join("%02X" % b for b in data[5:9])))
EOF

echo
echo "voksim's log (requests >> and replies <<, with bus time):"
sed -n '/^\[/p' "$tmp/voksim.log" | head -n 16
echo quit >&3
wait "$sim_pid"
sim_pid=""
echo
echo "voksim stopped."
