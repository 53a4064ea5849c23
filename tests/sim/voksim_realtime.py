#!/usr/bin/env python3
"""voksim on real time: the pty, TCP and UDP faces on loopback, line timing, faults on the
wire through the control commands, and refusal of a malformed bus file."""
import os
import select
import socket
import subprocess
import sys
import tempfile
import termios
import time
import tty
import unittest

BUILD = os.environ.get("VOK_BUILD_DIR", ".")
SOURCE = os.environ.get("VOK_SOURCE_DIR", ".")
VOKSIM = os.path.join(BUILD, "sim", "voksim")

BUS = """{ "modules": [
  { "address": "0x01", "model": 4560, "turnaround_ms": 2,
    "channels": { "0": [ { "itu": 1, "id1": 1, "id2": 2, "sort": 1, "temp": 21.5, "hum": 40 },
                         { "itu": 1, "id1": 1, "id2": 3, "sort": 2, "temp": 22.5, "hum": 41 } ] } },
  { "address": "0xFF", "model": 4101, "type": "0x80", "channels": { "0": [ { "family": 40 } ] } }
] }"""


def byte_ms(n, baud=9600):
    return n * 10 * 1000.0 / baud


class Voksim:
    """voksim running with every face on loopback; control lines go to its stdin."""

    def __init__(self, tmp, extra=()):
        self.bus = os.path.join(tmp, "bus.json")
        with open(self.bus, "w") as f:
            f.write(BUS)
        self.link = os.path.join(tmp, "com1")
        self.proc = subprocess.Popen(
            [VOKSIM, self.bus, "--pty", self.link, "--tcp", "127.0.0.1:0",
             "--udp", "127.0.0.1:0", "--restart-scale", "0.02", *extra],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
        self.tcp_port = self.udp_port = None
        while True:
            line = self.proc.stdout.readline()
            if not line:
                raise RuntimeError("voksim ended early")
            if line.startswith("listening "):
                self.tcp_port = int(line.rsplit(":", 1)[1])
            elif line.startswith("udp "):
                self.udp_port = int(line.rsplit(":", 1)[1])
            elif line.strip() == "ready":
                break

    def control(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()
        answer = self.proc.stdout.readline().strip()
        if not answer.startswith("ok"):
            raise AssertionError("control %r: %s" % (line, answer))

    def stop(self):
        self.proc.stdin.write("quit\n")
        self.proc.stdin.flush()
        self.proc.wait(timeout=5)
        self.proc.stdin.close()
        self.proc.stdout.close()


def open_pty(path, baud=termios.B9600):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    attrs = termios.tcgetattr(fd)
    attrs[4] = attrs[5] = baud
    termios.tcsetattr(fd, termios.TCSANOW, attrs)
    termios.tcflush(fd, termios.TCIOFLUSH)
    return fd


def read_for(fd, want, timeout_s, recv=None):
    """Reads until `want` bytes or the time-out; returns (bytes, arrival times in ms)."""
    start = time.monotonic()
    data, times = b"", []
    while len(data) < want:
        left = timeout_s - (time.monotonic() - start)
        if left <= 0:
            break
        r, _, _ = select.select([fd], [], [], left)
        if not r:
            break
        chunk = recv(fd) if recv else os.read(fd, 256)
        if not chunk:
            break
        data += chunk
        times.append((time.monotonic() - start) * 1000.0)
    return data, times


class RealTime(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.sim = Voksim(cls.tmp.name)

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()
        cls.tmp.cleanup()

    def setUp(self):
        self.sim.control("fault 01 clear")
        self.sim.control("echo off")

    def exchange_pty(self, request, want, baud=termios.B9600, timeout_s=0.5):
        fd = open_pty(self.sim.link, baud)
        try:
            t0 = time.monotonic()
            os.write(fd, request)
            data, times = read_for(fd, want, timeout_s)
            return data, (time.monotonic() - t0) * 1000.0, times
        finally:
            os.close(fd)

    def test_pty_name_reply_takes_line_time(self):
        data, ms, _ = self.exchange_pty(b"$01M\r", 11)
        self.assertEqual(data, b"!01VOK4560\r")
        expect = byte_ms(16) + 2.0
        self.assertGreater(ms, expect - 1.0)
        self.assertLess(ms, expect + 6.0)

    def test_pty_echo_comes_first(self):
        self.sim.control("echo on")
        data, _, _ = self.exchange_pty(b"$FF2\r", 15)
        self.assertEqual(data, b"$FF2\r!FF800600\r")

    def test_pty_wrong_speed_gets_nothing(self):
        data, _, _ = self.exchange_pty(b"$01M\r", 11, termios.B4800, 0.2)
        self.assertEqual(data, b"")

    def test_tcp_name_reply(self):
        with socket.create_connection(("127.0.0.1", self.sim.tcp_port)) as s:
            t0 = time.monotonic()
            s.sendall(b"$01M\r")
            data, _ = read_for(s, 11, 0.5, lambda x: x.recv(256))
            ms = (time.monotonic() - t0) * 1000.0
        self.assertEqual(data, b"!01VOK4560\r")
        self.assertGreater(ms, byte_ms(16) + 2.0 - 1.0)
        self.assertLess(ms, byte_ms(16) + 2.0 + 6.0)

    def test_tcp_channel_data(self):
        with socket.create_connection(("127.0.0.1", self.sim.tcp_port)) as s:
            s.sendall(b"#010\r")
            data, _ = read_for(s, 5 + 8 + 1, 0.5, lambda x: x.recv(256))
        self.assertEqual(data[:5], b">01\x00\x02")
        self.assertEqual(len(data), 14)

    def test_udp_discovery(self):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as u:
            u.settimeout(1.0)
            u.sendto(b"\x00\x00\x00\xf6", ("127.0.0.1", self.sim.udp_port))
            reply, _ = u.recvfrom(200)
            self.assertEqual(len(reply), 30)
            self.assertEqual(reply[24:30], bytes([0x00, 0x20, 0x4A, 0x12, 0x34, 0x56]))
            u.sendto(b"\x00\x00\x00\xf8", ("127.0.0.1", self.sim.udp_port))
            cfg, _ = u.recvfrom(200)
            self.assertEqual(len(cfg), 124)
            self.assertEqual(cfg[4:8], bytes([127, 0, 0, 1]))
            self.assertEqual(cfg[21], 2)

    def test_faults_on_the_wire(self):
        self.sim.control("fault 01 wrong-lead on")
        self.assertEqual(self.exchange_pty(b"$01M\r", 11)[0], b"?01VOK4560\r")
        self.sim.control("fault 01 clear")
        self.sim.control("fault 01 wrong-address on")
        self.assertEqual(self.exchange_pty(b"$01M\r", 11)[0], b"!02VOK4560\r")
        self.sim.control("fault 01 clear")
        self.sim.control("fault 01 short 4")
        self.assertEqual(self.exchange_pty(b"$01M\r", 11, timeout_s=0.2)[0], b"!01VOK4")
        self.sim.control("fault 01 clear")
        self.sim.control("fault 01 garbage FF 00")
        self.assertEqual(self.exchange_pty(b"$01R\r", 7)[0], b"\xff\x00!010\r")
        self.sim.control("fault 01 clear")
        self.sim.control("fault 01 all-ff on")
        data = self.exchange_pty(b"#010\r", 14)[0]
        self.assertEqual(data[5:13], b"\xff" * 8)
        self.sim.control("fault 01 clear")
        self.sim.control("fault 01 silent on")
        self.assertEqual(self.exchange_pty(b"$01M\r", 11, timeout_s=0.2)[0], b"")
        self.sim.control("fault 01 clear")
        self.sim.control("fault 01 slow 100")
        data, ms, _ = self.exchange_pty(b"$01M\r", 11)
        self.assertEqual(data, b"!01VOK4560\r")
        self.assertGreater(ms, 100 + byte_ms(16) - 1.0)
        self.assertLess(ms, 100 + byte_ms(16) + 2.0 + 6.0)
        self.sim.control("fault 01 clear")
        self.sim.control("fault 01 split 2 60")
        data, ms, times = self.exchange_pty(b"$01M\r", 11)
        self.assertEqual(data, b"!01VOK4560\r")
        self.assertGreater(ms, 60 + byte_ms(16))
        self.assertGreaterEqual(len(times), 2)

    def test_power_cycle_silences_then_answers(self):
        self.sim.control("power 01")  # 5 s + units, times 0.02: about 100 ms
        self.assertEqual(self.exchange_pty(b"$01M\r", 11, timeout_s=0.05)[0], b"")
        time.sleep(0.15)
        self.assertEqual(self.exchange_pty(b"$01M\r", 11)[0], b"!01VOK4560\r")

    def test_reading_set_at_run_time(self):
        self.sim.control("set 01 0 1 temp -3.25")
        data = self.exchange_pty(b"#010\r", 14)[0]
        rec = data[9:13]
        mag = ((rec[3] & 7) * 256 + rec[2]) * 0.0625
        self.assertEqual(-mag if rec[3] & 8 else mag, -3.25)


class ControlSocketAndConverters(unittest.TestCase):
    def test_control_socket_log_and_two_udp_converters(self):
        with tempfile.TemporaryDirectory() as tmp:
            bus = os.path.join(tmp, "bus.json")
            with open(bus, "w") as f:
                f.write(BUS)
            proc = subprocess.Popen(
                [VOKSIM, bus, "--tcp", "127.0.0.1:0", "--udp", "127.0.0.2:0/8", "--udp",
                 "127.0.0.3:0", "--control", "127.0.0.1:0", "--no-stdin", "--log"],
                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, text=True, bufsize=1)
            try:
                ports, udp = {}, []
                while True:
                    line = proc.stdout.readline()
                    self.assertTrue(line, "voksim ended early")
                    kind, _, rest = line.strip().partition(" ")
                    if kind == "udp" and not rest.startswith("broadcast"):
                        udp.append(int(rest.rsplit(":", 1)[1]))
                    elif kind in ("listening", "control"):
                        ports[kind] = int(rest.rsplit(":", 1)[1])
                    elif kind == "ready":
                        break
                macs = []
                for host, port in zip(("127.0.0.2", "127.0.0.3"), udp):
                    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as u:
                        u.settimeout(1.0)
                        u.sendto(b"\x00\x00\x00\xf6", (host, port))
                        reply, peer = u.recvfrom(200)
                        self.assertEqual(peer[0], host)
                        macs.append(reply[24:30])
                self.assertNotEqual(macs[0], macs[1])
                # With a prefix the converter also hears its subnet's broadcast, and answers
                # from its own address with its mask.
                with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as u:
                    u.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
                    u.settimeout(1.0)
                    u.sendto(b"\x00\x00\x00\xf8", ("127.255.255.255", udp[0]))
                    cfg, peer = u.recvfrom(200)
                    self.assertEqual(peer[0], "127.0.0.2")
                    self.assertEqual(cfg[4:8], bytes([127, 0, 0, 2]))
                with socket.create_connection(("127.0.0.1", ports["control"])) as c:
                    f = c.makefile("rw")
                    f.write("fault 01 wrong-lead on\n")
                    f.flush()
                    self.assertEqual(f.readline().strip(), "ok")
                    f.write("fault 77 silent on\n")
                    f.flush()
                    self.assertTrue(f.readline().startswith("error:"))
                    with socket.create_connection(("127.0.0.1", ports["listening"])) as s:
                        s.sendall(b"$01R\r")
                        data, _ = read_for(s, 5, 0.5, lambda x: x.recv(64))
                    self.assertEqual(data, b"?010\r")
                    f.write("quit\n")
                    f.flush()
                    f.readline()
                proc.wait(timeout=5)
                log = proc.stdout.read()
                self.assertRegex(log, r"\[ *\d+\.\d{6}\] >> 24 30 31 52 0D +\$01R\\r")
                self.assertRegex(log, r"\[ *\d+\.\d{6}\] << 3F 30 31 30 0D +\?010\\r")
            finally:
                if proc.poll() is None:
                    proc.kill()
                    proc.wait()
                proc.stdout.close()


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


class RandomInput(unittest.TestCase):
    """Random bytes on the pty and TCP, random datagrams and control lines: voksim keeps
    serving, and idles without spinning."""

    def test_random_input_then_still_answers_and_idles(self):
        import random
        rng = random.Random(4711)
        with tempfile.TemporaryDirectory() as tmp:
            sim = Voksim(tmp)
            try:
                sim.control("echo on")
                fd = open_pty(sim.link)
                with socket.create_connection(("127.0.0.1", sim.tcp_port)) as s, \
                        socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as u:
                    pool = b"$%#&*/^~@0123456789ABCDEF\r"
                    # About 700 bytes each way: the line at 9600 baud takes under a second.
                    for _ in range(70):
                        chunk = bytes(rng.choice(pool) if rng.random() < 0.7 else
                                      rng.randrange(256) for _ in range(rng.randrange(1, 20)))
                        os.write(fd, chunk)
                        s.sendall(chunk)
                        u.sendto(bytes([0, 0, 0, rng.choice([0xF6, 0xF8, 0xFA, 0xFC])]) + chunk,
                                 ("127.0.0.1", sim.udp_port))
                    words = ["fault", "set", "ramp", "sine", "absent", "open", "inputs", "analog",
                             "digital-in", "fault-status", "echo", "tcp-close-after", "zz"]
                    junk = ["", "01", "ff", "zz", "-1", "999999999999", "1e999", "nan", "on",
                            "temp", "hum", "split", "slow", "garbage", "0x"]
                    for _ in range(200):
                        line = " ".join([rng.choice(words)] +
                                        [rng.choice(junk) for _ in range(rng.randrange(6))])
                        sim.proc.stdin.write(line + "\n")
                        sim.proc.stdin.flush()
                        self.assertTrue(sim.proc.stdout.readline(), line)
                    time.sleep(1.2)  # the line drains
                    self.assertIsNone(sim.proc.poll())
                    # Idle: a second of wall time costs next to no processor time.
                    before = cpu_ticks(sim.proc.pid)
                    time.sleep(1.0)
                    self.assertLess(cpu_ticks(sim.proc.pid) - before, 10)
                    for cmd in ("fault 01 clear", "echo off", "tcp-close-after -1"):
                        sim.control(cmd)
                    # A CR ends whatever half frame the noise left; then the line serves again.
                    termios.tcflush(fd, termios.TCIOFLUSH)
                    os.write(fd, b"\r\r$01M\r")
                    data, _ = read_for(fd, 11, 0.5)
                    self.assertEqual(data, b"!01VOK4560\r")
                os.close(fd)
                with socket.create_connection(("127.0.0.1", sim.tcp_port)) as s:
                    s.sendall(b"$01M\r")
                    data, _ = read_for(s, 11, 0.5, lambda x: x.recv(256))
                self.assertEqual(data, b"!01VOK4560\r")
            finally:
                sim.stop()


class BadBusFile(unittest.TestCase):
    def test_refused_with_file_and_line(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "bad.json")
            with open(path, "w") as f:
                f.write('{ "modules": [\n  { "address": 1, "model": 4560,\n    "baud": 1234 } ] }\n')
            r = subprocess.run([VOKSIM, path, "--tcp", "127.0.0.1:0"], capture_output=True,
                               text=True, timeout=10)
            self.assertEqual(r.returncode, 1)
            self.assertIn(path + ":3: baud must be", r.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
