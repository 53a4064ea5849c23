#!/usr/bin/env bash
# The maintenance dialogs of vokmon.exe under Wine against voksim's network converter
# (demo bus), driven by vokctl.exe: the terminal (one request, one address with no module),
# the digital IO dialog of the 4500 (one output write, lamps of the inputs), the IO test of
# the 4501 (one output switched) and the reset with its countdown and the search after it.
# Every write is checked byte for byte in voksim's traffic log; screenshots are kept in
# $VOK_BUILD_DIR/tests/maintenance/wine/ (look at them: Chinese texts, lamps).
set -u
# shellcheck source=../ui/wine_session.sh
source "${VOK_SOURCE_DIR:?}/tests/ui/wine_session.sh"
bus="$src/sim/buses/demo.json"
[ -e "$bus" ] || fail "missing $bus"
wine_session_start "$build/tests/maintenance/wine" vokmon-maintenance

# Grid index of the first module of a model in the bus file (the search lists them by address).
index_of() {
    python3 - "$bus" "$1" <<'PY'
import json, sys
mods = json.load(open(sys.argv[1]))["modules"]
addrs = sorted(int(str(m["address"]), 0) for m in mods)
want = [int(str(m["address"]), 0) for m in mods if m.get("model") == int(sys.argv[2])][0]
print(addrs.index(want))
PY
}
i4500=$(index_of 4500)
i4501=$(index_of 4501)
i4201=$(index_of 4201)
i4562=$(index_of 4562)

start_voksim "$bus" --no-stdin --log --tcp 127.0.0.1:0 --control 127.0.0.1:0 --restart-scale 0.2
port=$(voksim_port listening)
cport=$(voksim_port control)
[ -n "$port" ] && [ -n "$cport" ] || fail "no ports in voksim's output"

# Traffic lines of voksim's log that hold a request (as hex) since the mark.
heard() { tail -n +"$mark" "$out/voksim.log" | grep -c -- "$1"; }
set_mark() { mark=$(($(wc -l <"$out/voksim.log") + 1)); }

write_cfg 4 "$port"

bash "$src/scripts/wine_run.sh" --timeout 280 -- "$vokmon" >"$out/vokmon.log" 2>&1 &
pids+=($!)

vokctl "wait-main 60000" "no-box 1500" || fail "vokmon did not come up cleanly"
vokctl "wait-main" "command 100" "dialog 214 10000" "click 214" "box 20000" || fail "link"
vokctl "wait-main" "dialog 300 20000" "click 300" "gone 300 150000" "sleep 500" || fail "search"

# Terminal: a name request, then an address where no module answers.
vokctl "wait-main" "command 106" "dialog 222 10000" "set-text 222 \$01M" "click 221" "sleep 1500" \
    "get-text 223" || fail "terminal"
has 'text 223 !01VOK4201' "terminal answer"
vokctl "wait-main" "dialog 222" "set-text 222 \$77M" "click 221" "sleep 6000" "get-text 223" || fail "terminal 2"
has 'text 223 No response!' "terminal silence"
vokctl "wait-main" "dialog 222" "set-text 222 \$01M" "click 221" "sleep 1500" || fail "terminal 3"
shot terminal-1010
vokctl "wait-main" "dialog 222" "click 220" "gone 222 5000" || fail "terminal exit"

# Digital IO of the 4500: inputs F0 (lamps 0-3 lit), boxes 0 checked -> the write /04 FE.
simctl "digital-in 04 0xF0" | grep -q '^ok' || fail "control digital-in"
vokctl "wait-main" "click-xy $(cell "$i4500")" "sleep 300" "command 109" "dialog 1090 10000" || fail "dialog 117"
set_mark
vokctl "wait-main" "dialog 1090" "check 1092 1092 1099" "click 1090" "sleep 1500" "get-text 1101" "get-text 1103" \
    || fail "digital IO refresh"
has 'text 1101 FE' "output byte"
has 'text 1103 F0' "input byte"
[ "$(heard '2F 30 34 FE 0D')" -ge 1 ] || fail "write /04 FE not heard"
[ "$(heard '23 30 34 30 0D')" -ge 1 ] || fail "read #040 not heard"
shot digital-io-117
vokctl "wait-main" "dialog 1090" "click 1091" "gone 1090 5000" || fail "digital IO exit"

# IO test of the 4501: switch the first ITU of CH0 off -> @050001, then its output state reads 1.
vokctl "wait-main" "click-xy $(cell "$i4501")" "sleep 300" "command 109" "dialog 146 10000" "sleep 1000" \
    "list 146" || fail "dialog 147"
printf '%s\n' "$last" | grep -q '^list 146 \[0\] 00(.*)->42 .*--1/0$' || fail "IO test line"
set_mark
vokctl "wait-main" "dialog 146" "check 143 142 143" "click 144" "sleep 2000" "list 146" || fail "IO test set"
printf '%s\n' "$last" | grep -q '^list 146 \[0\] .*--1/1$' || fail "output not switched"
[ "$(heard '40 30 35 30 30 30 31 0D')" -ge 1 ] || fail "switch @050001 not heard"
shot io-test-147
vokctl "wait-main" "dialog 146" "click 145" "gone 146 5000" || fail "IO test exit"

# The data display of the 4562: a double click on the temperature-humidity ITU of CH2 opens
# the ITU settings (offset +3 moved to +4 -> @082012A4), one on the output ITU of CH3 the ITU
# output dialog (output 0 on -> /0830101).
vokctl "wait-main" "click-xy $(cell "$i4562")" "sleep 300" "command 103" "dialog 1020 10000" "click 1026" \
    "sleep 2500" "list-dblclk 1020 0" "dialog 606 10000" "get-text 603" "get-text 605" || fail "dialog 165"
has 'text 603 01' "ITU address field"
has 'text 605 +3' "ITU offset field"
set_mark
vokctl "wait-main" "dialog 606" "vscroll 606 up" "sleep 300" "get-text 605" || fail "offset scroll"
has 'text 605 +4' "offset after the arrow"
shot itu-settings-165
vokctl "wait-main" "dialog 606" "click 600" "box 20000" || fail "ITU settings confirm"
printf '%s\n' "$last" | grep -q '下载成功' || fail "offset download"
[ "$(heard '40 30 38 32 30 31 32 41 34 0D')" -ge 1 ] || fail "offset @082012A4 not heard"
vokctl "wait-main" "dialog 1020" "click 1027" "sleep 2500" "list-dblclk 1020 0" "dialog 1422 10000" \
    "check 1423 1423 1430" "click 1420" "sleep 1500" "get-text 1422" || fail "dialog 158"
has 'text 1422 01' "ITU output value"
[ "$(heard '2F 30 38 33 30 31 30 31 0D')" -ge 1 ] || fail "output /0830101 not heard"
shot itu-output-158
vokctl "wait-main" "dialog 1422" "click 1421" "gone 1422 5000" "sleep 3000" "dialog 1020" "click 1023" \
    "gone 1020 10000" || fail "data display exit"

# Reset of the 4201 and its countdown; the search follows.
vokctl "wait-main" "click-xy $(cell "$i4201")" "sleep 300" "command 107" "dialog 1075 10000" "get-text 1075" \
    || fail "reset"
printf '%s\n' "$last" | grep -q '^text 1075 [0-9][0-9]$' || fail "countdown field"
shot reset-113
vokctl "wait-main" "gone 1075 60000" "dialog 300 10000" || fail "no search after the countdown"
vokctl "wait-main" "dialog 300" "click 300" "gone 300 150000" "sleep 500" || fail "search after reset"
shot main-after-reset
grep -q '26 30 31 39 0D' "$out/voksim.log" || fail "reset &019 not heard"

vokctl "wait-main" "command 108" "wait-exit 20000" || fail "exit"
echo "PASS (screenshots in $out)"
