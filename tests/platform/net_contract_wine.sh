#!/usr/bin/env bash
# The net contract on the Win32 backend: net_contract.exe under Wine, on loopback.
# Skips (77) only when no Windows x64 build tree is configured for this run; a tree without
# the program, or a missing Wine, is a failure (make test builds and installs both).
set -u
# shellcheck source=../ui/wine_session.sh
source "$(dirname "$0")/../ui/wine_session.sh"
win64_program tests/platform/net_contract.exe
bash "$src/scripts/wine_run.sh" --timeout 120 -- "$exe"
