#!/usr/bin/env python3
"""A misbehaving converter for the fault matrix, on a pty or on TCP loopback.

    fault_peer.py pty PATH [--echo]      a pty whose slave side is linked at PATH
    fault_peer.py tcp                    a TCP listener on 127.0.0.1 (prints "listening H:P")

It prints "ready", then answers request frames "$" AA "M" [param] CR with the 11-byte reply
"!" AA "VOK4560" CR, shaped by the fault that the address AA names:

    01 normal              10 silence             11 one byte short     12 garbage
    20 split at position param, the two parts 15 ms apart (TCP: 40 ms)
    30 reply start param ms after the request's CR
    40 vanish: 5 bytes, then the pty or connection goes (a new one is made at once)
    50 echo of the request although the converter does not echo
    51 no echo although the converter echoes

With --echo every byte is echoed (a request's echo goes out at its CR, so fault 51 can
withhold it). It runs until its stdin closes.
"""
import os
import select
import socket
import sys
import threading
import time
import tty

REPLY_BODY = b"VOK4560"


def reply_for(address):
    return b"!" + address + REPLY_BODY + b"\r"


class Peer:
    def __init__(self, mode, path, echo):
        self.mode, self.path, self.echo = mode, path, echo
        self.fd = None          # pty master, or the accepted connection's socket
        self.listener = None
        self.split_gap = 0.015 if mode == "pty" else 0.040

    # ---- transport ----
    def open(self):
        if self.mode == "pty":
            master, slave = os.openpty()
            tty.setraw(slave)
            name = os.ttyname(slave)
            tmp = self.path + ".new"
            if os.path.lexists(tmp):
                os.unlink(tmp)
            os.symlink(name, tmp)
            os.replace(tmp, self.path)
            self.fd, self.slave = master, slave
        else:
            self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            self.listener.bind(("127.0.0.1", 0))
            self.listener.listen(4)
            print("listening 127.0.0.1:%d" % self.listener.getsockname()[1], flush=True)

    def vanish(self):
        if self.mode == "pty":
            os.close(self.fd)
            os.close(self.slave)
            self.open()           # the same path names a fresh line for the reopen
        else:
            self.fd.close()
            self.fd = None

    def send(self, data):
        if self.mode == "pty":
            os.write(self.fd, data)
        else:
            self.fd.sendall(data)

    def read(self):
        if self.mode == "pty":
            try:
                return os.read(self.fd, 256)
            except OSError:
                return b""
        return self.fd.recv(256)

    # ---- behaviour ----
    def answer(self, frame):
        address, param = frame[1:3], frame[4:-1]
        code = int(address, 16) if all(c in b"0123456789ABCDEF" for c in address) else 1
        n = int(param) if param.isdigit() else 0
        reply = reply_for(address)
        if self.echo and code != 0x51:
            self.send(frame)
        if code == 0x10:
            return
        if code == 0x11:
            reply = reply[:-1]
        elif code == 0x12:
            reply = bytes([0xA5, 0x5A, 0x00, 0xFF, 0x24, 0x3E, 0x21, 0x0D, 0x7F, 0x80, 0x0A])
        elif code == 0x20:
            self.send(reply[:n])
            time.sleep(self.split_gap)
            reply = reply[n:]
        elif code == 0x30:
            time.sleep(n / 1000.0)
        elif code == 0x40:
            self.send(reply[:5])
            time.sleep(0.01)
            self.vanish()
            return
        elif code == 0x50:
            self.send(frame)
        self.send(reply)

    def serve(self):
        self.open()
        print("ready", flush=True)
        pending = b""
        while True:
            if self.mode == "tcp" and self.fd is None:
                r, _, _ = select.select([self.listener, sys.stdin], [], [])
                if sys.stdin in r and not sys.stdin.readline():
                    return
                if self.listener in r:
                    self.fd, _ = self.listener.accept()
                    pending = b""
                continue
            r, _, _ = select.select([self.fd, sys.stdin], [], [])
            if sys.stdin in r and not sys.stdin.readline():
                return
            if self.fd not in r:
                continue
            data = self.read()
            if not data:
                if self.mode == "tcp":
                    self.fd.close()
                    self.fd = None
                else:
                    time.sleep(0.01)   # no reader on the slave side yet
                continue
            for b in data:
                c = bytes([b])
                if not pending and c != b"$":
                    if self.echo:
                        self.send(c)   # the echo probe and noise: echoed at once
                    continue
                pending += c
                if c == b"\r":
                    frame, pending = pending, b""
                    if len(frame) >= 5:
                        self.answer(frame)


def main():
    mode = sys.argv[1]
    path = sys.argv[2] if mode == "pty" else None
    Peer(mode, path, "--echo" in sys.argv).serve()


if __name__ == "__main__":
    main()
