#!/usr/bin/env bash
# Every Windows program and DLL that imports timeBeginPeriod also imports timeEndPeriod: a
# raised system timer resolution must be given back. Checks the x64 (and x86, when built)
# trees statically; exits 77 (skipped) when no Windows binary is found.
set -u
win64="${VOK_WIN64_DIR:-}"
dirs=()
[ -n "$win64" ] && [ -d "$win64" ] && dirs+=("$win64")
[ -n "$win64" ] && [ -d "$win64/../win32" ] && dirs+=("$win64/../win32")
[ ${#dirs[@]} -eq 0 ] && { echo "no Windows build tree: skipped"; exit 77; }
checked=0 failed=0
while IFS= read -r f; do
  imports=$(x86_64-w64-mingw32-objdump -p "$f" 2>/dev/null | grep -oE 'time(Begin|End)Period' | sort -u)
  checked=$((checked + 1))
  if grep -q timeBeginPeriod <<<"$imports" && ! grep -q timeEndPeriod <<<"$imports"; then
    echo "FAIL: $f imports timeBeginPeriod without timeEndPeriod"; failed=1
  elif grep -q timeBeginPeriod <<<"$imports"; then
    echo "ok: $f"
  fi
done < <(find "${dirs[@]}" -path '*/CMakeFiles' -prune -o \( -name '*.exe' -o -name '*.dll' \) -type f -print)
[ "$checked" -eq 0 ] && { echo "no Windows binary found: skipped"; exit 77; }
exit $failed
