#!/usr/bin/env bash
# Demo: vokmon.exe under Wine against the simulated demo bus behind a network converter.
# - With $DISPLAY set: voksim listens on 127.0.0.1 (a free port), vokcfg.cfg in build/demo/
#   points at it and vokmon opens on that display; choose 通讯(com) -> 打开 and the search
#   follows. The demo ends when vokmon is closed.
# - Without a display: vokmon runs under Xvfb and scripts/demo_tour.sh drives it through a
#   technician's round (search, readings, numbering, curves, module settings, terminal, IO,
#   converter list), one numbered screenshot per step in build/demo/, record.tsv saying which
#   window was in front for each, and index.html showing them in order. Where network
#   namespaces can be made, voksim's converter sits behind a veth pair in a namespace of its
#   own, so the converter list finds it by broadcast without touching the machine's networks;
#   elsewhere that step is skipped and voksim listens on loopback.
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
started=$(date +%s)

rm -rf "$demo"
mkdir -p "$demo"
cd "$demo"

sim_pid=""
hostns=""
convns=""
cleanup() {
    if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
    if [ -n "$hostns" ]; then ip netns del "$hostns" 2>/dev/null || true; fi
    if [ -n "$convns" ]; then ip netns del "$convns" 2>/dev/null || true; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Starts voksim (through the command prefix given first, may be empty) and waits for "ready".
start_voksim() {
    local -a prefix=()
    [ -n "$1" ] && read -r -a prefix <<<"$1"
    shift
    "${prefix[@]}" "$voksim" "$bus" --no-stdin "$@" >"$demo/voksim.log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 1 100); do grep -q '^ready' "$demo/voksim.log" && return 0; sleep 0.05; done
    echo "demo: voksim did not start"
    cat "$demo/voksim.log"
    exit 1
}

# vokcfg.cfg, 16 bytes: COM1, 9600 baud, converter type 4 (network), the IP, the port, the
# converter's own bus speed 9600, 50 ms reply wait.
write_cfg() {
    python3 - "$1" "$2" <<'EOF'
import struct, sys
ip = bytes(int(x) for x in sys.argv[1].split("."))
open("vokcfg.cfg", "wb").write(struct.pack("<BBBB4sHBBhH", 1, 2, 4, 0, ip, int(sys.argv[2]), 2, 0, 50, 0))
EOF
}

# A host namespace (10.78.1.1/24) and a converter namespace (10.78.1.50/24) joined by a veth
# pair made inside them: the discovery broadcast stays on that wire. Sets `why` when not.
why=""
make_namespaces() {
    [ "${VOK_DEMO_NETNS:-1}" != 0 ] || { why="VOK_DEMO_NETNS=0 keeps the demo on loopback"; return 1; }
    [ "$(id -u)" = 0 ] || { why="network namespaces need root"; return 1; }
    command -v ip >/dev/null || { why="no ip command (iproute2)"; return 1; }
    hostns="vokdemoh$$"
    ip netns add "$hostns" 2>/dev/null || { hostns=""; why="this machine does not allow network namespaces"; return 1; }
    convns="vokdemoc$$"
    ip netns add "$convns" 2>/dev/null || { convns=""; why="a second network namespace cannot be made"; return 1; }
    ip link add vdh netns "$hostns" type veth peer name vdc netns "$convns" 2>/dev/null ||
        { why="no veth pair can be made here"; return 1; }
    { ip -n "$hostns" link set lo up && ip -n "$convns" link set lo up &&
        ip -n "$hostns" addr add 10.78.1.1/24 dev vdh && ip -n "$convns" addr add 10.78.1.50/24 dev vdc &&
        ip -n "$hostns" link set vdh up && ip -n "$convns" link set vdc up; } ||
        { why="the veth pair could not be set up"; return 1; }
}

modules=$(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))["modules"]))' "$bus")

if [ -n "${DISPLAY:-}" ]; then
    start_voksim "" --tcp 127.0.0.1:0
    port=$(sed -n 's/^listening .*:\([0-9]*\)$/\1/p' "$demo/voksim.log" | head -n1)
    write_cfg 127.0.0.1 "$port"
    echo "demo: voksim serves the demo bus ($modules modules) as a network converter on 127.0.0.1:$port"
    echo "demo: vokmon opens on $DISPLAY. Choose 通讯(com), then 打开: the link opens and the"
    echo "      search follows (开始). Close vokmon to end the demo."
    bash "$root/scripts/wine_run.sh" --timeout 86400 -- "$vokmon" || true
    echo "demo: vokmon closed; vokcfg.cfg in $demo keeps the settings it used."
    exit 0
fi

[ -f "$ctl" ] || { echo "demo: $ctl is missing (run make build)"; exit 1; }
run_in=""
if make_namespaces; then
    start_voksim "ip netns exec $convns" --udp 10.78.1.50/24@vdc --tcp 10.78.1.50:10001
    write_cfg 10.78.1.50 10001
    run_in="ip netns exec $hostns"
    export DEMO_CONVERTER_LIST=1
    echo "demo: voksim serves the demo bus ($modules modules) as a network converter at 10.78.1.50:10001,"
    echo "      in a network namespace of its own behind a veth pair"
else
    cleanup
    hostns=""
    convns=""
    start_voksim "" --tcp 127.0.0.1:0
    port=$(sed -n 's/^listening .*:\([0-9]*\)$/\1/p' "$demo/voksim.log" | head -n1)
    write_cfg 127.0.0.1 "$port"
    export DEMO_CONVERTER_LIST=0
    echo "demo: voksim serves the demo bus ($modules modules) as a network converter on 127.0.0.1:$port"
    echo "demo: the converter list step is skipped: $why" | tee "$demo/skipped.txt"
fi

export DEMO_STARTED="$started" DEMO_MODULES="$modules" DEMO_DIR="$demo" DEMO_ROOT="$root" DEMO_VOKMON="$vokmon" DEMO_CTL="$ctl" VOK_BUILD_ROOT="$build"
# shellcheck disable=SC2086  # $run_in is a command prefix or empty
$run_in bash "$root/scripts/demo_tour.sh"
python3 "$root/scripts/demo_index.py" "$demo"
python3 "$root/tests/demo/check_record.py" "$root" "$demo"
echo "demo: done in $(($(date +%s) - started)) s; screenshots, record.tsv and index.html in $demo"
