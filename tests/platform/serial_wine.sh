#!/usr/bin/env bash
# Runs serial_com_probe.exe under Wine: COM1 is a pty whose far end echoes (socat PIPE),
# and a loopback TCP echo server stands by for the socket checks.
# Skips (77) when the Windows x64 build tree or Wine is not there.
set -u
# shellcheck source=../ui/wine_session.sh
source "$(dirname "$0")/../ui/wine_session.sh"
win64_program --skip-unbuilt tests/platform/serial_com_probe.exe
if ! command -v socat >/dev/null || { ! command -v wine64 >/dev/null && [ ! -x /usr/lib/wine/wine64 ]; }; then
    echo "SKIP: socat or wine64 missing"
    exit 77
fi

work="$(mktemp -d /tmp/vok-wine-serial-XXXXXX)"
pids=()
cleanup() {
    for p in ${pids[@]+"${pids[@]}"}; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

socat "pty,raw,echo=0,link=$work/com1" PIPE &
pids+=($!)
port=""
for try in $(seq 1 20); do
    p=$((20000 + (RANDOM * 32768 + RANDOM + try * 7919) % 30000))
    socat "TCP-LISTEN:$p,bind=127.0.0.1,reuseaddr,fork" PIPE 2>/dev/null &
    spid=$!
    sleep 0.2
    if kill -0 "$spid" 2>/dev/null; then
        pids+=("$spid")
        port=$p
        break
    fi
done
for i in $(seq 1 100); do [ -e "$work/com1" ] && break; sleep 0.05; done
[ -e "$work/com1" ] || { echo "socat pty did not appear"; exit 1; }
[ -n "$port" ] || { echo "no loopback port for the echo server"; exit 1; }

bash "$src/scripts/wine_run.sh" --com "1=$work/com1" --timeout 120 -- "$exe" COM1 "$port"
rc=$?
echo "serial_com_probe exit code $rc"
exit "$rc"
