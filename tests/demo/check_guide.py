#!/usr/bin/env python3
"""Checks the technician's guide against the program it describes.

    check_guide.py ROOT [GUIDE]

GUIDE (default ROOT/docs/guide.md) quotes what vokmon shows between 「 and 」. Every quoted
text must be found byte for byte in resources/*.rc or in the program's sources (menu texts
also without their '&' accelerator marks, as the screen shows them). Every picture the guide
links must exist, and every picture under docs/pictures/ must be used. Prints one line per
fault and exits 1 when there is any.
"""
import glob
import os
import re
import sys

SOURCE_DIRS = ("app", "display", "maintenance", "netsetup", "link", "protocol", "platform", "driver", "cli")
QUOTE = re.compile(r"「([^」]+)」")
PICTURE = re.compile(r"!\[[^\]]*\]\(([^)\s]+)\)")


def program_texts(root):
    """All of resources/*.rc and the C/C++ sources, as one text, plus that text without '&'."""
    parts = []
    for path in sorted(glob.glob(os.path.join(root, "resources", "*.rc"))):
        with open(path, encoding="utf-8") as f:
            parts.append(f.read())
    for d in SOURCE_DIRS:
        for ext in ("cpp", "h", "c"):
            for path in sorted(glob.glob(os.path.join(root, d, "**", "*." + ext), recursive=True)):
                with open(path, encoding="utf-8", errors="replace") as f:
                    parts.append(f.read())
    text = "\n".join(parts)
    return text, text.replace("&", "")


def check(root, guide):
    faults = []
    if not os.path.exists(guide):
        return ["no guide at %s" % guide]
    with open(guide, encoding="utf-8") as f:
        body = f.read()
    text, plain = program_texts(root)
    quotes = QUOTE.findall(body)
    if not quotes:
        faults.append("the guide quotes no dialog text")
    for q in sorted(set(quotes)):
        if q not in text and q not in plain:
            faults.append("quoted text not in resources/ or the sources: 「%s」" % q)
    base = os.path.dirname(guide)
    linked = set()
    for link in PICTURE.findall(body):
        path = os.path.normpath(os.path.join(base, link))
        linked.add(path)
        if not os.path.exists(path):
            faults.append("picture missing: %s" % link)
    for path in sorted(glob.glob(os.path.join(base, "pictures", "*.png"))):
        if os.path.normpath(path) not in linked:
            faults.append("picture not used by the guide: %s" % os.path.relpath(path, base))
    return faults


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__)
        return 2
    root = sys.argv[1]
    guide = sys.argv[2] if len(sys.argv) == 3 else os.path.join(root, "docs", "guide.md")
    faults = check(root, guide)
    for f in faults:
        print("FAIL: " + f)
    if not faults:
        with open(guide, encoding="utf-8") as f:
            n = len(set(QUOTE.findall(f.read())))
        print("guide: %d quoted texts, all found in the program; every picture there and used" % n)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
