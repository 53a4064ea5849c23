#!/usr/bin/env python3
"""Real-time link tests: runs realtime_exchange against voksim over a pty (echo on or off),
over TCP loopback, with the pty vanishing while open, and (wine) the Windows x64 build of the
program under Wine with COM1 linked to the pty.

    realtime_link.py MODE [extra args for the program]
    MODE: pty-echo-off, pty-echo-on, tcp, vanish, tcp-close, pty-split, tcp-split, wine-pty,
          wine-tcp

Environment: VOK_BUILD_DIR (native build tree), VOK_SOURCE_DIR, VOK_WIN64_DIR (wine-pty).
Exit code: the program's (0 passed), 77 when the Windows build is missing (wine-pty only).
"""
import os
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(here))
import testkit  # noqa: E402
from testkit import build  # noqa: E402
voksim = os.path.join(build, "sim", "voksim")
program = os.path.join(build, "tests", "link", "realtime_exchange")
bus_file = os.path.join(here, "link_bus.json")


def start_voksim(args):
    p = subprocess.Popen([voksim, bus_file] + args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, text=True, bufsize=1)
    info = {}
    deadline = time.time() + 10
    while time.time() < deadline:
        line = p.stdout.readline()
        if not line:
            break
        line = line.strip()
        if line.startswith("listening "):
            info["tcp"] = line.split(" ", 1)[1]
        if line == "ready":
            return p, info
    p.kill()
    sys.exit("voksim did not start")


def control(p, line):
    p.stdin.write(line + "\n")
    p.stdin.flush()
    answer = p.stdout.readline().strip()
    print("voksim:", line, "->", answer, flush=True)
    if not answer.startswith("ok"):
        sys.exit("voksim refused: " + line)


def stop(p):
    try:
        p.stdin.write("quit\n")
        p.stdin.flush()
        p.wait(timeout=5)
    except Exception:
        p.kill()
        p.wait()


def run(cmd, env=None):
    print("+", " ".join(cmd), flush=True)
    r = subprocess.run(cmd, env=env, timeout=280)
    return r.returncode


def main():
    mode = sys.argv[1]
    extra = sys.argv[2:]
    tmp = tempfile.mkdtemp(prefix="vok_link_rt_")
    link = os.path.join(tmp, "com1")
    env = dict(os.environ)
    env["VOK_COM1"] = link

    pty = ["--pty", link, "--no-echo"]
    tcp = ["--tcp", "127.0.0.1:0", "--line-baud", "9600"]

    def session(sim_args, controls, cmd):
        """The program's run (cmd(voksim's TCP address) + extra) against a voksim told `controls`."""
        p, info = start_voksim(sim_args)
        for line in controls:
            control(p, line)
        try:
            return run(cmd(info.get("tcp")) + extra, env)
        finally:
            stop(p)

    if mode in ("pty-echo-off", "pty-echo-on"):
        echo = mode == "pty-echo-on"
        return session(["--pty", link, "--echo" if echo else "--no-echo"], [],
                       lambda _: [program, "serial"] + (["--echo"] if echo else []))
    if mode == "tcp":
        return session(tcp, [], lambda addr: [program, "tcp", addr])
    if mode == "tcp-close":
        return session(tcp, ["tcp-close-after 4"], lambda addr: [program, "tcp-close", addr])
    # A reply cut into five pieces: 15 ms apart on the serial line (inside the paced waits),
    # 40 ms apart over TCP (after the network wait, so the receive loop assembles it).
    if mode == "pty-split":
        return session(pty, ["fault 01 split 5 15"],
                       lambda _: [program, "serial", "--types", "0,2,5", "--count", "10"])
    if mode == "tcp-split":
        return session(tcp, ["fault 01 split 5 40"], lambda addr: [program, "tcp", addr, "--count", "10"])

    if mode == "vanish":
        p, _ = start_voksim(pty)
        prog = subprocess.Popen([program, "vanish"] + extra, env=env, stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, text=True, bufsize=1)
        line = prog.stdout.readline()
        print(line.strip(), flush=True)
        p.kill()
        p.wait()
        prog.stdin.write("go\n")
        prog.stdin.flush()
        out, _ = prog.communicate(timeout=60)
        print(out, flush=True)
        return prog.returncode

    if mode in ("wine-pty", "wine-tcp"):
        exe = testkit.win64_program(os.path.join("tests", "link", "realtime_exchange.exe"),
                                    "no Windows x64 build of realtime_exchange; skipped")
        if not exe:
            return 77
    if mode == "wine-tcp":
        return session(tcp, [], lambda addr: testkit.under_wine(exe, 270) + ["tcp", addr])
    if mode == "wine-pty":
        return session(["--pty", link, "--echo" if "--echo" in extra else "--no-echo"], [],
                       lambda _: testkit.under_wine(exe, 270, com1=link) + ["serial"])

    sys.exit("unknown mode " + mode)


if __name__ == "__main__":
    sys.exit(main())
