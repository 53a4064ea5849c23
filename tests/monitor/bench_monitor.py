#!/usr/bin/env python3
"""Figures of the collector on one link at 9600 baud against voksim on a pty (not a test):

  1. readouts per second of the collector kept busy (period shorter than a round) against the
     same channels read back to back through the adapter alone (bench_paced): aim >= 95 %;
  2. CPU of the collector and its worker while the link waits for its next period: aim < 2 %;
  3. resident memory of both at the start and the end of the busy run: flat.

    bench_monitor.py BUILD_DIR [SECONDS]
"""
import json
import os
import re
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

build = os.path.abspath(sys.argv[1])
seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 60
source = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
voksim = os.path.join(build, "sim", "voksim")
vokcli = os.path.join(build, "cli", "vokcli")
bench = os.path.join(build, "tests", "monitor", "bench_paced")
CHANNELS = [0, 1, 2, 3, 4, 5, 6]
tick = os.sysconf("SC_CLK_TCK")
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from testkit import wait_until  # noqa: E402


def poll(what, predicate, timeout):
    return wait_until(predicate, timeout) or sys.exit("bench: no " + what)


def cpu_s(pid):
    f = open("/proc/%d/stat" % pid).read().split(") ")[1].split()
    return (int(f[11]) + int(f[12])) / tick


def rss_kb(pid):
    return int(re.search(r"VmRSS:\s+(\d+)", open("/proc/%d/status" % pid).read()).group(1))


def readouts(db):
    try:
        c = sqlite3.connect(db, timeout=10)
        n = c.execute("SELECT count(*), min(time_ms), max(time_ms) FROM readout WHERE result = 0").fetchone()
        c.close()
        return n
    except sqlite3.Error:
        return (0, None, None)


def collector(tmp, period, name):
    plant = {"database": name + ".db", "links": [
        {"name": "bench", "port": os.path.join(tmp, "tty"), "baud": 9600, "period_s": period,
         "modules": [{"address": "01", "channels": CHANNELS}]}]}
    json.dump(plant, open(os.path.join(tmp, name + ".json"), "w"))
    p = subprocess.Popen([vokcli, "monitor", "--plant", name + ".json"], cwd=tmp,
                         stdout=subprocess.DEVNULL, stderr=open(os.path.join(tmp, name + ".log"), "w"))
    poll("worker", lambda: subprocess.run(["pgrep", "-P", str(p.pid)], capture_output=True, text=True).stdout, 10)
    worker = int(subprocess.run(["pgrep", "-P", str(p.pid)], capture_output=True, text=True).stdout.split()[0])
    return p, worker, os.path.join(tmp, name + ".db")


def main():
    tmp = tempfile.mkdtemp(prefix="vok-bench-monitor-")
    sim = subprocess.Popen([voksim, os.path.join(source, "sim", "buses", "demo.json"), "--no-stdin", "--pty",
                            os.path.join(tmp, "tty")], stdout=subprocess.PIPE, text=True)
    poll("voksim", lambda: "ready" in sim.stdout.readline(), 10)

    r = subprocess.run([bench, os.path.join(tmp, "tty"), str(seconds // 2)] + [str(c) for c in CHANNELS],
                       capture_output=True, text=True)
    m = re.search(r"= ([\d.]+)/s", r.stdout)
    if not m:
        sys.exit("bench_paced: " + r.stdout + r.stderr)
    paced = float(m.group(1))
    print(r.stdout.strip())

    # Busy: a period of half a second is shorter than any round of seven channels.
    p, worker, db = collector(tmp, 0.5, "busy")
    poll("first round", lambda: readouts(db)[0] >= len(CHANNELS), 30)
    n0, _, t0 = readouts(db)
    rss0 = (rss_kb(p.pid), rss_kb(worker))
    time.sleep(seconds)  # the measured run itself
    n1, _, t1 = readouts(db)
    rss1 = (rss_kb(p.pid), rss_kb(worker))
    p.send_signal(signal.SIGTERM)
    p.wait(timeout=20)
    rate = (n1 - n0) / ((t1 - t0) / 1000.0) if t1 and t0 and t1 > t0 else 0
    print("collector: %d readouts in %.1f s = %.3f/s, %.1f %% of the paced schedule (aim >= 95 %%)"
          % (n1 - n0, (t1 - t0) / 1000.0, rate, 100.0 * rate / paced))
    print("memory (kB, collector/worker): %d/%d at the start, %d/%d after %d s" % (rss0 + rss1 + (seconds,)))

    # Waiting: one round, then a long period.
    p, worker, db = collector(tmp, 3600, "idle")
    poll("first round", lambda: readouts(db)[0] >= len(CHANNELS), 30)
    c0 = cpu_s(p.pid) + cpu_s(worker)
    w0 = time.time()
    time.sleep(20)  # the measured wait itself
    c1 = cpu_s(p.pid) + cpu_s(worker)
    print("CPU while waiting: %.2f %% of a core for collector and worker (aim < 2 %%)"
          % (100.0 * (c1 - c0) / (time.time() - w0)))
    p.send_signal(signal.SIGTERM)
    p.wait(timeout=20)
    sim.send_signal(signal.SIGTERM)
    sim.wait(timeout=10)
    return 0


if __name__ == "__main__":
    sys.exit(main())
