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
build = os.environ.get("VOK_BUILD_DIR", "")
source = os.environ.get("VOK_SOURCE_DIR", os.path.dirname(os.path.dirname(here)))
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

    if mode in ("pty-echo-off", "pty-echo-on"):
        echo = mode == "pty-echo-on"
        p, _ = start_voksim(["--pty", link, "--echo" if echo else "--no-echo"])
        try:
            return run([program, "serial"] + (["--echo"] if echo else []) + extra, env)
        finally:
            stop(p)

    if mode == "tcp":
        p, info = start_voksim(["--tcp", "127.0.0.1:0", "--line-baud", "9600"])
        try:
            return run([program, "tcp", info["tcp"]] + extra, env)
        finally:
            stop(p)

    if mode == "tcp-close":
        p, info = start_voksim(["--tcp", "127.0.0.1:0", "--line-baud", "9600"])
        control(p, "tcp-close-after 4")
        try:
            return run([program, "tcp-close", info["tcp"]] + extra, env)
        finally:
            stop(p)

    # A reply cut into five pieces: 15 ms apart on the serial line (inside the paced waits),
    # 40 ms apart over TCP (after the network wait, so the receive loop assembles it).
    if mode == "pty-split":
        p, _ = start_voksim(["--pty", link, "--no-echo"])
        control(p, "fault 01 split 5 15")
        try:
            return run([program, "serial", "--types", "0,2,5", "--count", "10"] + extra, env)
        finally:
            stop(p)

    if mode == "tcp-split":
        p, info = start_voksim(["--tcp", "127.0.0.1:0", "--line-baud", "9600"])
        control(p, "fault 01 split 5 40")
        try:
            return run([program, "tcp", info["tcp"], "--count", "10"] + extra, env)
        finally:
            stop(p)

    if mode == "vanish":
        p, _ = start_voksim(["--pty", link, "--no-echo"])
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
        win = os.environ.get("VOK_WIN64_DIR", "")
        exe = os.path.join(win, "tests", "link", "realtime_exchange.exe")
        if not win or not os.path.exists(exe):
            print("no Windows x64 build of realtime_exchange; skipped")
            return 77
    if mode == "wine-tcp":
        p, info = start_voksim(["--tcp", "127.0.0.1:0", "--line-baud", "9600"])
        try:
            return run([os.path.join(source, "scripts", "wine_run.sh"), "--timeout", "270", "--",
                        exe, "tcp", info["tcp"]] + extra, env)
        finally:
            stop(p)
    if mode == "wine-pty":
        echo = "--echo" in extra
        p, _ = start_voksim(["--pty", link, "--echo" if echo else "--no-echo"])
        try:
            return run([os.path.join(source, "scripts", "wine_run.sh"), "--com", "1=" + link,
                        "--timeout", "270", "--", exe, "serial"] + extra, env)
        finally:
            stop(p)

    sys.exit("unknown mode " + mode)


if __name__ == "__main__":
    sys.exit(main())
