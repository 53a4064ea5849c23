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

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def version_strings(pe):
    """{(lang_codepage, key): value} of every StringFileInfo table, and the Translation pairs."""
    strings, translations = {}, []
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            if block.Key == b"StringFileInfo":
                for table in block.StringTable:
                    for k, v in table.entries.items():
                        strings[(table.LangID.decode().upper(), k.decode())] = v.decode("utf-8")
            elif block.Key == b"VarFileInfo":
                for var in block.Var:
                    t = var.entry.get(b"Translation")
                    if t:
                        lang, cp = t.split()
                        translations.append("%04X%04X" % (int(lang, 16), int(cp, 16)))
    return strings, translations


def resource_data(pe, type_id):
    """The data of every resource of one type, as bytes."""
    out = []
    res = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for t in res.entries if res else []:
        if t.struct.Id != type_id:
            continue
        for name in t.directory.entries:
            for lang in name.directory.entries:
                d = lang.data.struct
                out.append((name.struct.Id, pe.get_data(d.OffsetToData, d.Size)))
    return out


def check_binary(path, version, machine):
    name = os.path.basename(path)
    if not os.path.exists(path):
        check(False, "%s is built" % path)
        return None
    pe = pefile.PE(path)
    check(pe.FILE_HEADER.Machine == machine, "%s is for machine 0x%X" % (path, machine))
    fixed = pe.VS_FIXEDFILEINFO[0] if getattr(pe, "VS_FIXEDFILEINFO", None) else None
    check(fixed is not None, "%s has a version resource" % name)
    if fixed is None:
        return None
    major, minor, patch = (int(x) for x in version.split("."))
    want_ms, want_ls = (major << 16) | minor, patch << 16
    check((fixed.FileVersionMS, fixed.FileVersionLS) == (want_ms, want_ls),
          "%s file version %d.%d.%d.%d" % (name, fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                                           fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF))
    check((fixed.ProductVersionMS, fixed.ProductVersionLS) == (want_ms, want_ls), "%s product version" % name)
    is_dll = pe.FILE_HEADER.Characteristics & 0x2000 != 0
    check(fixed.FileType == (2 if is_dll else 1), "%s file type %d fits a %s" % (name, fixed.FileType,
                                                                                  "DLL" if is_dll else "program"))
    strings, translations = version_strings(pe)
    tables = sorted({lc for lc, _ in strings})
    # Explorer and the version API find the strings through the Translation pairs.
    check(len(tables) == 1 and translations == tables, "%s: Translation %s names its string table %s"
          % (name, translations, tables))
    s = {k: v for (_, k), v in strings.items()}
    for key in ("FileVersion", "ProductVersion"):
        check(s.get(key) == version, "%s %s %r" % (name, key, s.get(key)))
    check(s.get("OriginalFilename") == name, "%s OriginalFilename %r" % (name, s.get("OriginalFilename")))
    check(s.get("InternalName") == os.path.splitext(name)[0], "%s InternalName %r" % (name, s.get("InternalName")))
    for key in ("FileDescription", "ProductName", "CompanyName"):
        check(bool(s.get(key, "").strip()), "%s has a %s: %r" % (name, key, s.get(key)))
    return pe, s


def check_manifest(pe, version):
    manifests = resource_data(pe, 24)
    check([i for i, _ in manifests] == [1], "vokmon.exe has one program manifest (ID 1): %s"
          % [i for i, _ in manifests])
    if not manifests:
        return
    root = ET.fromstring(manifests[0][1])
    v1, v3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
    ident = root.find(v1 + "assemblyIdentity")
    check(ident is not None and ident.get("version") == version + ".0", "manifest assembly version %s.0" % version)
    supported = {e.get("Id").lower() for e in root.iter("{urn:schemas-microsoft-com:compatibility.v1}supportedOS")}
    for os_name, guid in (("7", "35138b9a-5d96-4fbd-8e2d-a2440225f93a"), ("8", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38"),
                          ("8.1", "1f676c76-80e1-4239-95bb-83d0f6d0da78"),
                          ("10 and 11", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a")):
        check("{%s}" % guid in supported, "manifest supports Windows %s" % os_name)

    def setting(ns, tag):
        e = root.find("%sapplication/%swindowsSettings/{%s}%s" % (v3, v3, ns, tag))
        return None if e is None else (e.text or "").strip().lower()

    aware = setting("http://schemas.microsoft.com/SMI/2005/WindowsSettings", "dpiAware")
    awareness = setting("http://schemas.microsoft.com/SMI/2016/WindowsSettings", "dpiAwareness")
    check(aware in (None, "false"), "manifest dpiAware %r: the program is not DPI-aware" % aware)
    check(awareness == "unaware", "manifest dpiAwareness %r" % awareness)
    check(setting("http://schemas.microsoft.com/SMI/2017/WindowsSettings", "gdiScaling") == "true",
          "manifest asks for GDI scaling")
    deps = [e.get("name") for e in root.iter(v1 + "assemblyIdentity") if e is not ident]
    check("Microsoft.Windows.Common-Controls" not in deps, "manifest keeps the classic control look: %s" % deps)
    level = root.find(".//{urn:schemas-microsoft-com:asm.v3}requestedExecutionLevel")
    check(level is not None and level.get("level") == "asInvoker", "manifest runs the program as its user")


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    version, dist = sys.argv[1:3]
    native = sys.argv[3] if len(sys.argv) > 3 else ""
    machines = {"win64": 0x8664, "win32": 0x14C}
    binaries = sorted((os.path.join(root, f), machines[arch]) for arch in machines
                      for root, _, files in os.walk(os.path.join(dist, arch))
                      for f in files if f.lower().endswith((".exe", ".dll")))
    if not binaries:
        print("no Windows build in %s" % dist)
        return 77
    rel = sorted(os.path.relpath(p, dist) for p, _ in binaries)
    check({"win64/vokmon.exe", "win64/vokcli.exe", "win64/voksim.exe", "win64/vok3900d.dll",
           "win32/vok3900d.dll"} <= set(rel), "every shipped binary is there: %s" % rel)
    found = {}
    for path, machine in binaries:
        r = check_binary(path, version, machine)
        if r:
            found[os.path.relpath(path, dist)] = r
    descriptions = [s["FileDescription"] for _, s in found.values()]
    check(len(set(descriptions)) == len(descriptions), "every binary describes itself: %s" % descriptions)
    check(len({s["ProductName"] for _, s in found.values()}) == 1, "one product name for all")
    for name, (pe, _) in found.items():
        if name == "win64/vokmon.exe":
            check_manifest(pe, version)
        else:
            # Only vokmon has windows; the tools and the library carry no manifest of their own.
            check(resource_data(pe, 24) == [], "%s carries no manifest" % name)
    for prog in ("cli/vokcli", "sim/voksim") if native else ():
        out = subprocess.run([os.path.join(native, prog), "--version"], capture_output=True, text=True).stdout
        check(out == "%s %s\n" % (os.path.basename(prog), version), "%s --version: %r" % (prog, out))
    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
