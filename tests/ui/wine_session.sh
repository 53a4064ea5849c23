# Shared set-up of a vokmon Wine case, sourced by its script (bash, `set -u`): an Xvfb of
# its own, a Wine prefix of its own, voksim, the vokctl wrapper and screenshots.
#   wine_session_start [--keep] OUT PREFIX
#                                   out dir (the current directory; made empty unless --keep),
#                                   prefix name
#   start_voksim ARGS...            voksim with the bus and face options; waits for "ready"
#   voksim_port WORD                port on voksim's "listening" or "control" line
#   simctl LINE                     one line to voksim's control socket (--control); prints the answer
#   vokctl STEP...                  one vokctl.exe run; output in $last and appended to ctl.log
#   write_cfg TYPE PORT             vokcfg.cfg for converter TYPE (TCP PORT for type 4)
#   has LINE [WHY] / fail TEXT / shot NAME
# Needs VOK_SOURCE_DIR, VOK_BUILD_DIR and VOK_WIN64_DIR (set by ctest).
src="${VOK_SOURCE_DIR:?}"
build="${VOK_BUILD_DIR:?}"
win="${VOK_WIN64_DIR:-}"
vokmon="$win/app/vokmon.exe"
ctl="$win/tests/ui/vokctl.exe"
voksim="$build/sim/voksim"
pids=()
xvfb_pid=""
last=""

wine_session_cleanup() {
    # Children first (wine_run's time-out process, which ends vokmon), then our own jobs.
    for p in "${pids[@]}"; do
        for c in $(pgrep -P "$p" 2>/dev/null); do kill "$c" 2>/dev/null; done
        kill "$p" 2>/dev/null
    done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
}

fail() { echo "FAIL: $*"; exit 1; }

wine_session_start() {
    local keep=""
    if [ "$1" = --keep ]; then keep=1; shift; fi
    out="$1"
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
shot() { import -window root "$out/$1.png" || fail "screenshot $1"; }

# vokcfg.cfg: COM1, 9600 baud, converter type, 127.0.0.1, port, converter speed 9600, 50 ms.
write_cfg() {
    python3 - "$1" "$2" <<'PY'
import struct, sys
t, port = int(sys.argv[1]), int(sys.argv[2])
open("vokcfg.cfg", "wb").write(struct.pack("<BBBB4sHBBhH", 1, 2, t, 0, bytes([127, 0, 0, 1]), port, 2, 0, 50, 0))
PY
}
