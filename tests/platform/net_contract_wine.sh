#!/usr/bin/env bash
# The net contract on the Win32 backend: net_contract.exe under Wine, on loopback.
# Skips (77) only when no Windows x64 build tree is configured for this run; a tree without
# the program, or a missing Wine, is a failure (make test builds and installs both).
set -u
src="${VOK_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}"
if [ -z "${VOK_WIN64_DIR:-}" ] || [ ! -d "${VOK_WIN64_DIR}" ]; then
    echo "SKIP: no Windows x64 build tree (VOK_WIN64_DIR='${VOK_WIN64_DIR:-}')"
    exit 77
fi
exe="$VOK_WIN64_DIR/tests/platform/net_contract.exe"
[ -f "$exe" ] || { echo "FAIL: $exe not built"; exit 1; }
bash "$src/scripts/wine_run.sh" --timeout 120 -- "$exe"
