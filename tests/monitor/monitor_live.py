#!/usr/bin/env python3
"""vokcli monitor against voksim in real time, with a real mosquitto broker and a real
Prometheus server on loopback ports of the test's own.

    monitor_live.py short|full      short: ~40 s (make test); full: two minutes (make monitor-check)

Three links (two pty, one TCP) with moving readings. Checked: the readouts in SQLite are the
replies voksim logged, reply for reply; Prometheus scrapes the collector and its query API
returns every link's series; every reading reaches the broker, also across a broker restart;
`kill -9` of the collector and a restart lose at most the readout each link had in flight and
leave a sound database; one simulator stopped raises that link's alarm while the other links
keep their cadence; SIGTERM ends the collector with exit code 0; a full disk (a small tmpfs in a
mount namespace of the test's own) stops it with one line and exit code 5, whole readouts kept.
Environment: VOK_BUILD_DIR (native build tree), VOK_SOURCE_DIR. Exit 77 when a server
program is missing.
"""
import collections
import json
import os
import re
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

mode = sys.argv[1] if len(sys.argv) > 1 else "short"
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from testkit import build, check, failures, source, stop, wait_until  # noqa: E402
voksim = os.path.join(build, "sim", "voksim")
vokcli = os.path.join(build, "cli", "vokcli")
demo_bus = os.path.join(source, "sim", "buses", "demo.json")
RUN_S = 120 if mode == "full" else 12      # steady running before the faults
PERIOD_S = 2
procs = []


def wait_for(what, predicate, timeout):
    value = wait_until(predicate, timeout)
    if value is None:
        check(False, "in time: " + what)
    return value


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def start(args, log, **kw):
    p = subprocess.Popen(args, stdout=open(log, "w"), stderr=subprocess.STDOUT, **kw)
    procs.append(p)
    return p


def start_voksim(tmp, name, link_args):
    log = os.path.join(tmp, name + ".log")
    p = start([voksim, demo_bus, "--no-stdin", "--log"] + link_args, log)
    text = wait_for("voksim %s ready" % name, lambda: "\nready" in "\n" + open(log).read() and open(log).read(), 10)
    m = re.search(r"^listening (\S+)$", text or "", re.M)
    return p, log, (m.group(1) if m else None)


def sim_replies(log, since=0, upto=None):
    """(channel, records hex) of every readout reply voksim logged, in order."""
    out = []
    request = None
    lines = open(log).read().splitlines()
    for line in lines[since:upto]:
        m = re.match(r"^\[\s*[\d.]+\] (>>|<<) ((?:[0-9A-F]{2} )+)", line)
        if not m:
            continue
        data = bytes.fromhex(m.group(2))
        if m.group(1) == ">>":
            request = data
        elif request and request[:1] == b"#" and data[:1] == b">":
            out.append((int(chr(request[3])), data.hex().upper()))
    return out


def db_readouts(db, link, since_id=0, upto_id=None):
    """(channel, raw records hex) of the link's stored readouts that got a reply."""
    c = sqlite3.connect(db)
    rows = c.execute(
        "SELECT r.id, r.channel, (SELECT group_concat(h, '') FROM (SELECT hex(raw) AS h FROM reading "
        "WHERE readout = r.id ORDER BY position)) FROM readout r "
        "WHERE r.link = ? AND r.result = 0 AND r.id > ? AND r.id <= ? ORDER BY r.id",
        (link, since_id, upto_id if upto_id is not None else 1 << 62)).fetchall()
    c.close()
    return [(ch, raw or "") for _, ch, raw in rows]


def compare(link, sim, db, allowed_missing, what):
    """Every stored readout is one voksim sent; at most `allowed_missing` sent are absent."""
    sent = collections.Counter(sim)
    stored = collections.Counter((ch, raw) for ch, raw in db)
    invented = [k for k in stored if not any(k[0] == ch and k[1] in rep for ch, rep in sent)]
    matched = collections.Counter()
    for (ch, raw), n in stored.items():
        for (sch, rep), m in sent.items():
            if sch == ch and raw in rep:
                matched[(sch, rep)] += n
    missing = sum(max(0, n - matched[k]) for k, n in sent.items())
    check(not invented and missing <= allowed_missing,
          "%s %s: %d readouts stored, %d sent, %d missing (at most %d), %d not sent"
          % (link, what, len(db), len(sim), missing, allowed_missing, len(invented)))


def query(db, sql, args=()):
    c = sqlite3.connect(db, timeout=10)
    try:
        return c.execute(sql, args).fetchall()
    finally:
        c.close()


def startup_faults(tmp):
    """Faults found before any link opens: each one line on stderr and its exit code."""
    busy = socket.socket()
    busy.bind(("127.0.0.1", 0))
    busy.listen(1)
    rows = [
        ('{"database": "x.db",\n "links": [{"name": "a", "port": "/dev/null", "period_s": 0}]}', [],
         2, "bad.json:2: links[0].period_s: 0 is not valid: give the period in seconds, 0.5 to 86400"),
        ('{"database": "%s/no/such/dir/x.db", "links": [{"name": "a", "port": "/dev/null", "period_s": 1, '
         '"modules": "search"}]}' % tmp, [], 5, "cannot open the database"),
        ('{"database": "ok.db", "links": [{"name": "a", "port": "/dev/null", "period_s": 1, "modules": "search"}]}',
         ["--listen", "127.0.0.1:%d" % busy.getsockname()[1]], 3, "cannot listen there"),
    ]
    for text, extra, code, line in rows:
        open("bad.json", "w").write(text)
        r = subprocess.run([vokcli, "monitor", "--plant", "bad.json"] + extra, capture_output=True, text=True,
                           timeout=30)
        check(r.returncode == code and line in r.stderr and r.stderr.count("\n") == 1,
              "start-up fault, exit %d: %s" % (r.returncode, r.stderr.strip()))
    busy.close()


def disk_full(tmp):
    """A database on a full disk: the collector stops with one line and exit code 5, and what it
    stored is whole. Runs in a mount namespace of its own with a small tmpfs for the database."""
    sim, _, address = start_voksim(tmp, "full", ["--tcp", "127.0.0.1:0"])
    mnt = os.path.join(tmp, "small")
    os.mkdir(mnt)
    json.dump({"database": os.path.join(mnt, "plant.db"), "links": [
        {"name": "f", "port": address, "period_s": 0.5, "modules": [{"address": "01"}]}]}, open("full.json", "w"))
    script = ("mount -t tmpfs -o size=256k tmpfs %s || exit 77\n"
              "timeout 120 %s monitor --plant full.json 2>full-monitor.log; echo \"rc=$?\"\n"
              "python3 -c \"import sqlite3; c = sqlite3.connect('%s/plant.db'); "
              "print('integrity', c.execute('PRAGMA integrity_check').fetchone()[0]); "
              "print('partial', c.execute('SELECT count(*) FROM readout r WHERE units != "
              "(SELECT count(*) FROM reading WHERE readout = r.id)').fetchone()[0]); "
              "print('readouts', c.execute('SELECT count(*) FROM readout').fetchone()[0])\"\n") % (mnt, vokcli, mnt)
    r = subprocess.run(["unshare", "-m", "sh", "-c", script], capture_output=True, text=True, timeout=180)
    stop(sim)
    if r.returncode == 77 or "rc=" not in r.stdout:
        print("skip disk full: no private mount namespace here (%s)" % r.stderr.strip())
        return
    log = open("full-monitor.log").read()
    full = [l for l in log.splitlines() if l.startswith("vokcli:")]
    check("rc=5" in r.stdout and len(full) == 1 and "is full" in full[0],
          "disk full: %s %s" % (r.stdout.split()[0], full[0] if full else log[-200:]))
    check("integrity ok" in r.stdout and "partial 0" in r.stdout and "readouts 0" not in r.stdout,
          "disk full: stored readouts whole, database sound: " + " ".join(r.stdout.split()[1:]))


def main():
    for program in ("mosquitto", "mosquitto_sub", "prometheus"):
        if not shutil.which(program) and not os.path.exists("/usr/sbin/" + program):
            print("skip: %s is not installed (scripts/setup.sh)" % program)
            return 77
    tmp = tempfile.mkdtemp(prefix="vok-monitor-")
    os.chdir(tmp)
    startup_faults(tmp)
    sims = {}
    for name, args in (("pty1", ["--pty", os.path.join(tmp, "tty1")]), ("pty2", ["--pty", os.path.join(tmp, "tty2")]),
                       ("tcp1", ["--tcp", "127.0.0.1:0"])):
        sims[name] = start_voksim(tmp, name, args)
    ports = {"pty1": os.path.join(tmp, "tty1"), "pty2": os.path.join(tmp, "tty2"), "tcp1": sims["tcp1"][2]}
    plant = {"database": "plant.db", "retention_days": 30, "links": [
        {"name": name, "port": ports[name], "period_s": PERIOD_S,
         "modules": [{"address": "01", "channels": [0, 2]}], "alarms": [{"link_down_periods": 2}]}
        for name in ("pty1", "pty2", "tcp1")], "alarms": [{"high": 100}]}
    json.dump(plant, open("plant.json", "w"), indent=1)

    mqtt_port, http_port, prom_port = free_port(), free_port(), free_port()
    broker_conf = os.path.join(tmp, "mosquitto.conf")
    open(broker_conf, "w").write("listener %d 127.0.0.1\nallow_anonymous true\npersistence true\n"
                                 "persistence_location %s/\n" % (mqtt_port, tmp))
    broker_cmd = [shutil.which("mosquitto") or "/usr/sbin/mosquitto", "-c", broker_conf]
    broker = start(broker_cmd, "broker.log")
    wait_for("broker listening", lambda: socket.socket().connect_ex(("127.0.0.1", mqtt_port)) == 0, 10)
    # A lasting session, so what the broker holds for it survives the broker's restart.
    sub = start(["mosquitto_sub", "-h", "127.0.0.1", "-p", str(mqtt_port), "-q", "1", "-c", "-i", "vok-test-sub",
                 "-t", "vok/+/+/+/+", "-v"], "sub.txt")
    wait_for("subscriber connected", lambda: "vok-test-sub" in open("broker.log").read(), 10)
    prom_conf = os.path.join(tmp, "prometheus.yml")
    open(prom_conf, "w").write("global: {scrape_interval: 1s}\nscrape_configs:\n  - job_name: vok\n"
                               "    static_configs: [{targets: ['127.0.0.1:%d']}]\n" % http_port)
    prom = start([shutil.which("prometheus") or "/usr/bin/prometheus", "--config.file=" + prom_conf,
                  "--storage.tsdb.path=" + os.path.join(tmp, "tsdb"), "--web.listen-address=127.0.0.1:%d" % prom_port],
                 "prometheus.log")

    monitor_args = [vokcli, "monitor", "--plant", "plant.json", "--listen", "127.0.0.1:%d" % http_port,
                    "--mqtt", "127.0.0.1:%d" % mqtt_port]
    mon = start(monitor_args, "monitor1.log")

    def readouts(link):
        try:
            return query("plant.db", "SELECT count(*) FROM readout WHERE link = ? AND result = 0", (link,))[0][0]
        except sqlite3.Error:
            return 0
    wait_for("every link read twice", lambda: all(readouts(l) >= 4 for l in ports), 30)
    run_until = time.time() + RUN_S
    # Broker away and back mid-run: the collector keeps what it could not deliver.
    stop(broker)
    wait_for("collector notices the broker is away", lambda: "broker away" in open("monitor1.log").read(), 15)
    away_until = time.time() + 3
    wait_for("readouts while the broker is away", lambda: time.time() >= away_until, 5)
    broker = start(broker_cmd, "broker2.log")
    wait_for("collector reconnects", lambda: open("monitor1.log").read().count("mqtt: connected") >= 2, 40)

    def prom_series():
        url = "http://127.0.0.1:%d/api/v1/query?query=%s" % (prom_port, urllib.parse.quote("vok_reading"))
        try:
            r = json.load(urllib.request.urlopen(url, timeout=2))
        except (OSError, ValueError):
            return None
        links = {s["metric"].get("link") for s in r.get("data", {}).get("result", [])}
        return r if links >= set(ports) else None
    r = wait_for("Prometheus returns every link's series", prom_series, 40)
    if r:
        series = r["data"]["result"]
        s = series[0]
        rows = query("plant.db", "SELECT count(*) FROM reading WHERE link = ? AND module = ? AND channel = ? AND "
                     "position = ? AND unit_id = ? AND abs(value - ?) < 1e-6",
                     (s["metric"]["link"], int(s["metric"]["module"], 16), int(s["metric"]["channel"]),
                      int(s["metric"]["position"]), s["metric"]["id"], float(s["value"][1])))
        check(len(series) == 3 * 7 and rows[0][0] >= 1,
              "Prometheus: %d series of vok_reading; a sampled value is a stored reading" % len(series))
    disk_full(tmp)
    wait_for("steady run", lambda: time.time() >= run_until, RUN_S + 5)

    # One simulator gone: its alarm is raised, the others keep their cadence.
    stopped_at = time.time()
    sims["tcp1"][0].send_signal(signal.SIGTERM)
    sims["tcp1"][0].wait(timeout=10)
    alarm = wait_for("link_down alarm of tcp1", lambda: query(
        "plant.db", "SELECT time_ms FROM alarm WHERE link = 'tcp1' AND kind = 'link_down' AND state = 'raised'"), 20)
    if alarm:
        delay = alarm[0][0] / 1000 - stopped_at
        check(delay <= 3.5 * PERIOD_S, "tcp1 link_down raised %.1f s after its simulator stopped" % delay)
        for link in ("pty1", "pty2"):
            starts = [t / 1000 for (t,) in query("plant.db", "SELECT time_ms FROM readout WHERE link = ? AND channel = 0 "
                                                 "AND time_ms >= ? ORDER BY id", (link, int(stopped_at * 1000) - 4000))]
            gaps = [b - a for a, b in zip(starts, starts[1:])]
            check(len(gaps) >= 2 and all(abs(g - PERIOD_S) < 0.25 * PERIOD_S for g in gaps),
                  "%s keeps its %d s cadence meanwhile: %s" % (link, PERIOD_S, " ".join("%.2f" % g for g in gaps)))
    tcp_sim = sim_replies(sims["tcp1"][1])

    # kill -9 mid-run, then a restart on the same database.
    last_id_before = query("plant.db", "SELECT max(id) FROM readout")[0][0]
    wait_for("a readout after the alarm", lambda: query("plant.db", "SELECT max(id) FROM readout")[0][0] > last_id_before, 10)
    workers = [int(x) for x in subprocess.run(["pgrep", "-P", str(mon.pid)], capture_output=True,
                                              text=True).stdout.split()]
    check(len(workers) == 3, "one worker process per link: %s" % workers)
    killed_at = time.time()
    stop(mon, signal.SIGKILL)

    def gone(pid):
        try:
            return open("/proc/%d/stat" % pid).read().split(") ")[1][0] in "ZX"
        except OSError:
            return True
    wait_for("workers gone with the collector", lambda: all(gone(w) for w in workers), 10)
    marks = {l: len(open(sims[l][1]).read().splitlines()) for l in ("pty1", "pty2")}
    last_id = query("plant.db", "SELECT max(id) FROM readout")[0][0]
    check(query("plant.db", "PRAGMA integrity_check")[0][0] == "ok", "database sound after kill -9")
    mon2 = start(monitor_args, "monitor2.log")
    wait_for("readouts after the restart", lambda: query(
        "plant.db", "SELECT count(*) FROM readout WHERE id > ? AND link = 'pty2' AND result = 0", (last_id,))[0][0] >= 4, 30)
    rc = stop(mon2)
    log2 = open("monitor2.log").read()
    check(rc == 0 and "monitor stopped" in log2, "SIGTERM ends the collector: exit code %s" % rc)

    # Storage against what the simulators sent.
    for link in ("pty1", "pty2"):
        before = sim_replies(sims[link][1], 0, marks[link])
        # The last reply before the restart may be the exchange in progress at the kill.
        compare(link, before[:-1], db_readouts("plant.db", link, 0, last_id), 1, "before kill -9")
        compare(link, sim_replies(sims[link][1], marks[link]), db_readouts("plant.db", link, last_id), 0,
                "after the restart, ended by SIGTERM")
    compare("tcp1", tcp_sim, db_readouts("plant.db", "tcp1"), 0, "until its simulator stopped")
    check(query("plant.db", "SELECT count(*) FROM alarm WHERE kind = 'link_down' AND link != 'tcp1' "
                "AND state = 'raised'")[0][0] == 0, "no link-down alarm on the links that kept running")

    # Every reading reached the broker: of the first run up to shortly before the kill, and all
    # of the second run (ended cleanly).
    stop(sub)
    got = set()
    for line in open("sub.txt").read().splitlines():
        topic, _, payload = line.partition(" ")
        try:
            p = json.loads(payload)
        except ValueError:
            continue
        got.add((p["link"], p["module"], p["channel"], p["position"], p["time"]))
    rows = query("plant.db", "SELECT link, printf('%02X', module), channel, position, "
                 "strftime('%Y-%m-%dT%H:%M:%S', time_ms / 1000, 'unixepoch') || printf('.%03dZ', time_ms % 1000), "
                 "readout > ? AS second FROM reading WHERE time_ms < ? OR readout > ?",
                 (last_id, int((killed_at - 3) * 1000), last_id))
    lost = [r for r in rows if tuple(r[:5]) not in got]
    check(rows and not lost, "MQTT: %d readings checked, %d not received%s"
          % (len(rows), len(lost), (": first " + str(lost[0])) if lost else ""))
    dropped = re.findall(r"(\d+) dropped", open("monitor1.log").read() + log2)
    check(all(d == "0" for d in dropped), "nothing dropped by the MQTT buffer")

    for p in procs:
        stop(p)
    if failures:
        print("logs kept in " + tmp)
        return 1
    shutil.rmtree(tmp)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    finally:
        for p in procs:
            if p.poll() is None:
                p.kill()
