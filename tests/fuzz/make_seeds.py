#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into corpus/<target>/ (run once; the files are
checked in). Replies are shaped as the modules send them; scripts as fuzz_input.h reads them.
The directories also hold inputs long `make fuzz` runs kept (named by their SHA-1), added with
`fuzz_<target> -merge=1 corpus/<target> build/fuzz/fuzz-corpus/<target>`: only inputs that
reach code the others do not."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    d = os.path.join(HERE, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


def script(*replies, delay=3):
    out = b""
    for r in replies:
        if r is None:
            out += bytes([255, 0])
            continue
        n = len(r)
        out += bytes([delay]) + (bytes([n]) if n < 128 else bytes([0x80 | n >> 8, n & 0xFF])) + r
    return out


def counts(*c):
    c = list(c) + [0] * (8 - len(c))
    mask = sum(1 << i for i, v in enumerate(c) if v)
    return b"!01" + b"%02X" % mask + b"".join(b"%02X" % v for v in c) + b"\r"


NAME = b"!01VOK4560\r"
CONFIG = b"!01400600\r"
FIRMWARE = b"!01V2.00\r"
FAULT = b"!01000000\r"
MODE = b"!012\r"
SORT0 = b">01\x00\x02\x05\x06\r"
DATA0 = b">01\x00\x02" + bytes([0x90, 0x01, 0x28, 0x00, 0xA0, 0x01, 0x28, 0x00]) + b"\r"
IDS0 = b">01\x00\x02" + bytes(range(0x28, 0x30)) + bytes(range(0x28, 0x30)) + b"\r"

# Reply checks: echo_len, command, address, records (2 bytes), position (2 bytes), reply.
CMD_READ_NAME, CMD_READ_COUNTS, CMD_READ_DATA, CMD_READ_IDS = 1, 3, 12, 13
put("replies", "name", bytes([0, CMD_READ_NAME, 1, 0, 0, 3, 0]) + NAME)
put("replies", "counts-echo", bytes([5, CMD_READ_COUNTS, 1, 0, 0, 5, 0]) + b"$016\r" + counts(2))
put("replies", "data", bytes([0, CMD_READ_DATA, 1, 2, 0, 5, 0]) + DATA0)
put("replies", "ids-short", bytes([0, CMD_READ_IDS, 1, 2, 0, 20, 0]) + IDS0[:-4])

# Search: flags (bit 0 echo, 1-3 converter, 4-5 baud), address, script from the probe on.
full = script(NAME, CONFIG, NAME, FIRMWARE, FAULT, counts(2), MODE, SORT0)
put("search", "4560", bytes([0x30, 1]) + full)
put("search", "4560-echo", bytes([0x31, 1]) + full)
put("search", "4101-gen2", bytes([0x30, 1]) + script(
    b"!01VOK4101\r", b"!01800600\r", b"!01VOK4101\r", FIRMWARE, FAULT,
    counts(2, 0x5F, 0x2D, 0xFF, 0xFF, 0, 0, 2), counts(1), MODE, SORT0))
put("search", "silent-then-garbage", bytes([0x08, 1]) + script(None, b"\xff" * 40, b"!0"))

# Library calls: call, address, channel, flags (bit 0 echo, 1-2 line mode), script.
put("driver", "read-temp", bytes([0, 1, 0, 0]) + script(counts(2), DATA0))
put("driver", "read-id-echo", bytes([1, 1, 0, 1]) + script(counts(2), IDS0))
put("driver", "sortnum", bytes([2, 1, 0, 2]) + script(counts(2), SORT0))
put("driver", "4103", bytes([3, 1, 8, 0]) + script(b"!0107\x02\x01\x00" + b"0" * 13 + b"\r", DATA0))
put("driver", "4500-ch2", bytes([4, 1, 2, 0]) + script(b">01\x00\x0c" + b"0123.45678.9" + b"\r"))
put("driver", "read-config", bytes([5, 1, 0, 0]) + script(CONFIG, NAME, FIRMWARE, counts(2, 3)))
put("driver", "set-config", bytes([6, 1, 1, 0]) + script(b"!02\r"))
put("driver", "err-report", bytes([7, 1, 0, 0]) + script(b"!01812345\r"))
put("driver", "count-past-reply", bytes([0, 1, 8, 0]) + script(counts(0xFF, 0xFF), DATA0))

# Settings file: the 16 bytes as written, odd values a hand edit may leave, a short file.
good = struct.pack("<BBBB4sHBBHH", 1, 2, 0, 0, bytes([192, 168, 1, 100]), 10001, 2, 0, 50, 0)
put("settings", "defaults", good)
put("settings", "out-of-range", struct.pack("<BBBB4sHBBhH", 0, 9, 200, 0, b"\0\0\0\0", 0, 7, 0, -5, 0))
put("settings", "type7-wait", struct.pack("<BBBB4sHBBHH", 8, 4, 7, 0, bytes([10, 0, 0, 1]), 1, 4, 0, 15001, 0))
put("settings", "short", good[:5])

# Bus files: the simulator's own small ones and a broken one.
for src in ["../../sim/buses/two_ends.json", "../../sim/buses/full_channel.json",
            "../driver/bus_driver.json", "../link/link_bus.json"]:
    with open(os.path.join(HERE, src), "rb") as f:
        put("busfile", os.path.basename(src), f.read())
put("busfile", "broken", b'{"modules": [{"address": 1, "model": 4560, "channels": [[{"family": ')

# Reading decoders: model index, firmware, type code, position (2 bytes), channel, records.
put("readings", "4563-calibration", bytes([9]) + b"V2.23" + bytes([0x28, 0, 0, 1]) +
    bytes([0x90, 0x01, 0xC9, 0x1F, 0x50, 0x00, 0xFF, 0xFF]))
put("readings", "itu-types", bytes([7]) + b"V1.00" + bytes([1, 3, 0, 4]) +
    bytes([0x20, 0x64, 0x90, 0x01, 0xFF, 0xFF, 0xFF, 0xFF]))
put("readings", "humidity-89", bytes([4]) + b"V1.00" + bytes([0x89, 0, 0, 9]) + bytes([0, 0x64, 0x90, 0x01]))


def ip(*b):
    return bytes(b)


def datagram(src, payload, delay=1):
    n = len(payload)
    assert n < 128 or n % 4 == 0
    return bytes([delay]) + src + (bytes([n]) if n < 128 else bytes([0x80 | n >> 2])) + payload


# Discovery: interface count, (ip, mask) each, selection, speed, then datagram batches.
ifs = bytes([0]) + ip(127, 0, 0, 1) + ip(255, 0, 0, 0) + ip(10, 0, 0, 5) + ip(255, 255, 255, 0)
conv = ip(10, 0, 0, 100)
disc = bytes(24) + bytes([0x00, 0x20, 0x4A, 0x12, 0x34, 0x56])
cfg = bytes([0, 0, 0, 0xF9]) + ip(10, 0, 0, 100) + bytes(13) + bytes([2]) + bytes(2) + bytes([0x11, 0x27]) + bytes(98)
put("discovery", "one-converter", ifs + bytes([1, 2]) + bytes([1]) + datagram(conv, disc) +
    bytes([1]) + datagram(conv, cfg) + bytes([1]) + datagram(conv, bytes([0, 0, 0, 0xFB])) + bytes([0]))
put("discovery", "strays", ifs + bytes([1, 2]) + bytes([3]) + datagram(conv, disc[:29]) +
    datagram(ip(10, 0, 0, 7), disc) + datagram(conv, disc + b"x") + bytes([2]) + datagram(conv, cfg[:120]) +
    datagram(ip(10, 0, 0, 9), cfg) + bytes([1]) + datagram(conv, bytes([0, 0, 0])) + bytes([0]))

# Data display readers: flags, model index, type code, channel, steps, eight counts, the two
# kind masks, then the script of replies (IDs, then readings).
counts8 = bytes([2, 0, 0, 0, 0, 0, 0, 0])
put("datadisplay", "sensors-ch0", bytes([0, 1, 0x80, 0, 0b10100000]) + counts8 + bytes([0, 0]) +
    script(IDS0, DATA0, DATA0, DATA0, DATA0, DATA0))
put("datadisplay", "itus-4560-echo", bytes([1, 7, 0x40, 0, 0b11110101]) + counts8 + bytes([0, 0]) +
    script(b">01\x00\x02" + bytes([1, 0x12, 0x34, 0, 1, 0x13, 0x35, 0]) + b"\r", DATA0, DATA0, DATA0, DATA0))
put("datadisplay", "all-4563", bytes([0, 9, 0x40, 8, 0b11100100]) + counts8 + bytes([1, 0]) +
    script(IDS0, DATA0, DATA0, DATA0, DATA0, DATA0))

# Curve view: flags (bit 0 echo, bit 1 temperature curves), model index, type code, channel,
# 8 unit counts, the two channel masks, 64 unit types, 4 slots (0: empty, else position + 1),
# scale bytes (temperature low, span; humidity low, span), script from the echo probe on.
def curve_seed(flags, model, type_code, count, types, slots, reply, ticks=4):
    head = bytes([flags, model, type_code, 0, count] + [0] * 7 + [0, 0])
    unit_types = bytes(types + [0] * (64 - len(types)))
    return head + unit_types + bytes(slots) + bytes([140, 40, 5, 90]) + script(NAME, *([reply] * ticks))


put("curves", "4101-temperature", curve_seed(2, 1, 128, 2, [128, 129], [1, 2, 0, 0], DATA0))
put("curves", "4101-glitch-echo", curve_seed(3, 1, 130, 2, [130, 130], [2, 1, 0, 0],
    b">01\x00\x02" + bytes([0xFF, 0xFF, 0xFF, 0xFF, 0x55, 0x01, 0x00, 0x00]) + b"\r"))
put("curves", "4500-humidity", curve_seed(0, 5, 0, 0, [], [1, 2, 0, 0], b">01\x00\x02025.3,060.1,\r"))
put("curves", "4560-humidity", curve_seed(0, 7, 0x40, 2, [0, 1], [1, 2, 0, 0],
    b">01\x00\x02" + bytes([1, 0x12, 0x34, 0, 1, 0x13, 0x35, 0]) + b"\r"))
put("curves", "4560-silent", curve_seed(2, 7, 0x40, 2, [0, 1], [1, 0, 0, 0], None, ticks=1))

# Maintenance: flags (bit 0 echo), model index, type code, channel, two step bytes (four
# actions, a nibble each, low first), value, 8 unit counts, sort-valid, script from the echo
# probe on. Actions: 0 IO test IDs, 1 states, 2 output switch, 3 digital IO refresh, 4 patrol,
# 5 ITU output write, 6 ITU output set, 7 ITU settings, 8 mode switch, 9 reset, 10 module
# parameters, 11 channel ID list, 12 sort number download.
def maint_seed(flags, model, type_code, steps, value, count, *replies):
    head = bytes([flags, model, type_code, 0, steps & 0xFF, steps >> 8, value, count] + [0] * 7 + [1])
    return head + script(NAME, *replies)


ACK = b"!01\r"
ID4 = b">01\x00\x04" + bytes([0x04, 0x10, 0, 0, 0, 0, 0, 0]) * 4 + b"\r"
STATES4 = b">01\x00\x04" + bytes([0, 1, 1, 1, 0, 0, 1, 0]) + b"\r"
put("maintenance", "4501-io-test", maint_seed(0, 6, 0x40, 0x1210, 2, 4, ID4, STATES4, b"!01\x02\r", STATES4))
put("maintenance", "4500-digital-io-echo", maint_seed(1, 5, 0x40, 0x0043, 0x5A, 0, b">01\xF0\r", b">01\x5A\r",
    b">01\xF0\r", b">01\xF0\r"))
put("maintenance", "4560-writes", maint_seed(0, 7, 0x40, 0xA985, 7, 2, ACK, ACK, ACK, ACK))
put("maintenance", "4101-ids-numbers", maint_seed(0, 1, 0x80, 0x00CB, 0, 2, IDS0, ACK, ACK, None))
