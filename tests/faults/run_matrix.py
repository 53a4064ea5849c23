#!/usr/bin/env python3
"""Runs one column of the fault matrix: fault_peer.py as the converter and fault_matrix (the
link layer) as the host, natively or, for wine-pty, the Windows x64 build under Wine with
COM1 linked to the peer's pty.

    run_matrix.py pty | pty-echo | tcp | wine-pty | wine-pty-echo

Environment: VOK_BUILD_DIR (native build tree), VOK_SOURCE_DIR, VOK_WIN64_DIR (wine).
Exit code: the client's (0 passed), 77 when the Windows build is missing.
"""
import os
import subprocess
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(here))
import testkit  # noqa: E402
from testkit import build  # noqa: E402


def main():
    mode = sys.argv[1]
    echo = mode.endswith("-echo")
    wine = mode.startswith("wine")
    if wine:
        client = testkit.win64_program(os.path.join("tests", "faults", "fault_matrix.exe"),
                                       "no Windows x64 build of fault_matrix; skipped")
        if not client:
            return 77
    else:
        client = os.path.join(build, "tests", "faults", "fault_matrix")
    tmp = tempfile.mkdtemp(prefix="vok_faults_")
    link = os.path.join(tmp, "com1")
    tcp = mode == "tcp"
    peer_cmd = [sys.executable, os.path.join(here, "fault_peer.py")]
    peer_cmd += ["tcp"] if tcp else ["pty", link] + (["--echo"] if echo else [])
    peer = subprocess.Popen(peer_cmd, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    address = None
    for line in peer.stdout:
        if line.startswith("listening "):
            address = line.split()[1]
        if line.strip() == "ready":
            break
    env = dict(os.environ, VOK_COM1=link)
    if tcp:
        cmd = [client, "tcp", address]
    elif wine:
        # Wine's sleeps overshoot more; the tolerance is per row, over the whole schedule.
        cmd = testkit.under_wine(client, 250, com1=link) + ["serial", "--tolerance-ms", "150"] + (["--echo"] if echo else [])
    else:
        cmd = [client, "serial"] + (["--echo"] if echo else [])
    print("+", " ".join(cmd), flush=True)
    try:
        return subprocess.run(cmd + sys.argv[2:], env=env, timeout=280).returncode
    finally:
        peer.stdin.close()
        try:
            peer.wait(timeout=5)
        except subprocess.TimeoutExpired:
            peer.kill()


if __name__ == "__main__":
    sys.exit(main())
