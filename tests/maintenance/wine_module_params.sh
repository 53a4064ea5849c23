#!/usr/bin/env bash
# vokmon.exe under Wine on COM1 (a voksim pty with an echoing converter), driven by vokctl.exe:
# the module parameters dialog opened by a right click writes a new address and 19200 baud,
# the port follows and the next search finds the module there; the same dialog opened from
# menu 102 shows the alarm thresholds and switches a module to search mode with the
# countdown. Screenshots in $VOK_BUILD_DIR/tests/maintenance/wine-params/ (look at them).
set -u
# shellcheck source=../ui/wine_session.sh
source "${VOK_SOURCE_DIR:?}/tests/ui/wine_session.sh"
bus="$src/tests/maintenance/wine_bus.json"
wine_session_start "$build/tests/maintenance/wine-params" vokmon-params
start_voksim "$bus" --no-stdin --pty "$out/ttyVOK" --echo --log
write_cfg 0 10001

bash "$src/scripts/wine_run.sh" --com "1=$out/ttyVOK" --timeout 280 -- "$vokmon" >"$out/vokmon.log" 2>&1 &
pids+=($!)

search() {
    vokctl "wait-main" "dialog 300 20000" "click 300" "gone 300 150000" "sleep 500" || fail "search $1"
}

vokctl "wait-main 60000" "command 100" "dialog 214 10000" "click 214" || fail "link not opened"
search first

# Right click on the first module (0x01, model 4562): the fault advice, then the dialog.
vokctl "wait-main" "click-xy 36 36" "sleep 300" "rclick-xy 36 36" "box 10000" || fail "no fault advice"
printf '%s\n' "$last" | grep -q "此模块某通道有错误(或警告)!" || fail "fault advice text"
vokctl "dialog 1100 10000" "sleep 500" "get-text 1104" "get-text 1105" "get-text 1170" "get-text 1171" \
    "get-text 1308" "shown 1110" "shown 1112" "shown 1273" "shown 1271" "shown 1172" "shown 1173" \
    "shown 1162" "shown 1150" "shown 1331" || fail "dialog 1011"
shot dialog-1011-4562
for want in "text 1104 VOK4562" "text 1105 01" "text 1170 12" "text 1171 01-04" "text 1308 搜索模式" \
    "shown 1110 1" "shown 1112 0" "shown 1273 1" "shown 1271 0" "shown 1172 1" "shown 1173 0" \
    "shown 1162 1" "shown 1150 0" "shown 1331 0"; do
    has "$want"
done

# One write: address 21, 19200 baud.
vokctl "dialog 1100" "set-text 1105 21" "select 1107 3" "sleep 300" "click 1100" "box 10000" "box 20000" \
    || fail "write"
printf '%s\n' "$last" | grep -q "是否修改模块配置?" || fail "no question"
printf '%s\n' "$last" | grep -q "设定成功,须按新波特率重新查找模块!" || fail "no success message"
grep -qF '%0121400700' "$out/voksim.log" || fail "write request not on the bus"
vokctl "wait-main" "title" || fail "title"
has "title VOK3900 WIN9x/XP  V2.95  2016.11.25  COM1,Baud19200 [VOK4420]"
search "at 19200"
grep -qF '!21VOK4562' "$out/voksim.log" || fail "module not found at its new address"
shot main-after-write

# At 19200 the 4103 at 0x02 (already at that speed) comes first, then the 4562 at 0x21.
grep -qF '!02VOK4103' "$out/voksim.log" || fail "the 19200 baud module was not found"
# Menu 102 on the first module of the new table (0x02, model 4103): alarms, then the mode switch.
vokctl "wait-main" "command 102" "dialog 1100 10000" "get-text 1104" "shown 1181" "shown 1331" \
    || fail "menu 102"
has "text 1104 VOK4103"
has "shown 1331 1"
shot dialog-1011-4103
vokctl "dialog 1100" "click 1181" "dialog 1194 10000" "sleep 500" "get-text 1182" "get-text 1183" \
    "get-text 1188" "get-text 1192" || fail "alarm dialog"
for want in "text 1182 +35" "text 1183 -08" "text 1188  80" "text 1192  E0"; do has "$want"; done
shot dialog-1198
vokctl "dialog 1194" "click 1194" "gone 1194 5000" "dialog 1100" "click 1331" "dialog 1299 10000" \
    "sleep 500" "get-text 1298" || fail "mode dialog"
has "text 1298  1"
shot dialog-169
vokctl "dialog 1299" "click 1301" "dialog 1302 10000" "sleep 1500" "get-text 1302" || fail "countdown"
shot dialog-170
grep -qF '$02N' "$out/voksim.log" || fail "mode switch request not on the bus"
vokctl "gone 1302 30000" "gone 1100 5000" || fail "countdown did not end"
search "after the mode switch"

vokctl "wait-main" "command 108" "wait-exit 20000" || fail "exit"
echo "PASS (screenshots in $out)"
