#!/usr/bin/env bash
# libvok3900d.so over a real pseudo-terminal against voksim: exports, open, configuration,
# the records of a channel of 64 units, close; each call timed against its schedule.
# Then the Python ctypes example of driver/README.md against the same bus.
set -u
build="${VOK_BUILD_DIR:?VOK_BUILD_DIR not set}"
src="${VOK_SOURCE_DIR:?VOK_SOURCE_DIR not set}"
voksim="$build/sim/voksim"
lib="$build/driver/libvok3900d.so"
client="$build/tests/driver/driver_timing_client"
for f in "$voksim" "$lib" "$client"; do
    [ -e "$f" ] || { echo "FAIL: $f not built"; exit 1; }
done

tmp=$(mktemp -d)
sim_pid=""
cleanup() {
    [ -z "$sim_pid" ] || { kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; }
    rm -rf "$tmp"
}
trap cleanup EXIT

# start_sim LINK [voksim options]: voksim on the driver bus behind a pty at LINK.
start_sim() {
    local link=$1
    shift
    "$voksim" --bus "$src/tests/driver/bus_driver.json" --pty "$link" --no-stdin "$@" \
        </dev/null >"$tmp/voksim.log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 100); do
        [ -e "$link" ] && return 0
        sleep 0.05
    done
    echo "FAIL: voksim made no pty link"
    cat "$tmp/voksim.log"
    exit 1
}
stop_sim() {
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
    sim_pid=""
}

# A converter that echoes: every reply is read 5 bytes further on.
start_sim "$tmp/echo1" --echo
echo "--- echoing converter"
VOK3900D_COM1="$tmp/echo1" "$client" "$lib" 1 3 1 1 echo >"$tmp/echo.txt"
echo "timing_client exit code $?"
cat "$tmp/echo.txt"
python3 "$src/tests/driver/check_timing.py" "$tmp/echo.txt" --units 64 || exit 1
stop_sim

link="$tmp/com1"
start_sim "$link"
echo "--- plain converter"
VOK3900D_COM1="$link" "$client" "$lib" 1 3 1 1 >"$tmp/out.txt"
echo "timing_client exit code $?"
cat "$tmp/out.txt"
python3 "$src/tests/driver/check_timing.py" "$tmp/out.txt" --units 64 || exit 1

echo "--- C example (linked against the .so)"
example="$build/examples/read_temps"
if [ -x "$example" ]; then
    VOK3900D_COM1="$link" "$example" 1 3 1 >"$tmp/example.txt" 2>&1
    rc=$?
    head -8 "$tmp/example.txt"
    [ "$rc" = 0 ] || { echo "FAIL: read_temps exit $rc"; exit 1; }
    grep -q '^CH1: 64 units' "$tmp/example.txt" || { echo "FAIL: example did not list CH1"; exit 1; }
    grep -q '^  02  2803000000010083   +21.500 C' "$tmp/example.txt" ||
        { echo "FAIL: example CH0 unit 02"; exit 1; }
    grep -A1 '^CH2: 1 units' "$tmp/example.txt" | grep -q '^  00  28[0-9A-F]\{14\}  +1.56250 C$' ||
        { echo "FAIL: example CH2 unit 00 (13-bit form) should read +1.56250"; exit 1; }
else
    echo "FAIL: $example not built"; exit 1
fi

echo "--- python ctypes example"
VOK3900D_COM1="$link" python3 "$src/driver/read_temps.py" "$lib" 1 1 >"$tmp/py.txt" 2>&1
rc=$?
cat "$tmp/py.txt"
[ "$rc" = 0 ] || { echo "FAIL: read_temps.py exit $rc"; exit 1; }
[ "$(grep -c '^CH1 ' "$tmp/py.txt")" = 64 ] || { echo "FAIL: expected 64 CH1 readings"; exit 1; }
grep -q '^CH0 02 +21.500' "$tmp/py.txt" || { echo "FAIL: CH0 unit 02 should read +21.500"; exit 1; }
grep -q '^CH2 00 +1.56250$' "$tmp/py.txt" || { echo "FAIL: CH2 unit 00 (13-bit form) should read +1.56250"; exit 1; }
exit 0
