#!/usr/bin/env bash
# The serial contract on the Win32 backend: serial_contract.exe under Wine on COM7, a pty
# whose master serial_peer.py holds and works on the program's orders.
# Skips (77) only when no Windows x64 build tree is configured for this run; a tree without
# the program, a missing Wine or a helper that does not come up is a failure.
set -u
# shellcheck source=../ui/wine_session.sh
source "$(dirname "$0")/../ui/wine_session.sh"
win64_program tests/platform/serial_contract.exe

work="$(mktemp -d /tmp/vok-serial-contract-XXXXXX)"
python3 "$src/tests/platform/serial_peer.py" "$work/com7" "$work/port" &
peer=$!
trap 'kill "$peer" 2>/dev/null; wait "$peer" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 1 200); do
    [ -s "$work/port" ] && break
    kill -0 "$peer" 2>/dev/null || break
    sleep 0.05
done
[ -s "$work/port" ] || fail "serial_peer.py did not come up"
bash "$src/scripts/wine_run.sh" --com "7=$work/com7" --timeout 60 -- "$exe" COM7 "$(cat "$work/port")"
