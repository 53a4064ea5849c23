#!/usr/bin/env python3
"""Far end of a serial line for a Windows program under Wine: holds a pty master, links its
slave at LINK (the path wine_run.sh maps to a COM port) and takes orders, one line each, on a
loopback TCP connection whose port it writes to PORT-FILE:
  send HEX   the bytes go to the port        hangup   the master is closed
  remove     the link is gone too            each answered "ok" or "err".
usage: serial_peer.py LINK PORT-FILE"""
import os
import pty
import socket
import sys
import tty


def main():
    link, port_file = sys.argv[1], sys.argv[2]
    master, slave = pty.openpty()
    tty.setraw(slave)  # the settings stay with the pty while the master is open
    os.symlink(os.ttyname(slave), link)
    os.close(slave)
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(1)
    with open(port_file + ".tmp", "w") as f:
        f.write("%d\n" % server.getsockname()[1])
    os.rename(port_file + ".tmp", port_file)  # whole when it appears
    conn, _ = server.accept()
    for line in conn.makefile("r"):
        word, _, arg = line.strip().partition(" ")
        try:
            if word == "send":
                data = bytes.fromhex(arg)
                ok = os.write(master, data) == len(data)
            elif word == "hangup":
                os.close(master)
                master, ok = -1, True
            elif word == "remove":
                os.unlink(link)
                ok = True
            else:
                ok = False
        except OSError:
            ok = False
        conn.sendall(b"ok\n" if ok else b"err\n")


if __name__ == "__main__":
    main()
