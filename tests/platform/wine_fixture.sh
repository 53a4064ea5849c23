#!/usr/bin/env bash
# The Wine fixture itself: exit codes pass through, a hanging program is killed at the
# time-out, parallel runs share the prefix, the prefix carries the font link.
# Skips (77) when the Windows x64 build tree or Wine is not there.
set -u
# shellcheck source=../ui/wine_session.sh
source "$(dirname "$0")/../ui/wine_session.sh"
win64_program --skip-unbuilt tests/platform/wine_fixture_probe.exe
run="$src/scripts/wine_run.sh"
failed=0
check() {  # check WHAT CONDITION...
    local what="$1"
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failed=$((failed + 1)); fi
}

bash "$run" -- "$exe" exit 7
check "program exit code passes through" test $? = 7

# Two runs at once in the shared prefix, each with its own display.
out1="$(mktemp)" out2="$(mktemp)"
bash "$run" -- "$exe" exit 3 >"$out1" 2>&1 &
p1=$!
bash "$run" -- "$exe" exit 4 >"$out2" 2>&1 &
p2=$!
wait $p1; r1=$?
wait $p2; r2=$?
check "parallel runs both complete" test "$r1:$r2" = "3:4"
rm -f "$out1" "$out2"

start=$(date +%s)
bash "$run" --timeout 3 -- "$exe" hang
rc=$?
took=$(( $(date +%s) - start ))
check "hanging program killed with 124 (took ${took} s)" test "$rc" = 124 -a "$took" -lt 70

# --display-keep leaves the Xvfb running and names it.
err="$(bash "$run" --display-keep -- "$exe" exit 0 2>&1 >/dev/null)"
pid="$(printf '%s\n' "$err" | sed -n 's/.*XVFB_PID=\([0-9]*\).*/\1/p' | tail -n1)"
check "kept display is reported and alive" test -n "$pid" -a -d "/proc/${pid:-0}"
[ -n "$pid" ] && kill "$pid" 2>/dev/null

check "bad usage is refused" bash -c "bash '$run' --com 1=/nonexistent -- '$exe' exit 0; test \$? = 2"

prefix="${WINEPREFIX:-${VOK_BUILD_ROOT:-$(dirname "${VOK_BUILD_DIR:-$src/build/native}")}/wineprefix}"
check "font linked into the prefix" test -e "$prefix/drive_c/windows/Fonts/wqy-microhei.ttc"
check "degree-sign font linked into the prefix" test -e "$prefix/drive_c/windows/Fonts/wqy-zenhei.ttc"
# Zen Hei must come first: Micro Hei's U+2103 is an empty glyph, and the first linked font
# that maps a character draws it.
for name in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "System"; do
    check "FontLink entry for $name" grep -qF "\"$name\"=str(7):\"wqy-zenhei.ttc,WenQuanYi Zen Hei\\0wqy-microhei.ttc,WenQuanYi Micro Hei\\0\"" "$prefix/system.reg"
done
echo "wine fixture: $failed failed"
[ "$failed" = 0 ]
