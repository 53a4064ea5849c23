#!/usr/bin/env python3
"""Checks the output of timing_client: every export found, the results of each call, the
module's configuration, each call's measured time against its schedule, and that a port
left open when the library was unloaded can be opened again after reloading it.

usage: check_timing.py OUTPUT [--units N] [--late MS] [--early MS]
"""
import argparse
import sys

p = argparse.ArgumentParser()
p.add_argument("output")
p.add_argument("--units", type=int, default=64, help="units on the channel read")
p.add_argument("--late", type=float, default=15.0, help="ms a call may take beyond its schedule")
p.add_argument("--early", type=float, default=1.0, help="ms a call may end before its schedule")
args = p.parse_args()

lines = open(args.output).read().splitlines()
errors = []
exports = [l.split() for l in lines if l.startswith("export ")]
if len(exports) != 13 or any(e[3] != "ok" for e in exports):
    errors.append("exports: %s" % exports)

calls = [l.split() for l in lines if l.startswith("call ")]
expected = [("vok_com_open", -1), ("vok_read_config", -1), ("vok_read_temp", args.units),
            ("vok_com_close", -1), ("vok_com_close", -7)]
got = [(c[1], int(c[2])) for c in calls]
if got != expected:
    errors.append("calls %s, expected %s" % (got, expected))

config = [l.split() for l in lines if l.startswith("config ")]
if not config or config[0][1] != "VOK4560" or config[0][2] != "V1.23" or config[0][3] != "80" \
        or config[0][4] != "3" or config[0][5] != str(3 + args.units + 1):
    errors.append("config line %s" % config)

reload = [l.split() for l in lines if l.startswith("reload ")]
if reload != [["reload", "open", "-1", "-1"]]:
    errors.append("open after unloading with the port open: %s" % reload)

print("call               result  measured  scheduled  difference (ms)")
for c in calls:
    name, rc, measured, scheduled = c[1], int(c[2]), float(c[3]), float(c[4])
    diff = measured - scheduled
    print("%-18s %6d %9.1f %10.1f %+10.1f" % (name, rc, measured, scheduled, diff))
    if diff > args.late or diff < -args.early:
        errors.append("%s took %.1f ms, scheduled %.1f ms" % (name, measured, scheduled))

for e in errors:
    print("FAIL:", e)
print("%d passed, %d failed" % (1 if not errors else 0, 1 if errors else 0))
sys.exit(1 if errors else 0)
