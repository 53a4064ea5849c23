#!/usr/bin/env bash
# The Windows archives as a technician gets them.
#   zip_test.sh static: SHA256SUMS holds, each archive has what it must and nothing from the
#                       build (object files, test programs), README.txt has CR LF lines,
#                       the x86 archive carries an x86 DLL.
#   zip_test.sh wine:   the x64 archive unpacked into an empty folder; vokmon.exe run from
#                       there under Wine against voksim: link opened, bus searched.
set -u
mode="${1:?usage: zip_test.sh static|wine}"
src="${VOK_SOURCE_DIR:?}"
build="${VOK_BUILD_DIR:?}"
pkgdir="${VOK_PACKAGE_DIR:-$src/dist/packages}"
fail() { echo "FAIL: $*"; exit 1; }

win64=$(ls "$pkgdir"/vokmon-*-win64.zip 2>/dev/null | head -n1)
win32=$(ls "$pkgdir"/vok3900d-*-win32.zip 2>/dev/null | head -n1)
[ -f "$win64" ] && [ -f "$win32" ] || fail "no Windows archives in $pkgdir (run make package)"

mkdir -p "$build/tests/packaging"
tmp=$(mktemp -d "$build/tests/packaging/zip-$mode.XXXXXX")

if [ "$mode" = static ]; then
    trap 'rm -rf "$tmp"' EXIT
    (cd "$pkgdir" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS"
    [ "$(wc -l <"$pkgdir/SHA256SUMS")" = "$(ls "$pkgdir" | grep -cv '^SHA256SUMS$')" ] \
        || fail "SHA256SUMS does not cover every package"
    python3 - "$win64" "$win32" <<'PY' || fail "archive contents"
import fnmatch, re, sys, zipfile

def names(path):
    with zipfile.ZipFile(path) as z:
        assert z.testzip() is None, path
        files = [n for n in z.namelist() if not n.endswith("/")]
    top = {n.split("/")[0] for n in files}
    assert len(top) == 1, f"{path}: more than one top folder {top}"
    return {n.split("/", 1)[1] for n in files}, zipfile.ZipFile(path)

allowed = ["README.txt", "*.exe", "vok3900d.dll", "vok3900d.h", "vok3900d.def", "lib/vok3900d.dll.a",
           "buses/*.json"]
rows = [(sys.argv[1], {"README.txt", "vokmon.exe", "voksim.exe", "vokcli.exe", "vok3900d.dll", "vok3900d.h",
                       "vok3900d.def", "lib/vok3900d.dll.a", "buses/demo.json"}),
        (sys.argv[2], {"vok3900d.dll", "vok3900d.h", "vok3900d.def", "lib/vok3900d.dll.a"})]
for path, must in rows:
    got, z = names(path)
    missing = must - got
    assert not missing, f"{path}: missing {sorted(missing)}"
    stray = [n for n in got if not any(fnmatch.fnmatch(n, a) for a in allowed)]
    assert not stray, f"{path}: unexpected {stray}"
    assert not any(re.search(r"(ctl|test|probe)", n, re.I) for n in got), f"{path}: test program shipped"
    print(path, sorted(got))
    if "README.txt" in got:
        top = z.namelist()[0].split("/")[0]
        text = z.read(top + "/README.txt")
        assert b"\r\n" in text and b"\n" not in text.replace(b"\r\n", b""), "README.txt lines are not CR LF"
        version = re.search(r"-(\d+\.\d+\.\d+)-win64\.zip$", path).group(1)
        assert f"vokmon {version}".encode() in text, "README.txt without the version"
        assert b"vokcfg.cfg" in text and b"voksim.exe" in text
PY
    unzip_dir="$tmp/x86"
    mkdir -p "$unzip_dir"
    (cd "$unzip_dir" && cmake -E tar xf "$win32") || fail "unpack $win32"
    objdump -f "$unzip_dir"/*/vok3900d.dll | grep -q 'file format pei-i386' || fail "x86 archive: DLL is not x86"
    echo "PASS (static)"
    exit 0
fi

# wine: unpack into an empty folder and run the program from it against voksim.
(cd "$tmp" && cmake -E tar xf "$win64") || fail "unpack $win64"
dir=$(find "$tmp" -mindepth 1 -maxdepth 1 -type d | head -n1)
[ -f "$dir/vokmon.exe" ] || fail "no vokmon.exe at the top of the archive"
VOKMON_EXE="$dir/vokmon.exe" VOK_PREFIX_TAG=package bash "$src/tests/ui/wine_vokmon.sh" net \
    || fail "vokmon.exe from the archive (screenshots in $dir)"
echo "PASS (wine; screenshots in $dir)"
