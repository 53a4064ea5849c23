#!/usr/bin/env bash
# Export tables of the shipped libraries: libvok3900d.so exports exactly the 13 calls;
# each vok3900d.dll (x64 and x86) exports exactly the 13 undecorated names at ordinals 1-13
# and imports only system DLLs. A DLL that was not built is reported as skipped; when no DLL
# is found at all the test exits 77 (skipped) after checking the .so.
set -u

names=(vok_com_open vok_com_close vok_set_config vok_read_config vok_read_temp vok_read_id
       vok_soft_reset vok_read_sortnum vok_write_do vok_err_report vok4103_read_data
       vok4500_read_data vok_itu_do)
# Argument bytes of each call on x86 (every argument is an int or a pointer).
arg_bytes=(12 4 8 12 16 16 8 16 12 12 16 16 20)
system_dlls='^(kernel32|msvcrt|ucrtbase|winmm|ws2_32|user32|gdi32|advapi32|ntdll|api-ms-win-.*)\.dll$'
src="${VOK_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}"
build="${VOK_BUILD_DIR:-}"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

expected_list() {
    local i=1
    for n in "${names[@]}"; do echo "$i $n"; i=$((i + 1)); done
}

check_so() {
    local so=$1
    local got
    got=$(nm -D --defined-only "$so" | awk '$2 ~ /^[TtWwDdBbRr]$/ {print $3}' | sort)
    if [ "$got" != "$(printf '%s\n' "${names[@]}" | sort)" ]; then
        fail "$so exports:"; echo "$got"
    else
        echo "ok: $so exports exactly the 13 calls"
    fi
}

check_dll() {
    local dll=$1 objdump=$2
    local dump base got imports bad
    dump=$("$objdump" -p "$dll") || { fail "$objdump -p $dll"; return; }
    base=$(sed -n 's/.*Ordinal Base[[:space:]]*\([0-9]*\).*/\1/p' <<<"$dump" | head -1)
    # "[Ordinal/Name Pointer] Table" lines: "[   i] name", i = ordinal - base.
    got=$(awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^$/ {on=0} on && /\[ *[0-9]+\]/ {
            gsub(/[\[\]]/, " "); print $1, $2 }' <<<"$dump" |
          while read -r idx name; do echo "$((idx + base)) $name"; done | sort -n)
    if [ "$got" != "$(expected_list)" ]; then
        fail "$dll export table (ordinal name):"; echo "$got"
    else
        echo "ok: $dll exports the 13 undecorated names at ordinals 1-13"
    fi
    if [ "$(grep -c 'Export RVA' <<<"$dump")" != 13 ]; then
        fail "$dll has $(grep -c 'Export RVA' <<<"$dump") export address entries, not 13"
    fi
    if [ "$objdump" = i686-w64-mingw32-objdump ]; then
        check_callee_pops "$dll"
    fi
    imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump")
    bad=$(tr 'A-Z' 'a-z' <<<"$imports" | grep -Ev "$system_dlls" || true)
    if [ -n "$bad" ]; then
        fail "$dll imports non-system DLLs: $bad"
    else
        echo "ok: $dll imports only system DLLs: $(echo $imports)"
    fi
}

# x86 __stdcall: each export's code removes its own arguments ("ret $N"). Needs the
# symbol table (not stripped); a stripped DLL is reported and not judged.
check_callee_pops() {
    local dll=$1 disasm i name bytes rets
    disasm=$(i686-w64-mingw32-objdump -d "$dll")
    if ! grep -q '<_vok_com_open@12>:' <<<"$disasm"; then
        echo "SKIP: $dll has no symbols, callee-pops check not done"
        return
    fi
    for i in "${!names[@]}"; do
        name=${names[$i]}
        bytes=${arg_bytes[$i]}
        rets=$(awk -v sym="<_${name}@${bytes}>:" '$2 == sym {on=1; next} on && /^$/ {exit}
                 on && /\tret/ {print $NF}' <<<"$disasm" | sort -u)
        if [ "$rets" != "\$$(printf '0x%x' "$bytes")" ]; then
            fail "$dll: $name@$bytes returns with: ${rets:-nothing found}"
            return
        fi
    done
    echo "ok: $dll exports are __stdcall (each returns with ret of its argument bytes)"
}

so=""
so_candidates=("$src/dist/linux/libvok3900d.so")
[ -z "$build" ] || so_candidates=("$build/driver/libvok3900d.so" "${so_candidates[@]}")
for c in "${so_candidates[@]}"; do
    if [ -f "$c" ]; then so=$c; break; fi
done
if [ -n "$so" ]; then check_so "$so"; else fail "libvok3900d.so not found"; fi

found=0
win64_tree="${VOK_WIN64_DIR:-}"
for arch in win64 win32; do
    case $arch in
        win64) objdump=x86_64-w64-mingw32-objdump ;;
        win32) objdump=i686-w64-mingw32-objdump ;;
    esac
    candidates=("$src/dist/$arch/vok3900d.dll")
    if [ -n "$win64_tree" ]; then
        candidates=("$(dirname "$win64_tree")/$arch/driver/vok3900d.dll" "${candidates[@]}")
    fi
    dll=""
    for c in "${candidates[@]}"; do
        if [ -f "$c" ]; then dll=$c; break; fi
    done
    if [ -z "$dll" ]; then
        echo "SKIP: no $arch vok3900d.dll (looked in: ${candidates[*]})"
        continue
    fi
    found=1
    check_dll "$dll" "$objdump"
done

[ "$failed" = 0 ] || exit 1
if [ "$found" = 0 ]; then
    echo "SKIP: no Windows build of vok3900d.dll to check"
    exit 77
fi
exit 0
