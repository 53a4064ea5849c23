#!/usr/bin/python3
"""The resources of every shipped Windows binary, read with pefile: the version block carries
the tree's version number, the binary's own file name and a description of its own; vokmon's
manifest keeps the program DPI-unaware with GDI scaling, in the classic control look, and
names the Windows versions it supports.

    windows_resources.py VERSION DIST [NATIVE_TREE]

VERSION is project()'s version; DIST the directory `make build` installs win64/ and win32/ into
(every .exe and .dll there is checked); the native tree's programs must print VERSION for
--version. Exit code 0 when passed, 77 when DIST holds no Windows build.
"""
import os
import subprocess
import sys
import xml.etree.ElementTree as ET

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import testkit  # noqa: E402
from testkit import check  # noqa: E402


def version_block(pe):
    """({key: value} of the string table, [its lang+codepage], [the Translation pairs])."""
    strings, tables, translations = {}, [], []
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            for table in getattr(block, "StringTable", []):
                tables.append(table.LangID.decode().upper())
                strings.update((k.decode(), v.decode("utf-8")) for k, v in table.entries.items())
            for var in getattr(block, "Var", []):
                lang, cp = var.entry.get(b"Translation", b"0 0").split()
                translations.append("%04X%04X" % (int(lang, 16), int(cp, 16)))
    return strings, tables, translations


def check_binary(path, version):
    name = os.path.basename(path)
    pe = pefile.PE(path)
    fixed = pe.VS_FIXEDFILEINFO[0] if getattr(pe, "VS_FIXEDFILEINFO", None) else None
    check(fixed is not None, "%s has a version resource" % path)
    if fixed is None:
        return None
    major, minor, patch = (int(x) for x in version.split("."))
    want = ((major << 16) | minor, patch << 16)
    check((fixed.FileVersionMS, fixed.FileVersionLS) == want and (fixed.ProductVersionMS, fixed.ProductVersionLS) == want,
          "%s file and product version %d.%d.%d.%d" % (name, fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                                                       fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF))
    is_dll = pe.FILE_HEADER.Characteristics & 0x2000 != 0
    check(fixed.FileType == (2 if is_dll else 1), "%s file type %d" % (name, fixed.FileType))
    s, tables, translations = version_block(pe)
    # Explorer and the version API find the strings through the Translation pairs.
    check(len(tables) == 1 and translations == tables, "%s: Translation %s names its table %s"
          % (name, translations, tables))
    check(s.get("FileVersion") == version and s.get("ProductVersion") == version, "%s version texts %s"
          % (name, [s.get("FileVersion"), s.get("ProductVersion")]))
    check(s.get("OriginalFilename") == name, "%s OriginalFilename %r" % (name, s.get("OriginalFilename")))
    check(all(s.get(k, "").strip() for k in ("FileDescription", "ProductName", "CompanyName")),
          "%s description, product and company: %s" % (name, [s.get("FileDescription"), s.get("ProductName")]))
    return pe, s


def check_manifest(pe, version):
    res = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    found = [(n.struct.Id, lang.data.struct) for t in (res.entries if res else []) if t.struct.Id == 24
             for n in t.directory.entries for lang in n.directory.entries]
    check([i for i, _ in found] == [1], "vokmon.exe has one program manifest (ID 1): %s" % [i for i, _ in found])
    if not found:
        return
    root = ET.fromstring(pe.get_data(found[0][1].OffsetToData, found[0][1].Size))
    v1, v3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
    ident = root.find(v1 + "assemblyIdentity")
    check(ident is not None and ident.get("version") == version + ".0", "manifest assembly version %s.0" % version)
    supported = {e.get("Id").lower() for e in root.iter("{urn:schemas-microsoft-com:compatibility.v1}supportedOS")}
    for os_name, guid in (("7", "35138b9a-5d96-4fbd-8e2d-a2440225f93a"), ("8", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38"),
                          ("8.1", "1f676c76-80e1-4239-95bb-83d0f6d0da78"),
                          ("10 and 11", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a")):
        check("{%s}" % guid in supported, "manifest supports Windows %s" % os_name)

    def setting(year, tag):
        e = root.find("%sapplication/%swindowsSettings/{http://schemas.microsoft.com/SMI/%d/WindowsSettings}%s"
                      % (v3, v3, year, tag))
        return None if e is None else (e.text or "").strip().lower()

    check(setting(2005, "dpiAware") in (None, "false") and setting(2016, "dpiAwareness") == "unaware",
          "manifest: DPI-unaware (dpiAware %r, dpiAwareness %r)" % (setting(2005, "dpiAware"),
                                                                    setting(2016, "dpiAwareness")))
    check(setting(2017, "gdiScaling") == "true", "manifest asks for GDI scaling")
    deps = [e.get("name") for e in root.iter(v1 + "assemblyIdentity") if e is not ident]
    check("Microsoft.Windows.Common-Controls" not in deps, "manifest keeps the classic control look: %s" % deps)
    level = root.find(".//%srequestedExecutionLevel" % v3)
    check(level is not None and level.get("level") == "asInvoker", "manifest runs the program as its user")


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    version, dist = sys.argv[1:3]
    native = sys.argv[3] if len(sys.argv) > 3 else ""
    binaries = sorted(os.path.relpath(os.path.join(root, f), dist) for arch in ("win64", "win32")
                      for root, _, files in os.walk(os.path.join(dist, arch))
                      for f in files if f.lower().endswith((".exe", ".dll")))
    if not binaries:
        print("no Windows build in %s" % dist)
        return 77
    check({"win64/vokmon.exe", "win64/vokcli.exe", "win64/voksim.exe", "win64/vok3900d.dll",
           "win32/vok3900d.dll"} <= set(binaries), "every shipped binary is there: %s" % binaries)
    found = {b: check_binary(os.path.join(dist, b), version) for b in binaries}
    descriptions = [r[1]["FileDescription"] for r in found.values() if r]
    check(len(set(descriptions)) == len(descriptions), "every binary describes itself: %s" % descriptions)
    if found.get("win64/vokmon.exe"):
        check_manifest(found["win64/vokmon.exe"][0], version)
    for prog in ("cli/vokcli", "sim/voksim") if native else ():
        out = subprocess.run([os.path.join(native, prog), "--version"], capture_output=True, text=True).stdout
        check(out == "%s %s\n" % (os.path.basename(prog), version), "%s --version: %r" % (prog, out))
    return testkit.summary()


if __name__ == "__main__":
    sys.exit(main())
