#!/usr/bin/env bash
# One data display refresh of a 64-unit channel at 9600 baud, 50 times, natively over a pty and
# under Wine (COM1 linked to the pty), against voksim's full-channel bus, without and with an
# echoing converter. Prints the figures of bench_refresh for each run.
#   bench_refresh.sh BUILD_DIR WIN64_BUILD_DIR
set -u
src="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:?native build dir}"
win="${2:-}"
voksim="$build/sim/voksim"
bench="$build/tests/display/bench_refresh"
tmp=$(mktemp -d)
sim_pid=""
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; rm -rf "$tmp"' EXIT

start_sim() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    "$voksim" "$src/sim/buses/full_channel.json" --no-stdin --pty "$tmp/tty" "$1" >"$tmp/voksim.log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 1 100); do grep -q '^ready' "$tmp/voksim.log" && return 0; sleep 0.1; done
    echo "voksim did not start"; exit 1
}

rc=0
for echo in --no-echo --echo; do
    start_sim "$echo"
    printf 'native %-10s ' "$echo"
    VOK_COM1="$tmp/tty" "$bench" --count 50 || rc=1
    if [ -n "$win" ] && [ -f "$win/tests/display/bench_refresh.exe" ]; then
        printf 'wine   %-10s ' "$echo"
        bash "$src/scripts/wine_run.sh" --com "1=$tmp/tty" --timeout 300 -- \
            "$win/tests/display/bench_refresh.exe" --count 50 2>/dev/null | tr -d '\r' || rc=1
    fi
done
exit $rc
