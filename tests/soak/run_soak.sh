#!/usr/bin/env bash
# make soak: CYCLES open / exchange / close cycles of the library and of vokmon's link against
# voksim on a pty, natively under ASan/LeakSanitizer (descriptor counts before and after) and,
# when the Windows x64 build exists, under Wine (handle counts).
# Usage: run_soak.sh ASAN_BUILD_DIR WIN64_BUILD_DIR CYCLES
set -u
asan=$(cd "$1" && pwd)
win64=$2
cycles=$3
src=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$tmp"' EXIT

start_sim() {
  "$asan/sim/voksim" "$src/tests/link/link_bus.json" --no-stdin --pty "$tmp/com1" >"$tmp/voksim.log" 2>&1 &
  sim=$!
  for _ in $(seq 100); do [ -e "$tmp/com1" ] && return 0; sleep 0.1; done
  echo "voksim did not make its pty"; exit 1
}

start_sim
rc=0
echo "== native, ASan/LeakSanitizer"
ASAN_OPTIONS=detect_leaks=1 VOK_COM1="$tmp/com1" VOK3900D_COM1="$tmp/com1" \
  nice -n 10 "$asan/tests/soak/soak" "$cycles" || rc=1
if [ -x "$win64/tests/soak/soak.exe" ]; then
  echo "== Windows x64 under Wine"
  timeout $((cycles / 2 + 600)) "$src/scripts/wine_run.sh" --com "1=$tmp/com1" --timeout $((cycles / 2 + 500)) \
    -- "$win64/tests/soak/soak.exe" "$cycles" || rc=1
else
  echo "== no Windows x64 build: Wine soak skipped"
fi
exit $rc
