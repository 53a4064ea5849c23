#!/usr/bin/env python3
"""Reads a module's configuration and the temperatures of its units through
libvok3900d.so with ctypes (records decoded as family 0x28 sensors: 1/16 degree, or the
13-bit 1/32 degree form).

usage: read_temps.py [LIBRARY] [PORT] [ADDRESS]    (defaults: libvok3900d.so 1 1)
Port n is the device in $VOK_COM<n> (or the older $VOK3900D_COM<n>), else /dev/ttyS<n-1>.
"""
import ctypes
import sys

VOK_OK = -1


class ModuleInfo(ctypes.Structure):
    _fields_ = [("address", ctypes.c_ubyte), ("new_address", ctypes.c_ubyte),
                ("type_code", ctypes.c_ubyte), ("baud_index", ctypes.c_ubyte),
                ("baud_index_set", ctypes.c_ubyte), ("data_format", ctypes.c_ubyte),
                ("itu_total", ctypes.c_int), ("channel_state", ctypes.c_ubyte),
                ("itu_count", ctypes.c_ubyte * 8), ("name", ctypes.c_char * 8),
                ("version", ctypes.c_char * 6)]


assert ctypes.sizeof(ModuleInfo) == 36


def unit_counts(info):
    """Units per channel by the model's rules: models 4101 and 4102 keep their alarm
    settings where the counts of CH1-CH7 would be (only CH0 has units); model 4103 has
    three channels."""
    digits = info.name[3:7]
    model = int(digits) if digits.isdigit() else 0
    counts = list(info.itu_count)
    if model in (4101, 4102):
        counts[1:] = [0] * 7
    elif model == 4103:
        counts[3:] = [0] * 5
    return counts


path = sys.argv[1] if len(sys.argv) > 1 else "libvok3900d.so"
port = int(sys.argv[2]) if len(sys.argv) > 2 else 1
address = int(sys.argv[3], 0) if len(sys.argv) > 3 else 1

lib = ctypes.CDLL(path)
rc = lib.vok_com_open(port, 3, 0)  # baud index 3 = 9600, line mode 0
if rc != VOK_OK:
    sys.exit("vok_com_open: %d" % rc)
try:
    info = ModuleInfo()
    rc = lib.vok_read_config(port, address, ctypes.byref(info))
    if rc != VOK_OK:
        sys.exit("vok_read_config: %d" % rc)
    counts = unit_counts(info)
    print("module %02X %s firmware %s, %d units" % (
        info.address, info.name[:7].decode(), info.version.decode(), sum(counts)))
    records = (ctypes.c_ubyte * (255 * 4))()
    for channel in range(8):
        units = counts[channel]
        if units == 0:
            continue
        rc = lib.vok_read_temp(port, address, channel, records)
        if rc < 0:
            print("CH%d: error %d" % (channel, rc))
            continue
        for i in range(units):
            rec = records[4 * i:4 * i + 4]
            raw = rec[0] | rec[1] << 8
            if raw >= 0x8000:
                raw -= 0x10000
            if rec[0] & 7 == 0 and rec[2] == 0xFF and rec[3] == 0xFF:
                # The 13-bit form (marked by FF FF): 1/32 degree, left-aligned.
                print("CH%d %02d %+.5f" % (channel, i, (raw >> 3) / 32.0))
            else:
                print("CH%d %02d %+.3f" % (channel, i, raw / 16.0))
finally:
    lib.vok_com_close(port)
