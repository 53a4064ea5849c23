#!/usr/bin/env bash
# Checks that every .exe and .dll under DIST/win64 and DIST/win32 imports only system DLLs
# or DLLs shipped beside it (no libstdc++, libgcc or winpthread: those are linked statically).
#   scripts/check_imports.sh [DIST]     DIST defaults to <repo>/dist
# Exit: 0 all clean, 1 a binary imports something else, 77 nothing to check (skip).
set -u
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
dist="${1:-${VOK_SOURCE_DIR:-$(dirname "$here")}/dist}"

# DLLs every Windows installation has (compared in lower case).
SYSTEM_DLLS=" kernel32.dll user32.dll gdi32.dll advapi32.dll ws2_32.dll wsock32.dll winmm.dll
 comdlg32.dll comctl32.dll shell32.dll shlwapi.dll ole32.dll oleaut32.dll msvcrt.dll
 iphlpapi.dll version.dll imm32.dll winspool.drv ntdll.dll rpcrt4.dll secur32.dll
 crypt32.dll bcrypt.dll userenv.dll psapi.dll dnsapi.dll mpr.dll uxtheme.dll setupapi.dll
 ucrtbase.dll "
SYSTEM_DLLS=" $(echo $SYSTEM_DLLS) "  # one space between names

checked=0
bad=0
for arch in win64 win32; do
    dir="$dist/$arch"
    [ -d "$dir" ] || continue
    case "$arch" in
        win64) objdump=x86_64-w64-mingw32-objdump ;;
        win32) objdump=i686-w64-mingw32-objdump ;;
    esac
    if ! command -v "$objdump" >/dev/null; then
        echo "check_imports: $objdump missing (install binutils-mingw-w64)"
        exit 1
    fi
    # DLLs shipped in the same directory tree (vok3900d.dll for the example clients) are ours.
    shipped=" $(find "$dir" -type f -iname '*.dll' -printf '%f ' | tr 'A-Z' 'a-z')"
    while IFS= read -r -d '' bin; do
        checked=$((checked + 1))
        imports="$("$objdump" -p "$bin" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | tr -d '\r')"
        if [ -z "$imports" ]; then
            echo "FAIL $bin: no import table found"
            bad=$((bad + 1))
            continue
        fi
        foreign=""
        for dll in $imports; do
            case "$dll" in
                api-ms-win-*) continue ;;
                libstdc++*|libgcc*|libwinpthread*) foreign="$foreign $dll"; continue ;;  # even if shipped
            esac
            case "$SYSTEM_DLLS$shipped" in
                *" $dll "*) ;;
                *) foreign="$foreign $dll" ;;
            esac
        done
        if [ -n "$foreign" ]; then
            echo "FAIL $bin imports non-system DLLs:$foreign"
            bad=$((bad + 1))
        else
            echo "ok   $bin:" $imports
        fi
    done < <(find "$dir" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0 | sort -z)
done

if [ "$checked" = 0 ]; then
    echo "SKIP: no .exe or .dll under $dist/win64 or $dist/win32 (run 'make build' to fill them)"
    exit 77
fi
echo "$checked binaries checked, $bad with foreign imports"
[ "$bad" = 0 ]
