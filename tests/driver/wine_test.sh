#!/usr/bin/env bash
# The x64 vok3900d.dll under Wine: a C client loads it with LoadLibrary, finds the 13
# exports by name and by ordinal, and over COM1 (linked to a voksim pty) opens the port,
# reads the configuration and a channel of 64 units, and closes; each call is timed.
# Skipped (77) when the win64 build tree is absent.
set -u
# shellcheck source=../ui/wine_session.sh
source "${VOK_SOURCE_DIR:?VOK_SOURCE_DIR not set}/tests/ui/wine_session.sh"
: "${VOK_BUILD_DIR:?VOK_BUILD_DIR not set}"
win64_program --skip-unbuilt driver/vok3900d.dll tests/driver/vok3900d_timing_client.exe
dll="$win/driver/vok3900d.dll"
client="$win/tests/driver/vok3900d_timing_client.exe"
[ -x "$voksim" ] || fail "$voksim not built"

tmp=$(mktemp -d)
out="$tmp"
link="$tmp/com1"
trap 'wine_session_cleanup; rm -rf "$tmp"' EXIT
start_voksim --bus "$src/tests/driver/bus_driver.json" --pty "$link" --no-stdin </dev/null

# The DLL is found in the current directory, as an application would find it beside itself.
cd "$(dirname "$dll")" || exit 1
bash "$src/scripts/wine_run.sh" --com "1=$link" -- "$client" vok3900d.dll 1 3 1 1 >"$tmp/out.txt"
rc=$?
cat "$tmp/out.txt"
[ "$rc" = 0 ] || fail "client exit code $rc"
python3 "$src/tests/driver/check_timing.py" "$tmp/out.txt" --units 64 --late "${VOK_WINE_LATE_MS:-25}" || exit 1

# The C example, linked through the import library.
example="$win/examples/read_temps.exe"
[ -f "$example" ] || fail "$example not built"
bash "$src/scripts/wine_run.sh" --com "1=$link" -- "$example" 1 3 1 >"$tmp/example.txt" 2>&1
rc=$?
head -8 "$tmp/example.txt"
[ "$rc" = 0 ] || fail "read_temps.exe exit $rc"
grep -q '^CH1: 64 units' "$tmp/example.txt" || fail "example did not list CH1"
grep -A1 '^CH2: 1 units' "$tmp/example.txt" | grep -q '^  00  28[0-9A-F]\{14\}  +1.56250 C' ||
    fail "example CH2 unit 00 (13-bit form) should read +1.56250"
