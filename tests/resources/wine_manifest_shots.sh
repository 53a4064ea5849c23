#!/usr/bin/env bash
# vokmon.exe under Wine with its manifest and, as before it had one, with the manifest hidden
# (the same file, its manifest's resource type renumbered): the main window, the link and
# search dialogs, the data display, the terminal, the curve view and its parameters dialog
# give the same screenshots pixel for pixel. Both runs and the differences are kept in
# $VOK_BUILD_DIR/tests/resources/wine-manifest/ (look at them).
set -u
# shellcheck source=../ui/wine_session.sh
source "${VOK_SOURCE_DIR:?}/tests/ui/wine_session.sh"
bus="$src/tests/resources/manifest_bus.json"
wine_session_start "$build/tests/resources/wine-manifest" vokmon-manifest

/usr/bin/python3 - "$vokmon" vokmon_plain.exe <<'PY' || fail "copy without the manifest"
import sys
import pefile
pe = pefile.PE(sys.argv[1])
types = [t for t in pe.DIRECTORY_ENTRY_RESOURCE.entries if t.struct.Id == 24]
assert len(types) == 1, "no manifest resource in vokmon.exe"
ids = [t.struct.Id for t in pe.DIRECTORY_ENTRY_RESOURCE.entries if t.name is None]
assert ids[-1] == 24, ids  # the lookup is a binary search: the type stays the last one
types[0].struct.Name = 0x7FFF  # the raw field: high bit clear, an ID
pe.write(sys.argv[2])
check = pefile.PE(sys.argv[2])
assert not [t for t in check.DIRECTORY_ENTRY_RESOURCE.entries if t.struct.Id == 24]
PY
cp "$vokmon" vokmon.exe

start_voksim "$bus" --no-stdin --tcp 127.0.0.1:0
port=$(voksim_port listening)
[ -n "$port" ] || fail "no TCP port in voksim's output"

names=()
# One session: the same steps and screenshots (NAME-<what>.png) for either program.
session() {
    local exe="$1" name="$2"
    write_cfg 4 "$port"
    bash "$src/scripts/wine_run.sh" --timeout 240 -- "$exe" >"$out/$name.log" 2>&1 &
    pids+=($!)
    vokctl "wait-main 60000" "no-box 1500" "sleep 500" || fail "$name did not come up cleanly"
    shot "$name-main"
    vokctl "wait-main" "command 100" "dialog 214 10000" "sleep 500" || fail "$name: dialog 1008"
    shot "$name-comm"
    vokctl "wait-main" "dialog 214" "click 214" "box 20000" "dialog 300 20000" "sleep 500" || fail "$name: link"
    shot "$name-search"
    # Both modules sit at the first addresses: the search is stopped once it found them.
    vokctl "wait-main" "dialog 300" "click 300" || fail "$name: search start"
    local found=""
    for _ in $(seq 1 60); do
        vokctl "wait-main" "dialog 300" "get-text 303" >/dev/null || break
        found=$(printf '%s\n' "$last" | sed -n 's/^text 303 *//p')  # " 02"
        [ "$found" = 02 ] && break
        sleep 0.5
    done
    [ "$found" = 02 ] || fail "$name: the search did not find both modules"
    vokctl "wait-main" "dialog 300" "click 301" "gone 300 20000" "sleep 800" || fail "$name: search stop"
    shot "$name-grid"
    vokctl "wait-main" "dblclick-xy 36 36" "dialog 1043 20000" "sleep 1500" || fail "$name: data display"
    shot "$name-data"
    vokctl "wait-main" "dialog 1043" "click 1023" "gone 1043 5000" "command 106" "dialog 222 10000" "sleep 500" \
        || fail "$name: terminal"
    shot "$name-terminal"
    vokctl "wait-main" "dialog 222" "click 220" "gone 222 5000" "command 105" "sleep 1500" || fail "$name: curve view"
    shot "$name-view"
    vokctl "wait-main" "command 1201" "dialog 1066 20000" "sleep 1000" || fail "$name: curve parameters"
    shot "$name-curve-params"
    vokctl "wait-main" "dialog 1066" "click 1066" "gone 1066 5000" "command 1202" "sleep 500" "command 108" \
        "wait-exit 20000" || fail "$name: exit"
    wait "${pids[-1]}"
}

session vokmon.exe manifest
session vokmon_plain.exe plain

bad=0
for f in manifest-*.png; do
    what="${f#manifest-}"
    px=$(compare -metric AE "$f" "plain-$what" "diff-$what" 2>&1)
    echo "${what%.png}: $px pixels differ"
    [ "$px" = 0 ] || bad=$((bad + 1))
done
[ "$bad" = 0 ] || fail "$bad screenshots differ with the manifest"
echo "PASS (screenshots in $out)"
