#!/usr/bin/env bash
# Converter discovery on real sockets, inside network namespaces made here and removed on
# every way out: a host namespace with two interfaces (10.77.1.1/24, 10.77.2.1/24) and a
# converter namespace whose two veth ends carry voksim's two converters, 10.77.1.50 (the
# host's subnet) and 172.16.88.60 (a subnet of its own on the second segment). Nothing is
# sent outside these namespaces. Skips (exit 77) where namespaces cannot be made.
#   netns_test.sh posix   the POSIX backend: discover, speed change, move, TCP link
#   netns_test.sh wine    vokmon.exe under Wine in the host namespace: dialogs 168 and 171
set -u
mode="${1:-posix}"
src="${VOK_SOURCE_DIR:?}"
build="${VOK_BUILD_DIR:?}"
voksim="$build/sim/voksim"
client="$build/tests/netsetup/netns_client"
bus="$src/tests/netsetup/two_segments.json"
out="$build/tests/netsetup/netns-$mode"
rm -rf "$out"
mkdir -p "$out"

hostns="vokh$$"
convns="vokc$$"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
    ip netns del "$hostns" 2>/dev/null
    ip netns del "$convns" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 1' INT TERM

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
[ "$(id -u)" = 0 ] || skip "network namespaces need root"
command -v ip >/dev/null || skip "no ip command (iproute2)"
ip netns add "$hostns" 2>/dev/null || skip "cannot create a network namespace here"
ip netns add "$convns" || skip "cannot create a second network namespace"
for f in "$voksim" "$bus"; do [ -e "$f" ] || fail "missing $f"; done

H() { ip -n "$hostns" "$@"; }
C() { ip -n "$convns" "$@"; }
# Both veth ends are made inside the namespaces: no interface appears on the machine's own.
ip link add vh1 netns "$hostns" type veth peer name vc1 netns "$convns" || fail "veth 1"
ip link add vh2 netns "$hostns" type veth peer name vc2 netns "$convns" || fail "veth 2"
H link set lo up && C link set lo up
H addr add 10.77.1.1/24 dev vh1 && H addr add 10.77.2.1/24 dev vh2
C addr add 10.77.1.50/24 dev vc1 && C addr add 172.16.88.60/24 dev vc2
for l in vh1 vh2; do H link set "$l" up; done
for l in vc1 vc2; do C link set "$l" up; done
# The far converter lives on the second segment in a subnet of its own: it hears that
# segment's broadcasts and answers the host there, as a converter on the wire does.
C route add 10.77.2.0/24 dev vc2 src 172.16.88.60
C route add broadcast 10.77.2.255 dev vc2 table local scope link src 172.16.88.60
H route add 172.16.88.0/24 dev vh2
H link show >"$out/links.txt"

ip netns exec "$convns" "$voksim" "$bus" --no-stdin --log \
    --udp 172.16.88.60/24@vc2 --udp 10.77.1.50/24@vc1 --tcp 172.16.88.60:10001 >"$out/voksim.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do grep -q '^ready' "$out/voksim.log" && break; sleep 0.1; done
grep -q '^ready' "$out/voksim.log" || { cat "$out/voksim.log"; fail "voksim did not start"; }

if [ "$mode" = posix ]; then
    [ -x "$client" ] || fail "missing $client"
    ip netns exec "$hostns" "$client" 10.77.1.50 172.16.88.60 10.77.2.100 | tee "$out/client.log"
    rc=${PIPESTATUS[0]}
    grep -q '^moved 172.16.88.60 -> 10.77.2.100' "$out/voksim.log" || { cat "$out/voksim.log"; fail "voksim did not move"; }
    [ "$rc" = 0 ] || { tail -n 30 "$out/voksim.log"; fail "client"; }
    echo "PASS (logs in $out)"
    exit 0
fi

NETNS_OUT="$out" VOK_WIN64_DIR="${VOK_WIN64_DIR:-}" \
    ip netns exec "$hostns" bash "$src/tests/netsetup/netns_wine.sh" &
pids+=($!)
wait "${pids[-1]}"
exit $?
