#!/usr/bin/env python3
"""vokcli.exe and voksim.exe under Wine: on a console of a Western (437) and of a Chinese (936)
code page the readings show their ℃ and %RH, and written to a file or a pipe they are the
same UTF-8 bytes as the Linux build's (no CR added).

    wine_console.py

The console is Wine's, on a pty made by script(1); what reaches the pty is what the console
shows. Environment: VOK_BUILD_DIR (native tree), VOK_WIN64_DIR, VOK_SOURCE_DIR. Exit code 0
when passed, 77 without a Windows x64 build or script(1).
"""
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import testkit  # noqa: E402
from testkit import build, check, source  # noqa: E402


def on_console(workdir, code_page, command):
    """What Wine's console shows for `command` run by cmd after `chcp code_page`, as text."""
    inner = shlex.join(testkit.under_wine("cmd", 120) + ["/c", "chcp %d >nul & %s" % (code_page, command)])
    r = subprocess.run(["script", "-qefc", inner, "/dev/null"], cwd=workdir, capture_output=True,
                       stdin=subprocess.DEVNULL, timeout=200)
    # The pty gets the console's cursor and line escapes around the text, blanks as cursor
    # moves to the right when the text comes in small pieces; CR LF as LF.
    text = re.sub(rb"\x1b\[(\d*)C", lambda m: b" " * int(m.group(1) or 1), r.stdout)
    text = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", text).replace(b"\r", b"")
    return r.returncode, text.decode("utf-8", "replace")


def main():
    if not shutil.which("script"):
        print("no script(1)")
        return 77
    exe = testkit.win64_program(os.path.join("cli", "vokcli.exe"), "no Windows x64 build")
    if not exe:
        return 77
    sim_exe = os.path.join(testkit.win64, "sim", "voksim.exe")
    tmp = tempfile.mkdtemp(prefix="vok_console_")
    for f in (exe, sim_exe):
        shutil.copy(f, tmp)
    log = open(os.path.join(tmp, "voksim.log"), "w")
    sim = subprocess.Popen([os.path.join(build, "sim", "voksim"), os.path.join(source, "sim", "buses", "two_ends.json"),
                            "--no-stdin", "--tcp", "127.0.0.1:0"], stdout=log, stderr=subprocess.STDOUT)
    try:
        m = testkit.wait_until(lambda: re.search(r"^listening (\S+)$", open(log.name).read(), re.M), 10, 0.05)
        if m is None:
            check(False, "voksim is listening")
            return 1
        addr = m.group(1)
        # Module 00 is an ITU (℃ and %RH), module FF a sensor module; their readings do not move.
        reads = [["read", "00", "--port", addr], ["read", "FF", "--port", addr, "--csv"]]
        wants = [subprocess.run([os.path.join(build, "cli", "vokcli")] + args, capture_output=True).stdout
                 for args in reads]
        check(all("℃".encode() in w for w in wants), "the Linux vokcli shows ℃ for both modules")
        got = subprocess.run(testkit.under_wine(exe, 120) + reads[1], cwd=tmp,
                             capture_output=True, timeout=200).stdout
        check(got == wants[1], "vokcli.exe %s into a pipe: the Linux bytes (%d and %d bytes)"
              % (" ".join(reads[1]), len(got), len(wants[1])))
        files = ["out%d.txt" % i for i in range(len(reads))]
        subprocess.run(testkit.under_wine("cmd", 120) + ["/c", " & ".join(
            "vokcli.exe %s > %s" % (" ".join(args), f) for args, f in zip(reads, files))],
            cwd=tmp, capture_output=True, timeout=200)
        for args, f, want in zip(reads, files, wants):
            path = os.path.join(tmp, f)
            got = open(path, "rb").read() if os.path.exists(path) else b""
            check(got == want, "vokcli.exe %s > %s: the Linux bytes" % (" ".join(args), f))
        for code_page in (437, 936):
            rc, shown = on_console(tmp, code_page, "vokcli.exe read 00 --port %s & voksim.exe --version" % addr)
            check("+21.500℃(+45.0%RH)" in shown, "code page %d: the console shows +21.500℃(+45.0%%RH)" % code_page)
            check("ch  unit  sort  id" in shown and "\nvoksim " in shown, "code page %d: every line shows"
                  % code_page)
            if testkit.failures:
                print(shown)
    finally:
        sim.terminate()
        sim.wait()
    shutil.rmtree(tmp, ignore_errors=True)
    return testkit.summary()


if __name__ == "__main__":
    sys.exit(main())
