#!/usr/bin/env python3
"""Checks the demo's record against its screenshots and vokmon's resources.

    check_record.py ROOT DIR [--no-index]

DIR holds record.tsv (one line per screenshot, written by scripts/demo_tour.sh) and the
pictures; ROOT is the source tree. Every step the demo must show is there (the converter
list only when DIR/skipped.txt does not say why it was left out), every picture exists and is
not blank, and the window named by each line was in front when it was taken: the caption the
automation helper read then is the caption of that dialog in resources/*.rc, or the main
window's title for the main window. Unless --no-index: index.html names every picture.
Prints one line per fault and exits 1 when there is any.
"""
import glob
import hashlib
import os
import re
import subprocess
import sys

FIELDS = ("file", "kind", "id", "seen", "rect", "menu", "what")

# The round the demo makes: picture name -> (kind, dialog id or main or the source file).
REQUIRED = {
    "01-main": ("main", "main"),
    "02-comm-settings": ("dialog", "1008"),
    "03-converter-list": ("dialog", "168"),
    "04-search": ("dialog", "1009"),
    "05-modules": ("main", "main"),
    "06-data-refresh": ("dialog", "111"),
    "07-data-stopped": ("dialog", "111"),
    "08-number-by-hand": ("dialog", "111"),
    "09-data-humidity": ("dialog", "111"),
    "10-data-itu-all": ("dialog", "111"),
    "11-curve-params": ("dialog", "110"),
    "12-curve-sampling": ("main", "main"),
    "13-curve-snapshot": ("file", "3900wave.bmp"),
    "14-module-params": ("dialog", "1011"),
    "15-storage-mode": ("dialog", "169"),
    "16-terminal": ("dialog", "1010"),
    "17-digital-io": ("dialog", "117"),
}
MIN_COLOURS = 16  # a screenshot of a window has far more; a blank or one-colour picture fails


def read_text(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def dialog_captions(root):
    """Dialog id (as text) -> caption, from resource_ids.h and the .rc files."""
    ids = {}
    for m in re.finditer(r"^#define\s+(IDD_\w+)\s+(\d+)", read_text(os.path.join(root, "resources", "resource_ids.h")), re.M):
        ids[m.group(1)] = m.group(2)
    captions = {}
    for rc in glob.glob(os.path.join(root, "resources", "*.rc")):
        text = read_text(rc)
        for m in re.finditer(r"^(\w+)\s+DIALOGEX\b(.*?)^BEGIN", text, re.M | re.S):
            cap = re.search(r'^CAPTION\s+"((?:[^"\\]|\\.)*)"', m.group(2), re.M)
            key = ids.get(m.group(1), m.group(1))
            if cap:
                captions[key] = cap.group(1)
    return captions


def main_title(root):
    text = read_text(os.path.join(root, "app", "state.cpp"))
    return re.search(r'AppTitle\[\]\s*=\s*"([^"]*)"', text).group(1)


_counted = {}  # picture bytes' digest -> colours: the same bytes are counted once


def colours(path):
    """Number of distinct colours of a picture (ImageMagick), 0 when it cannot be read."""
    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    if digest not in _counted:
        r = subprocess.run(["identify", "-format", "%k", path], capture_output=True, text=True)
        try:
            _counted[digest] = int(r.stdout.strip() or 0) if r.returncode == 0 else 0
        except ValueError:
            _counted[digest] = 0
    return _counted[digest]


def check(root, d, with_index=True):
    """The faults found, one text each."""
    faults = []
    record = os.path.join(d, "record.tsv")
    if not os.path.exists(record):
        return ["no record.tsv in %s" % d]
    rows = []
    for n, line in enumerate(read_text(record).splitlines(), 1):
        parts = line.rstrip("\n").split("\t")
        if len(parts) != len(FIELDS):
            faults.append("record.tsv:%d: %d fields, want %d" % (n, len(parts), len(FIELDS)))
            continue
        rows.append(dict(zip(FIELDS, parts)))
    captions = dialog_captions(root)
    title = main_title(root)
    seen_names = [os.path.splitext(r["file"])[0] for r in rows]
    skipped = os.path.exists(os.path.join(d, "skipped.txt"))
    for name, (kind, ident) in REQUIRED.items():
        if name == "03-converter-list" and skipped:
            continue
        if name not in seen_names:
            faults.append("%s: missing from the record" % name)
    if seen_names != sorted(seen_names):
        faults.append("the record is not in step order")
    for r in rows:
        f, name = r["file"], os.path.splitext(r["file"])[0]
        want = REQUIRED.get(name)
        if want and (r["kind"], r["id"]) != want:
            faults.append("%s: names %s %s, want %s %s" % (f, r["kind"], r["id"], want[0], want[1]))
        path = os.path.join(d, f)
        if not os.path.exists(path):
            faults.append("%s: no such picture" % f)
        elif colours(path) < MIN_COLOURS:
            faults.append("%s: blank (fewer than %d colours)" % (f, MIN_COLOURS))
        if r["kind"] == "dialog":
            cap = captions.get(r["id"])
            if cap is None:
                faults.append("%s: dialog %s is not in resources/" % (f, r["id"]))
            elif r["seen"] != cap:
                faults.append("%s: dialog %s (%s) was not in front, [%s] was" % (f, r["id"], cap, r["seen"]))
        elif r["kind"] == "main":
            if not r["seen"].startswith(title):
                faults.append("%s: the main window was not in front, [%s] was" % (f, r["seen"]))
        elif r["kind"] == "file":
            if r["seen"] != r["id"]:
                faults.append("%s: made from %s, record says %s" % (f, r["seen"], r["id"]))
        else:
            faults.append("%s: unknown kind %s" % (f, r["kind"]))
        if not r["menu"].strip() or not r["what"].strip():
            faults.append("%s: no menu or no line saying what it shows" % f)
    if with_index:
        index = os.path.join(d, "index.html")
        html = read_text(index) if os.path.exists(index) else ""
        if not html:
            faults.append("no index.html")
        for p in sorted(glob.glob(os.path.join(d, "[0-9][0-9]-*.png"))):
            if 'src="%s"' % os.path.basename(p) not in html:
                faults.append("index.html does not show %s" % os.path.basename(p))
    return faults


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    if len(args) != 2:
        print(__doc__)
        return 2
    faults = check(args[0], args[1], "--no-index" not in sys.argv)
    for f in faults:
        print("FAIL: " + f)
    if not faults:
        print("record of %s: every step shown, every window in front when taken" % args[1])
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
