#!/usr/bin/env bash
# Benchmark: vokcli search against vokcli search --fast on the demo bus at 9600 baud, over a
# pty and over TCP loopback: the time of the 256-address scan, of the whole search, and the
# modules found.
#
#   bench_search.sh NATIVE_BUILD_DIR
set -eu
build="${1:?native build dir}"
here="$(cd "$(dirname "$0")" && pwd)"
source_dir="$(cd "$here/../.." && pwd)"
voksim="$build/sim/voksim"
vokcli="$build/cli/vokcli"
tmp="$(mktemp -d /tmp/vokcli_bench.XXXXXX)"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$tmp"
}
trap cleanup EXIT

wait_ready() {
    for _ in $(seq 200); do grep -q '^ready' "$1" && return 0; sleep 0.05; done
    echo "voksim did not start" >&2
    exit 1
}

"$voksim" "$source_dir/sim/buses/demo.json" --no-stdin --tcp 127.0.0.1:0 > "$tmp/tcp.out" 2>&1 &
pids+=($!)
"$voksim" "$source_dir/sim/buses/demo.json" --no-stdin --pty "$tmp/com1" > "$tmp/pty.out" 2>&1 &
pids+=($!)
wait_ready "$tmp/tcp.out"
wait_ready "$tmp/pty.out"
tcp="$(sed -n 's/^listening //p' "$tmp/tcp.out")"

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-5s %-7s %9s %9s  %s\n' link scan "scan s" "total s" "modules found"
for link in pty tcp; do
    port="$tmp/com1"
    [ "$link" = tcp ] && port="$tcp"
    for mode in normal fast; do
        flag=""
        [ "$mode" = fast ] && flag="--fast"
        "$vokcli" search --port "$port" --baud 9600 --json --quiet $flag > "$tmp/out.json"
        python3 - "$tmp/out.json" "$link" "$mode" <<'PY'
import json, sys
d = json.load(open(sys.argv[1]))
mods = [m["address"] for m in d["modules"]]
print("%-5s %-7s %9.2f %9.2f  %d: %s" % (sys.argv[2], sys.argv[3], d["scan_s"], d["elapsed_s"], len(mods), " ".join(mods)))
PY
    done
done
