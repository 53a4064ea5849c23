# Shared set-up of the Wine cases, sourced by their scripts (bash, `set -u`).
# Every case:
#   win64_program [--skip-unbuilt] REL...
#                                   the programs REL of the win64 tree; $exe is the first. Skips
#                                   (77) when no win64 tree is configured for this run; one not
#                                   built fails the case (skips it with --skip-unbuilt)
#   fail TEXT
# A vokmon session (an Xvfb of its own, a Wine prefix of its own, voksim, the vokctl wrapper
# and screenshots):
#   wine_session_start [--keep] OUT PREFIX
#                                   out dir (the current directory; made empty unless --keep),
#                                   prefix name
#   start_voksim ARGS...            voksim with the bus and face options; waits for "ready"
#   voksim_port WORD                port on voksim's "listening" or "control" line
#   simctl LINE                     one line to voksim's control socket (--control); prints the answer
#   vokctl STEP...                  one vokctl.exe run; output in $last and appended to ctl.log
#   write_cfg TYPE PORT [IP]        vokcfg.cfg for converter TYPE (TCP PORT for type 4; IP 127.0.0.1)
#   cell N                          "X Y" of the centre of grid cell N in the main window
#   has LINE [WHY]                  $last has the line LINE, else the case fails
#   holds TEXT                      whether $last holds TEXT
#   shot NAME
# Needs VOK_WIN64_DIR, and for a session VOK_SOURCE_DIR and VOK_BUILD_DIR too (ctest sets all three).
src="${VOK_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
build="${VOK_BUILD_DIR:-}"
win="${VOK_WIN64_DIR:-}"
vokmon="$win/app/vokmon.exe"
ctl="$win/tests/ui/vokctl.exe"
voksim="$build/sim/voksim"
pids=()
xvfb_pid=""
last=""

fail() { echo "FAIL: $*"; exit 1; }

win64_program() {
    local skip="" f
    if [ "$1" = --skip-unbuilt ]; then skip=1; shift; fi
    if [ -z "$win" ] || [ ! -d "$win" ]; then
        echo "SKIP: no Windows x64 build tree (VOK_WIN64_DIR='$win')"
        exit 77
    fi
    exe="$win/$1"
    for f in "$@"; do
        [ -f "$win/$f" ] && continue
        [ -n "$skip" ] && { echo "SKIP: $win/$f not built; build the win64 configuration first"; exit 77; }
        fail "$win/$f not built"
    done
}

wine_session_cleanup() {
    # Children first (wine_run's time-out process, which ends vokmon), then our own jobs.
    for p in "${pids[@]}"; do
        for c in $(pgrep -P "$p" 2>/dev/null); do kill "$c" 2>/dev/null; done
        kill "$p" 2>/dev/null
    done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
}

wine_session_start() {
    local keep=""
    if [ "$1" = --keep ]; then keep=1; shift; fi
    out="$1"
    : "${VOK_SOURCE_DIR:?}" "${VOK_BUILD_DIR:?}"
    for f in "$vokmon" "$ctl" "$voksim"; do
        [ -e "$f" ] || fail "missing $f (build the win64 tree and voksim first)"
    done
    [ -n "$keep" ] || rm -rf "$out"
    mkdir -p "$out"
    cd "$out" || exit 1
    export VOK_BUILD_ROOT="$(dirname "$build")"
    export WINEPREFIX="$VOK_BUILD_ROOT/wineprefix-$2"
    trap wine_session_cleanup EXIT
    # Always an X server of our own: the screenshots show only vokmon, and nothing pops up on
    # the user's screen.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out/display" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do [ -s "$out/display" ] && break; sleep 0.1; done
    [ -s "$out/display" ] || fail "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$out/display" | tr -dc 0-9)"
    # shellcheck source=../../scripts/wine_env.sh
    source "$src/scripts/wine_env.sh" || exit 1
    # Wine draws the window frames itself, so the title bar shows without a window manager.
    "$VOK_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}

start_voksim() {
    "$voksim" "$@" >"$out/voksim.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 1 100); do grep -q '^ready' "$out/voksim.log" && return 0; sleep 0.1; done
    cat "$out/voksim.log"
    fail "voksim did not start"
}

voksim_port() { sed -n "s/^$1 .*:\([0-9]*\)\$/\1/p" "$out/voksim.log" | head -n1; }

simctl() {
    python3 - "$(voksim_port control)" "$1" <<'PY' | tee -a "$out/ctl.log"
import socket, sys
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=5)
s.sendall(sys.argv[2].encode() + b"\n")
print(s.makefile().readline().strip())
PY
}

vokctl() {
    last=$(timeout 200 "$VOK_WINE" "$ctl" "$@" 2>/dev/null)
    local rc=$?
    last=$(printf '%s\n' "$last" | tr -d '\r')
    printf '%s\n' "$last" | tee -a "$out/ctl.log"
    return $rc
}

has() { printf '%s\n' "$last" | grep -qxF -- "$1" || fail "${2:+$2: }expected '$1'"; }
holds() { printf '%s\n' "$last" | grep -qF -- "$1"; }
shot() { import -window root "$out/$1.png" || fail "screenshot $1"; }

# vokcfg.cfg: COM1, 9600 baud, converter type, IP (127.0.0.1), port, converter speed 9600, 50 ms.
write_cfg() {
    python3 - "$1" "$2" "${3:-127.0.0.1}" <<'PY'
import struct, sys
t, port, ip = int(sys.argv[1]), int(sys.argv[2]), bytes(int(x) for x in sys.argv[3].split("."))
open("vokcfg.cfg", "wb").write(struct.pack("<BBBB4sHBBhH", 1, 2, t, 0, ip, port, 2, 0, 50, 0))
PY
}

cell() { echo "$((20 + 82 * ($1 % 8) + 16)) $((20 + 82 * ($1 / 8) + 16))"; }
