#!/usr/bin/env bash
# Runs one Windows x64 program under Wine for a test, and never hangs.
#
#   scripts/wine_run.sh [--com N=PATH]... [--display-keep] [--timeout SECONDS] -- PROGRAM.exe [ARGS...]
#
# Contract (stable; tests are written against it):
# - Environment from scripts/wine_env.sh: the cached prefix $VOK_BUILD_ROOT/wineprefix
#   (VOK_BUILD_ROOT defaults to the parent of $VOK_BUILD_DIR, else <repo>/build), WINEDEBUG=-all,
#   the Chinese font linked; an Xvfb on a free display when DISPLAY is empty.
# - --com N=PATH: COMn inside Wine is the serial device PATH (a pty made by socat or by
#   voksim --pty); N is 1..256. The mapping (Wine's port registry value and the dosdevices
#   link) lives in the shared prefix, so each COMn is held under a lock for the whole run:
#   parallel tests that use the same COM number run one after the other, different
#   numbers run side by side. A pty has no modem lines: under Wine, RTS/DTR changes on it
#   report failure (EscapeCommFunction returns 0); the data path is unaffected.
# - --display-keep: leave the Xvfb this run started alive and print "DISPLAY=:n XVFB_PID=p"
#   on stderr (for screenshots after the run; the caller stops it).
# - --timeout SECONDS (default $VOK_WINE_TIMEOUT, else 120): the program is killed after it,
#   and the exit code is 124.
# - Runs `wine64 PROGRAM ARGS` in the current directory; PROGRAM may be a Linux path.
#   stdout/stderr of the program pass through. The exit code is the program's.
# - At the end it waits (up to 60 s) for the prefix's wineserver to finish, then stops the
#   Xvfb it started (past 60 s a detached watcher stops it when the server ends). It never
#   kills wine processes other than its own program.
# Exit codes of its own: 2 usage, 3 environment could not be prepared, 124 time-out.
set -u

coms=()
keep_display=0
limit="${VOK_WINE_TIMEOUT:-120}"
while [ $# -gt 0 ]; do
    case "$1" in
        --com) coms+=("${2:-}"); shift 2 || { echo "wine_run: --com needs N=PATH" >&2; exit 2; } ;;
        --com=*) coms+=("${1#--com=}"); shift ;;
        --display-keep) keep_display=1; shift ;;
        --timeout) limit="${2:-}"; shift 2 || { echo "wine_run: --timeout needs seconds" >&2; exit 2; } ;;
        --) shift; break ;;
        *) echo "wine_run: unknown option $1" >&2; exit 2 ;;
    esac
done
[ $# -ge 1 ] || { echo "usage: wine_run.sh [--com N=PATH]... [--display-keep] [--timeout S] -- PROGRAM.exe [ARGS...]" >&2; exit 2; }
case "$limit" in ''|*[!0-9]*|0) echo "wine_run: bad time-out '$limit'" >&2; exit 2 ;; esac  # 0 would mean none

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
unset VOK_XVFB_PID  # an X server started by the caller is the caller's to stop
# shellcheck source=wine_env.sh
source "$here/wine_env.sh" || exit 3

finish() {
    local rc=$1
    # The prefix's server ends a few seconds after its last program; Xvfb goes after it,
    # so no wine process of any test loses its display (the session's desktop process
    # lives on the display of whoever started it). When other tests keep the shared
    # prefix busy past a minute, a detached watcher stops the Xvfb once the server ends.
    if ! timeout 60 "$VOK_WINESERVER" -w 2>/dev/null && [ "$keep_display" != 1 ] && [ -n "${VOK_XVFB_PID:-}" ]; then
        setsid bash -c 'timeout 900 "$1" -w; kill "$2"' _ "$VOK_WINESERVER" "$VOK_XVFB_PID" \
            </dev/null >/dev/null 2>&1 &
        unset VOK_XVFB_PID
    fi
    if [ "$keep_display" = 1 ] && [ -n "${VOK_XVFB_PID:-}" ]; then
        echo "DISPLAY=$DISPLAY XVFB_PID=$VOK_XVFB_PID" >&2
    else
        vok_wine_stop_display
    fi
    exit "$rc"
}
trap 'finish 130' INT TERM

# Map and lock each COM port (fd 20, 21, ... hold the locks until this script exits).
fd=20
for mapping in ${coms[@]+"${coms[@]}"}; do
    n="${mapping%%=*}"
    path="${mapping#*=}"
    case "$n" in ''|*[!0-9]*) echo "wine_run: bad --com '$mapping'" >&2; finish 2 ;; esac
    if [ "$n" -lt 1 ] || [ "$n" -gt 256 ] || [ -z "$path" ] || [ "$path" = "$mapping" ]; then
        echo "wine_run: bad --com '$mapping'" >&2
        finish 2
    fi
    [ -e "$path" ] || { echo "wine_run: $path does not exist" >&2; finish 2; }
    # The path itself, made absolute, not what it points to now: a peer that makes its pty
    # anew under the same name (a converter unplugged and plugged in) is found on reopen.
    real="$(realpath -s "$path")"
    eval "exec $fd>\"\$WINEPREFIX/com$n.lock\""
    flock -w "$limit" "$fd" || { echo "wine_run: COM$n stayed busy" >&2; finish 3; }
    # Wine's mount manager rewrites dosdevices/comN from HKLM\Software\Wine\Ports (else
    # from the detected /dev/ttyS*) whenever a wine session starts. Setting the value also
    # starts the session; the link made after it holds until the program opens the port.
    timeout 60 "$VOK_WINE" reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /d "$real" /f >/dev/null 2>&1 ||
        { echo "wine_run: could not map COM$n" >&2; finish 3; }
    mkdir -p "$WINEPREFIX/dosdevices"
    ln -sfn "$real" "$WINEPREFIX/dosdevices/com$n"
    fd=$((fd + 1))
done

prog="$1"
shift
timeout -k 5 "$limit" "$VOK_WINE" "$prog" "$@"
rc=$?
if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then
    echo "wine_run: $prog killed after $limit s" >&2
    rc=124
fi
finish "$rc"
