#!/usr/bin/env bash
# The demo's round through vokmon without a display, run by scripts/demo.sh (inside the host
# network namespace when there is one): an Xvfb and a Wine prefix of its own, vokmon from
# $DEMO_DIR (its vokcfg.cfg names the converter), driven by the automation helper. Every
# step leaves NN-name.png and one line of record.tsv:
#   file, kind (dialog|main|file), dialog id / main / source file, what was in front when the
#   picture was taken (caption as the helper read it), its screen rectangle, menu, what it shows.
# Every wait polls the window it waits for, with a deadline; a step that fails ends the demo.
set -euo pipefail
demo="${DEMO_DIR:?}"
root="${DEMO_ROOT:?}"
ctl="${DEMO_CTL:?}"
vokmon="${DEMO_VOKMON:?}"
modules="${DEMO_MODULES:?}"       # how many modules the bus has
curve_px="${DEMO_CURVE_PX:-170}"  # how far the curves run across the 600-pixel plot (2 a sample)
cd "$demo"

xvfb_pid=""
vok_pid=""
finish() {
    local rc=$?
    set +e  # every clean-up step runs; the round's own result stands
    if [ -n "$vok_pid" ]; then
        for c in $(pgrep -P "$vok_pid" 2>/dev/null); do kill "$c" 2>/dev/null || true; done
        kill "$vok_pid" 2>/dev/null || true
        wait "$vok_pid" 2>/dev/null || true
    fi
    # The prefix's server must not outlive a namespace that is about to go.
    [ -n "${VOK_WINESERVER:-}" ] && timeout 20 "$VOK_WINESERVER" -k 2>/dev/null
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
    exit "$rc"
}
trap finish EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$demo/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$demo/display" ] && break; sleep 0.1; done
[ -s "$demo/display" ] || { echo "demo: Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$demo/display" | tr -dc 0-9)"
# A prefix of its own: its server starts in this namespace, and Wine draws the window
# frames (there is no window manager).
export WINEPREFIX="$VOK_BUILD_ROOT/wineprefix-demo"
# shellcheck source=wine_env.sh
source "$root/scripts/wine_env.sh"
"$VOK_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true

bash "$root/scripts/wine_run.sh" --timeout 600 -- "$vokmon" >"$demo/vokmon.log" 2>&1 &
vok_pid=$!

last=""
# One run of the helper; its output in $last and ctl.log. Ends the demo when a step fails.
v() {
    local rc=0
    last=$(timeout 300 "$VOK_WINE" "$ctl" "$@" 2>/dev/null | tr -d '\r') || rc=$?
    printf '%s\n' "$last" >>"$demo/ctl.log"
    if [ "$rc" != 0 ]; then
        printf '%s\n' "$last"
        import -window root "$demo/failed.png" 2>/dev/null || true
        echo "demo: a step failed: $*  (the screen then: $demo/failed.png)"
        exit 1
    fi
}
need() { printf '%s\n' "$last" | grep -qF -- "$1" || { printf '%s\n' "$last"; echo "demo: expected '$1'"; exit 1; }; }
elapsed() { printf '%4ds' $(($(date +%s) - ${DEMO_STARTED:-$(date +%s)})); }
cell() { echo "$((20 + 82 * ($1 % 8) + 16)) $((20 + 82 * ($1 / 8) + 16))"; }
# Selects the module at grid index $1 (the search lists modules by address).
pick() { v "wait-main" "click-xy $(cell "$1")" "front"; }

# shot NAME KIND ID MENU WHAT: the screen, then what is in front, as one record line.
shot() {
    local name="$1" kind="$2" id="$3" menu="$4" what="$5" front caption rect
    import -window root "$demo/$name.png"
    v "wait-main" "front"
    front=$(printf '%s\n' "$last" | grep '^front ')
    caption=$(printf '%s\n' "$front" | sed 's/^front [a-z]* \[\(.*\)\] [-0-9]* [-0-9]* [-0-9]* [-0-9]*$/\1/')
    rect=$(printf '%s\n' "$front" | awk '{ print $(NF-3) " " $(NF-2) " " $(NF-1) " " $NF }')
    printf '%s.png\t%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$kind" "$id" "$caption" "$rect" "$menu" "$what" >>"$demo/record.tsv"
    echo "  $(elapsed) $name.png: $caption"
}

echo "demo: vokmon under Xvfb $DISPLAY, driven by the automation helper"
v "wait-main 90000" "no-box 1500"
shot 01-main main main "vokmon.exe" "vokmon has started: the menu bar and an empty module area"

v "wait-main" "command 100" "dialog 214 10000"
shot 02-comm-settings dialog 1008 "通讯(com)" \
    "Communication settings: converter VOK4450(NET<->485), the converter's IP and port"

if [ "${DEMO_CONVERTER_LIST:-0}" = 1 ]; then
    v "wait-main" "dialog 214" "click 909" "dialog 910 30000" "wait-list 910 1 10000" "list 910"
    need "list 910 [0]  0-10.78.1.50<10.78.1.1>"
    shot 03-converter-list dialog 168 "通讯(com) → 搜索 IP 参数..." \
        "The converter list: the network converter found by its broadcast answer, with IP, port, speed and MAC"
    # Taking the line fills the settings with that converter.
    v "dialog 910" "list-select 910 0" "click 911" "gone 910 15000" "dialog 214 5000" "get-text 900"
    need "text 900 10.78.1.50"
fi

v "wait-main" "dialog 214" "click 214" "box 20000"
need "已连接"
v "wait-main" "dialog 300 20000" "click 300" "wait-number 303 5 60000"
shot 04-search dialog 1009 "通讯(com) → 打开, then 开始" \
    "The module search walks the addresses 00-FF and counts the modules that answer"
# As a technician who knows the bus does: once all its modules are found, 停止 ends the scan
# (the rest of the addresses would take most of a minute); their parameters are read then.
v "wait-main" "dialog 300" "wait-number 303 $modules 120000" "click 301" "gone 300 60000"
shot 05-modules main main "after the search" "The modules found, one icon each, by address; a click selects one"

# Module 01 (4201): 1-Wire temperatures on CH0, the refresh running, then stopped.
pick 0
v "wait-main" "command 103" "dialog 1043 20000" "wait-list 1021 4 10000" "click 1043" "wait-enabled 1043 0 5000" \
    "list 1021"
need "℃"
shot 06-data-refresh dialog 111 "数据(data)" \
    "Data display of module 01, CH0: sensor IDs and temperatures, the refresh running (刷新启动 greyed)"
v "wait-main" "dialog 1043" "click 1044" "wait-enabled 1043 1 10000"
shot 07-data-stopped dialog 111 "数据(data) → 刷新停止" "The refresh stopped: the last readings stay"

# Sensor number by hand: unit 1 gets 07 (shown with --07; nothing is downloaded).
v "wait-main" "dialog 1043" "list-select 1020 1" "wait-text 1073 5000 01" "set-text 1072 07" "click 1070" "wait-line 1020 1 5000 --07"
shot 08-number-by-hand dialog 111 "数据(data) → 新编号, 编号设定" \
    "A sensor number set by hand: the ID line ends with --07 until 编号下载 sends it"

# CH3 of the same module: temperature and humidity sensors.
v "wait-main" "dialog 1043" "click 1027" "wait-line 1021 0 10000 %" "list 1021"
shot 09-data-humidity dialog 111 "数据(data) → CH3" "Humidity sensors: temperature and relative humidity per sensor"
v "wait-main" "dialog 1043" "click 1023" "gone 1043 10000"

# Module 08 (4562): every channel with its ITUs.
pick 7
v "wait-main" "command 103" "dialog 1043 20000" "wait-list 1021 1 10000" "click 1032" "wait-list 1021 10 20000" \
    "list 1020"
need "ITU"
shot 10-data-itu-all dialog 111 "数据(data) → ALL" \
    "Module 08 with ITUs: all channels in one list, each ITU with its kind and reading"
v "wait-main" "dialog 1043" "click 1023" "gone 1043 10000"

# Module 0A (3903): curves at 0.5 s a sample, then the snapshot file. The module reports a
# warning, so the view opens with the fault advice, answered here.
pick 9
v "wait-main" "command 105" "box 10000"
need "此模块某通道有警告!"
# The module reads 45-97 ℃: the axis goes to 40-100 ℃, 0.5 ℃ an arrow click, the end first
# (the start stays below it).
axis=()
for _ in $(seq 1 130); do axis+=("vscroll 1059 up"); done
for _ in $(seq 1 50); do axis+=("vscroll 1058 up"); done
v "wait-main" "main-shown 1200 10000" "command 1201" "dialog 1066 20000" "${axis[@]}" "vscroll 1062 down" \
    "vscroll 1062 down" "wait-text 1063 3000 0.5" "wait-text 1061 5000 +100.0" "wait-text 1060 5000 +40.0"
shot 11-curve-params dialog 110 "实时(real) → 参 数" \
    "Curve parameters: the channel, the sensors of the four curves, the axis ranges and the sampling step"
v "wait-main" "dialog 1066" "click 1066" "gone 1066 5000" "command 1200" \
    "wait-curve $((80 + curve_px)) 51 448 $((curve_px * 600))"
shot 12-curve-sampling main main "实时(real) → 启 动" \
    "The curve view sampling module 0A: four sensors, one curve each, 40-100 ℃, the time axis in seconds"
rm -f 3900wave.bmp
v "wait-main" "command 1203" "no-box 2000"
for _ in $(seq 1 100); do [ -s 3900wave.bmp ] && break; sleep 0.1; done
[ -s 3900wave.bmp ] || { echo "demo: 3900wave.bmp was not written"; exit 1; }
convert 3900wave.bmp 13-curve-snapshot.png
printf '13-curve-snapshot.png\tfile\t3900wave.bmp\t3900wave.bmp\t0 0 0 0\t%s\t%s\n' "实时(real) → 曲线存盘" \
    "The snapshot file 3900wave.bmp beside vokmon.exe, as any picture viewer shows it" >>"$demo/record.tsv"
echo "  $(elapsed) 13-curve-snapshot.png: 3900wave.bmp"
v "wait-main" "command 1200" "command 1202"

# Module 03 (4103): module parameters, then its storage/search mode dialog.
pick 2
v "wait-main" "command 102" "dialog 1100 10000" "wait-text 1104 10000 VOK4103" "shown 1331"
shot 14-module-params dialog 1011 "参数(cof)" \
    "Module parameters: name, type, version, mode, address and baud rate, channel states and faults"
v "dialog 1100" "click 1331" "dialog 1299 10000" "get-text 1298"
shot 15-storage-mode dialog 169 "参数(cof) → 存储..." "Storage or search mode of the module's ports"
v "dialog 1299" "click 1300" "gone 1299 5000" "dialog 1100" "click 1102" "gone 1100 5000"

# Terminal: one request and its answer.
v "wait-main" "command 106" "dialog 222 10000" "set-text 222 \$01M" "click 221" "wait-text 223 10000 !01"
need "text 223 !01VOK4201"
shot 16-terminal dialog 1010 "IO测试(test) → 终端(term)" "The terminal: request \$01M and the module's answer, its name"
v "wait-main" "dialog 222" "click 220" "gone 222 5000"

# Module 04 (4500): digital inputs and outputs.
pick 3
v "wait-main" "command 109" "dialog 1090 10000" "click 1090" "wait-text 1103 10000 F0"
shot 17-digital-io dialog 117 "IO测试(test) → 开入开出( IO)" \
    "Digital IO of module 04: the output byte and boxes, the inputs with their lamps"
v "wait-main" "dialog 1090" "click 1091" "gone 1090 5000"

v "wait-main" "command 108" "wait-exit 20000"
wait "$vok_pid" 2>/dev/null || true
vok_pid=""
