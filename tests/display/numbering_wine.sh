#!/usr/bin/env bash
# Sensor numbering in vokmon.exe under Wine against voksim (COM1 on a pty, echoing converter):
#   by hand: two new numbers, the download, the module reset and a new search, then the
#   numbers in the ID list;
#   automatic: the sort parameter dialog (scroll bar, a range message, range 0-3, enabled),
#   the refresh while voksim warms four units in turn, the refresh ending by itself.
# Screenshots in $VOK_BUILD_DIR/tests/display/wine-numbering/ (look at them).
set -u
# shellcheck source=../ui/wine_session.sh
source "${VOK_SOURCE_DIR:?}/tests/ui/wine_session.sh"
bus="$src/tests/display/numbering_bus.json"
wine_session_start "$build/tests/display/wine-numbering" numbering
start_voksim "$bus" --no-stdin --pty "$out/ttyVOK" --echo --control 127.0.0.1:0 --restart-scale 0.2

write_cfg 0 10001

bash "$src/scripts/wine_run.sh" --com "1=$out/ttyVOK" --timeout 280 -- "$vokmon" >"$out/vokmon.log" 2>&1 &
pids+=($!)

search() {
    vokctl "wait-main" "dialog 300 20000" "click 300" || fail "search start"
    vokctl "wait-main" "gone 300 150000" "sleep 1000" || fail "search did not end"
}
open_display() {
    vokctl "wait-main" "click-xy 36 36" "sleep 300" "command 103" "dialog 1043 20000" "sleep 800" \
        "list 1020" || fail "data display"
}

vokctl "wait-main 60000" "no-box 1500" || fail "vokmon did not come up cleanly"
vokctl "wait-main" "command 100" "dialog 214 10000" "sleep 300" "click 214" || fail "link dialog"
search

# ---- By hand: unit 1 gets 07, unit 3 gets 12 ----
open_display
holds "list 1020 [1] 01(02)->28 " || fail "ID line of unit 1"
vokctl "wait-main" "dialog 1043" "list-select 1020 1" "sleep 200" "set-text 1072 07" "click-wait 1070 10000" \
    "list-select 1020 3" "sleep 200" "set-text 1072 12" "click-wait 1070 10000" \
    "set-text 1072 65" "click 1070" "box 5000" "get-text 1072" "list 1020" || fail "numbers by hand"
holds "]  字符输入超范围(0~64)! " || fail "no range message for 65"
holds "text 1072 12" || fail "field 1072 not restored after 65"
printf '%s\n' "$last" | grep -q '^list 1020 \[1\] 01(02)->28 .*--07$' || fail "unit 1 has no --07"
printf '%s\n' "$last" | grep -q '^list 1020 \[3\] 03(04)->28 .*--12$' || fail "unit 3 has no --12"
shot numbering-by-hand

# Download: OK, "No" to the unchanged ones, success; the dialog closes and the reset follows.
vokctl "wait-main" "dialog 1043" "click 1074" "box 5000" "box 5000 no" "box 20000" "gone 1043 10000" \
    || fail "download"
grep -q "确定要下载新编码" "$out/ctl.log" || fail "first question missing"
grep -q "下载成功!,新编码须复位后才可生效!" "$out/ctl.log" || fail "no success message"
# The reset command 107 runs the module reset and its countdown, then the search opens.
# Nothing stands in for a reset that does not come: the new numbers must come from it.
vokctl "wait-main" "dialog 300 60000" || fail "the download's reset and search did not follow"
search
open_display
holds "list 1020 [1] 01(07)->" || fail "unit 1 does not show its new number after the reset"
holds "list 1020 [3] 03(12)->" || fail "unit 3 does not show its new number after the reset"
holds "list 1020 [0] 00(01)->" || fail "unit 0 lost its number"
shot numbering-after-reset

# ---- Automatic: parameters, then four units warmed in turn ----
vokctl "wait-main" "dialog 1043" "click 1310" "dialog 1313 10000" "sleep 300" "get-text 1318" \
    "vscroll 1313 up" "vscroll 1313 up" "sleep 300" "get-text 1318" "vscroll 1313 down" \
    "vscroll 1313 down" "sleep 300" "get-text 1318" || fail "sort parameter dialog"
grep -q "text 1318 +34.0℃" "$out/ctl.log" || fail "scroll up did not step the critical temperature"
holds "text 1318 +32.0℃" || fail "critical temperature not back at +32.0"
# A mouse click on the bar's lower arrow steps it as well (the bar's arrows are live).
vokctl "wait-main" "dialog 1313" "click-ctl 1313 4 18" "sleep 500" "get-text 1318" "click-ctl 1313 4 2" \
    "sleep 500" "get-text 1318" || fail "arrow click"
grep -q "text 1318 +31.0℃" "$out/ctl.log" || fail "a click on the lower arrow did not step down"
holds "text 1318 +32.0℃" || fail "a click on the upper arrow did not step up"
vokctl "wait-main" "dialog 1313" "set-text 1316 9" "set-text 1317 3" "click 1311" "box 5000" \
    "set-text 1316 0" "check 1319" "sleep 300" || fail "range message"
holds "起始序号输入超范围" || fail "no start range message"
shot sort-params
vokctl "wait-main" "dialog 1313" "click 1311" "gone 1313 5000" || fail "confirm"

vokctl "wait-main" "dialog 1043" "click-wait 1043 20000" "wait-enabled 1044 1 5000" || fail "start refresh"
simctl "warm 01 0 3 20 40 4 1 5 0" | grep -q '^ok' || fail "warm command"
# Unit 1 crosses last, about 17 s on: the refresh ends by itself with that readout.
vokctl "wait-main" "dialog 1043" "wait-enabled 1043 1 60000" "list 1020" "list-marked 1021" "get-text 1072" \
    || fail "automatic sort"
holds "enabled 1043 1" || fail "the refresh did not stop at the end number"
for pair in "4 00" "1 01" "5 02" "0 03"; do
    set -- $pair
    printf '%s\n' "$last" | grep -q "^list 1020 \[$1\] .*--$2\$" || fail "unit $1 did not get $2"
done
printf '%s\n' "$last" | grep -q '^list 1020 \[2\] .*--' && fail "unit 2 got a number without warming"
holds "list-marked 1021 0 1 4 5" || fail "the warm units are not marked in the reading list"
shot numbering-automatic

vokctl "wait-main" "dialog 1043" "click 1023" "gone 1043 10000" || fail "exit"
vokctl "wait-main" "command 108" "wait-exit 20000" || fail "exit"
echo "PASS (screenshots in $out)"
