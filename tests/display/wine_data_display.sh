#!/usr/bin/env bash
# The data display of vokmon.exe under Wine against voksim's demo bus, driven by vokctl.exe:
#   net: converter type 4 to voksim's TCP face on 127.0.0.1 (a free port);
#   com: COM1 linked to a voksim pty with an echoing converter.
# Opens the dialog by a double click on the first module and from the menu for others, reads
# a 1-Wire channel, starts and stops the refresh, saves the sensor list (checked byte by
# byte), lists an ITU channel and "ALL", and keeps screenshots of each in
# $VOK_BUILD_DIR/tests/display/wine-dd-<mode>/ (look at them: Chinese texts, aligned lines).
set -u
mode="${1:?usage: wine_data_display.sh net|com}"
# shellcheck source=../ui/wine_session.sh
source "${VOK_SOURCE_DIR:?}/tests/ui/wine_session.sh"
bus="$src/sim/buses/demo.json"
wine_session_start "$build/tests/display/wine-dd-$mode" "dd-$mode"

com_args=()
if [ "$mode" = net ]; then
    start_voksim "$bus" --no-stdin --tcp 127.0.0.1:0 --control 127.0.0.1:0
    port=$(voksim_port listening)
    [ -n "$port" ] || fail "no TCP port in voksim's output"
    write_cfg 4 "$port"
else
    start_voksim "$bus" --no-stdin --pty "$out/ttyVOK" --echo --control 127.0.0.1:0
    write_cfg 0 10001
    com_args=(--com "1=$out/ttyVOK")
fi

bash "$src/scripts/wine_run.sh" "${com_args[@]}" --timeout 280 -- "$vokmon" >"$out/vokmon.log" 2>&1 &
pids+=($!)

# Both lists of the current dialog hold the same number of lines (readings beside their IDs).
same_counts() {
    local a b
    a=$(printf '%s\n' "$last" | sed -n 's/^list 1020 count //p')
    b=$(printf '%s\n' "$last" | sed -n 's/^list 1021 count //p')
    [ -n "$a" ] && [ "$a" = "$b" ] && [ "$a" -gt 0 ] || fail "$1: ID list $a lines, reading list $b lines"
}

vokctl "wait-main 60000" "no-box 1500" || fail "vokmon did not come up cleanly"
vokctl "wait-main" "command 100" "dialog 214 10000" "sleep 300" "click 214" || fail "link dialog"
if [ "$mode" = net ]; then vokctl "box 20000" || fail "no connect notice"; fi
vokctl "wait-main" "dialog 300 20000" "click 300" || fail "search start"
vokctl "wait-main" "gone 300 150000" "sleep 1000" || fail "search did not end"

# Module 0x01 (model 4201): a double click on its cell opens the dialog on its first channel
# with units; CH2 holds 1-Wire units of several families.
vokctl "wait-main" "dblclick-xy $(cell 0)" "dialog 1043 20000" "sleep 500" "list 1020" "list 1021" \
    || fail "double click did not open the data display"
same_counts "opening"
vokctl "wait-main" "dialog 1043" "click-wait 1026 20000" "checked 1026" "list 1020" "list 1021" \
    || fail "channel 2"
holds "checked 1026 1" || fail "CH2 not checked"
same_counts "CH2"
units=$(printf '%s\n' "$last" | sed -n 's/^list 1020 count //p')
holds "00(" || fail "ID line prefix"
holds "℃" || fail "no temperature in the readings"
shot dd-1wire

# Start reads fresh lists before it returns; then one refresh period is watched go by.
vokctl "wait-main" "dialog 1043" "click-wait 1043 20000" "sleep 1600" "enabled 1043" "enabled 1044" "list 1021" \
    || fail "start refresh"
holds "enabled 1043 0" || fail "Start still enabled while refreshing"
holds "list 1021 count $units" || fail "refresh changed the number of reading lines"
vokctl "wait-main" "dialog 1043" "no-box 500" "click-wait 1044 10000" "enabled 1043" "enabled 1044" \
    || fail "stop refresh"
holds "enabled 1043 1" || fail "Start not enabled after Stop"
holds "enabled 1044 0" || fail "Stop still enabled after Stop"

# Start on a module gone silent: idle after it, and no refresh runs on to show a message
# (two refresh periods are watched for a box). On COM1 the ID read's time-out shows one
# message; through the network converter nothing arrives at all, which the ID list shows.
simctl "fault 01 silent on" | grep -q '^ok' || fail "silent fault"
if [ "$mode" = com ]; then
    vokctl "wait-main" "dialog 1043" "click 1043" "box 20000" "no-box 3500" "enabled 1043" "enabled 1044" \
        || fail "start on a silent module: $last"
    holds "box [系统提示] 模块未应答，请重试一次!" || fail "start on a silent module: no message"
else
    vokctl "wait-main" "dialog 1043" "click-wait 1043 30000" "no-box 3500" "enabled 1043" "enabled 1044" \
        || fail "start on a silent module: $last"
fi
holds "enabled 1043 1" || fail "Start not enabled after a failed start"
holds "enabled 1044 0" || fail "Stop enabled after a failed start"
simctl "fault 01 silent off" | grep -q '^ok' || fail "silent fault off"

vokctl "wait-main" "dialog 1043" "click-wait 1330 30000" "no-box 500" "click 1023" "gone 1043 10000" \
    || fail "save and exit"
[ -f model01.txt ] || fail "model01.txt not written"
xxd model01.txt >"$out/model01.xxd"
head -c 30 model01.txt | xxd | grep -q "0d0a 204d 6f64 656c 2061 6464 723a 3031" || fail "file head: $(head -c 40 model01.txt | xxd)"
grep -c $'\r$' model01.txt >/dev/null || fail "no CR LF line ends"
python3 - model01.txt <<'PY' || fail "sensor list layout"
import re, sys
b = open(sys.argv[1], "rb").read()
assert all(c < 0x80 for c in b), "not single-byte text"
heads = re.findall(rb"\r\n Model addr:01H, ch:(\d), num:(\d+)", b)
assert [int(h[0]) for h in heads] == list(range(8)), heads
lines = re.findall(rb"\d\d\((?:\d\d|--)\)->(?:[0-9A-F]{2} ){8}\r\n", b)
assert len(lines) == sum(int(h[1]) for h in heads), (len(lines), heads)
PY

# Module 0x06 (model 4560): an ITU channel, from the menu.
vokctl "wait-main" "click-xy $(cell 5)" "sleep 300" "command 103" "dialog 1043 20000" "sleep 500" \
    "list 1020" "list 1021" || fail "ITU module"
same_counts "ITU channel"
holds "ITU---" || fail "no ITU type text"
shot dd-itu
vokctl "wait-main" "dialog 1043" "click 1023" "gone 1043 10000" || fail "exit ITU"

# Module 0x08 (model 4562): all channels.
vokctl "wait-main" "click-xy $(cell 7)" "sleep 300" "command 103" "dialog 1043 20000" "sleep 500" \
    "click-wait 1032 20000" "checked 1032" "list 1020" "list 1021" || fail "ALL"
holds "checked 1032 1" || fail "ALL not checked"
same_counts "ALL"
shot dd-all
vokctl "wait-main" "dialog 1043" "click 1023" "gone 1043 10000" || fail "exit ALL"

vokctl "wait-main" "command 108" "wait-exit 20000" || fail "exit"
echo "PASS (screenshots and model01.xxd in $out)"
