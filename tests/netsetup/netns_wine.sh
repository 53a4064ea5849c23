#!/usr/bin/env bash
# Wine half of the namespace test (netns_test.sh wine runs it inside the host namespace):
# vokmon.exe with a prefix, wineserver and X server of its own, driven by vokctl.exe. Opens
# the converter list from the communication settings, checks both converters' lines, opens
# the IP setting dialog, moves the far converter into the host's subnet and opens the link to
# it, after giving the near one a typed address. Screenshots of dialogs 168 and 171 are kept in $NETNS_OUT/wine.
set -u
netns_out="${NETNS_OUT:?}"
# shellcheck source=../ui/wine_session.sh
source "${VOK_SOURCE_DIR:?}/tests/ui/wine_session.sh"
# A prefix of its own: its wineserver starts here, inside the namespace, and sees only the
# namespace's interfaces; it must not outlive the namespace either.
wine_session_start "$netns_out/wine" netns
trap 'wine_session_cleanup; timeout 20 "$VOK_WINESERVER" -k 2>/dev/null' EXIT

write_cfg 4 10001 10.77.1.50  # the network converter at 10.77.1.50:10001
bash "$src/scripts/wine_run.sh" --timeout 280 -- "$vokmon" >"$out/vokmon.log" 2>&1 &
pids+=($!)

vokctl "wait-main 60000" "command 100" "dialog 214 10000" "click 909" || fail "discovery button"
# The dialog shows after the discovery: two interfaces, two queries, about 4 s.
vokctl "dialog 910 30000" "sleep 500" "get-text 1296" "get-text 1297" "list 910" || fail "dialog 168"
shot dialog-168
has "text 1296 10.77.1.1--10.77.2.1--"
has "text 1297 255.255.255.0--255.255.255.0--"
has "list 910 [0]  0-10.77.1.50<10.77.1.1>   -10001- 9600 <00204A-123450>"
has "list 910 [1]  1-172.16.88.60<10.77.2.1>   -10001- 9600 <00204A-123460>"

# IP setting for the near converter: the question, dialog 171 with its address; a broadcast
# address is refused; leave it.
vokctl "dialog 910" "list-select 910 0" "click 1307" "box 10000" "dialog 1201 10000" "sleep 500" "get-text 1201" \
    || fail "dialog 171"
has "box [系统提示] 确定要修改VOK445X模块的IP地址?"
has "text 1201 10.77.1.50"
shot dialog-171
vokctl "dialog 1201" "set-text 1201 10.77.1.255" "click 1199" "box 10000" || fail "broadcast address"
has "box [错误提示] IP地址为本局域网广播地址,请重新输入!"
# A free address passes the ARP probe (the helper library taken by name) and is sent; after
# the 9 s wait the list closes and the settings dialog shows the new address.
vokctl "dialog 1201" "set-text 1201 10.77.1.77" "click 1199" "box 20000" || fail "manual address"
has "box [系统提示] IP参数修改完毕! 请等待8-10秒..."
vokctl "gone 910 20000" "dialog 214 5000" "get-text 900" || fail "back in 1008 after the manual address"
has "text 900 10.77.1.77"
grep -q '^moved 10.77.1.50 -> 10.77.1.77 (device moved)' "$netns_out/voksim.log" || fail "near converter did not move"
vokctl "dialog 214" "click 909" "dialog 910 30000" "sleep 500" "list 910" || fail "dialog 168 again"
has "list 910 [0]  0-10.77.1.77<10.77.1.1>   -10001- 9600 <00204A-123450>"

# OK on the far converter: it is offered a move into the host's subnet; yes.
vokctl "dialog 910" "list-select 910 1" "click 911" "box 10000" "box 10000" || fail "move question"
has "box [错误提示] IP地址与本机地址不在同一个子网中,是否修改IP地址?"
has 'box [系统提示] VOK445X IP修改完毕!\r\n请等待8-10秒后重新运行<搜索IP参数...>'
# After the 9 s wait the settings dialog shows the converter it took.
vokctl "gone 910 20000" "dialog 214 5000" "get-text 900" "get-text 901" "get-text 908" || fail "back in 1008"
has "text 900 172.16.88.60"
has "text 908 9600"
for _ in $(seq 1 50); do grep -q '^moved 172.16.88.60 -> 10.77.2.100' "$netns_out/voksim.log" && break; sleep 0.2; done
grep -q '^moved 172.16.88.60 -> 10.77.2.100 (device moved)' "$netns_out/voksim.log" || fail "voksim did not move"

# The link opens to the moved converter.
vokctl "dialog 214" "set-text 900 10.77.2.100" "click 214" "box 20000" || fail "open"
has 'box [系统提示] Domain Name/IP = 10.77.2.100 < 10.77.2.100 >  \r\n已连接, 按<确认>键继续! '
shot main-after-open
vokctl "dialog 300 20000" "click 301" "sleep 500" || true
vokctl "wait-main" "command 108" "wait-exit 20000" || true
echo "PASS (screenshots in $out)"
