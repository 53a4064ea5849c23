#!/usr/bin/env bash
# The x64 vok3900d.dll under Wine: a C client loads it with LoadLibrary, finds the 13
# exports by name and by ordinal, and over COM1 (linked to a voksim pty) opens the port,
# reads the configuration and a channel of 64 units, and closes; each call is timed.
# Skipped (77) when the win64 build tree is absent.
set -u
build="${VOK_BUILD_DIR:?VOK_BUILD_DIR not set}"
src="${VOK_SOURCE_DIR:?VOK_SOURCE_DIR not set}"
win64="${VOK_WIN64_DIR:-}"
dll="$win64/driver/vok3900d.dll"
client="$win64/tests/driver/vok3900d_timing_client.exe"
if [ -z "$win64" ] || [ ! -f "$dll" ] || [ ! -f "$client" ]; then
    echo "SKIP: no win64 build of vok3900d.dll and its client (VOK_WIN64_DIR='$win64')"
    exit 77
fi
voksim="$build/sim/voksim"
[ -x "$voksim" ] || { echo "FAIL: $voksim not built"; exit 1; }

tmp=$(mktemp -d)
link="$tmp/com1"
"$voksim" --bus "$src/tests/driver/bus_driver.json" --pty "$link" --no-stdin </dev/null >"$tmp/voksim.log" 2>&1 &
sim_pid=$!
cleanup() {
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
for _ in $(seq 100); do
    [ -e "$link" ] && break
    sleep 0.05
done
[ -e "$link" ] || { echo "FAIL: voksim made no pty link"; cat "$tmp/voksim.log"; exit 1; }

# The DLL is found in the current directory, as an application would find it beside itself.
cd "$(dirname "$dll")" || exit 1
bash "$src/scripts/wine_run.sh" --com "1=$link" -- "$client" vok3900d.dll 1 3 1 1 >"$tmp/out.txt"
rc=$?
cat "$tmp/out.txt"
[ "$rc" = 0 ] || { echo "FAIL: client exit code $rc"; exit 1; }
python3 "$src/tests/driver/check_timing.py" "$tmp/out.txt" --units 64 --late "${VOK_WINE_LATE_MS:-25}" || exit 1

# The C example, linked through the import library.
example="$win64/examples/read_temps.exe"
[ -f "$example" ] || { echo "FAIL: $example not built"; exit 1; }
bash "$src/scripts/wine_run.sh" --com "1=$link" -- "$example" 1 3 1 >"$tmp/example.txt" 2>&1
rc=$?
head -8 "$tmp/example.txt"
[ "$rc" = 0 ] || { echo "FAIL: read_temps.exe exit $rc"; exit 1; }
grep -q '^CH1: 64 units' "$tmp/example.txt" || { echo "FAIL: example did not list CH1"; exit 1; }
grep -A1 '^CH2: 1 units' "$tmp/example.txt" | grep -q '^  00  28[0-9A-F]\{14\}  +1.56250 C' ||
    { echo "FAIL: example CH2 unit 00 (13-bit form) should read +1.56250"; exit 1; }
