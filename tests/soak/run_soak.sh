#!/usr/bin/env bash
# make soak: CYCLES open / exchange / close cycles of the library and of vokmon's link against
# voksim on a pty, natively under ASan/LeakSanitizer (descriptor counts before and after) and,
# when the Windows x64 build exists, under Wine (handle counts). The two run side by side,
# each on a simulated bus of its own: every cycle mostly waits on the line, so together they
# take the time of one.
# Usage: run_soak.sh ASAN_BUILD_DIR WIN64_BUILD_DIR CYCLES
set -u
asan=$(cd "$1" && pwd)
win64=$2
cycles=$3
src=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
sims=()
trap 'kill "${sims[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"' EXIT

# start_sim NAME: a voksim on the pty $tmp/NAME.
start_sim() {
  "$asan/sim/voksim" "$src/tests/link/link_bus.json" --no-stdin --pty "$tmp/$1" >"$tmp/$1.sim.log" 2>&1 &
  sims+=($!)
  for _ in $(seq 100); do [ -e "$tmp/$1" ] && return 0; sleep 0.1; done
  echo "voksim did not make its pty $1"; exit 1
}

start_sim native
ASAN_OPTIONS=detect_leaks=1 VOK_COM1="$tmp/native" VOK3900D_COM1="$tmp/native" \
  nice -n 10 "$asan/tests/soak/soak" "$cycles" >"$tmp/native.log" 2>&1 &
native=$!
wine=
if [ -x "$win64/tests/soak/soak.exe" ]; then
  start_sim wine
  # A library cycle and a link cycle take well under a second together under Wine.
  timeout $((cycles + 600)) "$src/scripts/wine_run.sh" --com "1=$tmp/wine" --timeout $((cycles + 500)) \
    -- "$win64/tests/soak/soak.exe" "$cycles" >"$tmp/wine.log" 2>&1 &
  wine=$!
fi

rc=0
wait $native || rc=1
echo "== native, ASan/LeakSanitizer"
cat "$tmp/native.log"
if [ -n "$wine" ]; then
  wait $wine || rc=1
  echo "== Windows x64 under Wine"
  cat "$tmp/wine.log"
else
  echo "== no Windows x64 build: Wine soak skipped"
fi
exit $rc
