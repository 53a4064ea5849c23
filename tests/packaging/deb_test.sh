#!/usr/bin/env bash
# The Debian package as an integrator uses it: unpacked into an empty root (dpkg-deb -x),
# checked by lintian, examples/read_temps.c built against it through pkg-config and through
# find_package, and run against the package's own voksim on a pty.
set -u
src="${VOK_SOURCE_DIR:?}"
build="${VOK_BUILD_DIR:?}"
pkgdir="${VOK_PACKAGE_DIR:-$src/dist/packages}"
fail() { echo "FAIL: $*"; exit 1; }

debs=("$pkgdir"/libvok3900d_*_amd64.deb)
[ -f "${debs[0]}" ] || fail "no libvok3900d package in $pkgdir (run make package)"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)

mkdir -p "$build/tests/packaging"
tmp=$(mktemp -d "$build/tests/packaging/deb.XXXXXX")
sim_pid=""
cleanup() {
    [ -z "$sim_pid" ] || { kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; }
    rm -rf "$tmp"
}
trap cleanup EXIT

lintian --tag-display-limit 0 "$deb" >"$tmp/lintian.txt" 2>&1
cat "$tmp/lintian.txt"
grep -q '^E:' "$tmp/lintian.txt" && fail "lintian reports errors"

root="$tmp/root"
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x"
arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)
libdir="$root/usr/lib/$arch"
for f in usr/include/vok3900d.h "usr/lib/$arch/libvok3900d.so" "usr/lib/$arch/libvok3900d.so.${version%%.*}" \
         "usr/lib/$arch/pkgconfig/vok3900d.pc" "usr/lib/$arch/cmake/vok3900d/vok3900d-config.cmake" \
         usr/bin/voksim usr/bin/vokcli usr/share/vok3900d/buses/demo.json usr/share/man/man1/voksim.1.gz \
         usr/share/man/man1/vokcli.1.gz usr/share/doc/libvok3900d/copyright; do
    [ -e "$root/$f" ] || fail "package lacks /$f"
done
soname=$(objdump -p "$libdir/libvok3900d.so" | awk '/SONAME/ {print $2}')
[ "$soname" = "libvok3900d.so.${version%%.*}" ] || fail "soname $soname"
[ "$(nm -D --defined-only "$libdir/libvok3900d.so" | grep -c ' T ')" = 13 ] || fail "not 13 exports"
for prog in voksim vokcli; do
    "$root/usr/bin/$prog" --version | grep -qx "$prog $version" || fail "$prog --version"
done
man -l "$root/usr/share/man/man1/voksim.1.gz" 2>/dev/null | grep -q -- '--pty' || \
    zcat "$root/usr/share/man/man1/voksim.1.gz" | grep -q 'pty' || fail "man page"
# vokcli's page renders, and has an entry for every command.
vokcli_man=$(man -l "$root/usr/share/man/man1/vokcli.1.gz" 2>&1) || fail "man -l vokcli.1.gz: $vokcli_man"
for cmd in search read watch ids export raw discover; do
    grep -Eq "^ +$cmd( |\$)" <<<"$vokcli_man" || fail "vokcli's man page has no entry for $cmd"
done

# 1. pkg-config: the .pc file finds its own root, wherever it lies.
export PKG_CONFIG_PATH="$libdir/pkgconfig"
[ "$(pkg-config --modversion vok3900d)" = "$version" ] || fail "pkg-config version"
# shellcheck disable=SC2046
cc -o "$tmp/read_temps_pc" "$src/examples/read_temps.c" $(pkg-config --cflags --libs vok3900d) \
    || fail "build through pkg-config"

# 2. find_package in a project of its own.
mkdir -p "$tmp/proj"
cp "$src/examples/read_temps.c" "$tmp/proj/"
cat >"$tmp/proj/CMakeLists.txt" <<'CM'
cmake_minimum_required(VERSION 3.16)
project(read_temps C)
find_package(vok3900d 1.0 REQUIRED)
add_executable(read_temps read_temps.c)
target_link_libraries(read_temps PRIVATE vok3900d::vok3900d)
CM
cmake -S "$tmp/proj" -B "$tmp/proj/build" -DCMAKE_PREFIX_PATH="$root/usr" >"$tmp/cmake.log" 2>&1 \
    || { cat "$tmp/cmake.log"; fail "find_package"; }
cmake --build "$tmp/proj/build" >>"$tmp/cmake.log" 2>&1 || { cat "$tmp/cmake.log"; fail "build through find_package"; }

# Both programs need libvok3900d.so.N and nothing from the build tree.
for exe in "$tmp/read_temps_pc" "$tmp/proj/build/read_temps"; do
    objdump -p "$exe" | grep -q "NEEDED *libvok3900d.so.${version%%.*}" || fail "$exe does not need the soname"
    ! objdump -p "$exe" | grep -E 'R(UN)?PATH' | grep -q "$build/driver" || fail "$exe finds the library in the build tree"
done

# Against the package's voksim on a pty: module 01 of the demo bus.
"$root/usr/bin/voksim" "$root/usr/share/vok3900d/buses/demo.json" --pty "$tmp/tty" --no-stdin \
    </dev/null >"$tmp/voksim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do grep -q '^ready' "$tmp/voksim.log" && break; sleep 0.05; done
grep -q '^ready' "$tmp/voksim.log" || { cat "$tmp/voksim.log"; fail "voksim did not start"; }
for exe in "$tmp/read_temps_pc" "$tmp/proj/build/read_temps"; do
    VOK3900D_COM1="$tmp/tty" LD_LIBRARY_PATH="$libdir" timeout 60 "$exe" 1 3 1 >"$tmp/out.txt" 2>&1
    rc=$?
    cat "$tmp/out.txt"
    [ $rc = 0 ] || fail "$exe exit code $rc"
    grep -q '^module 01: ' "$tmp/out.txt" || fail "$exe read no configuration"
    grep -Eq '^  00  [0-9A-F]{16}  ' "$tmp/out.txt" || fail "$exe read no units"
done
echo "PASS ($(basename "$deb"))"
