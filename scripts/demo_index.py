#!/usr/bin/env python3
"""Writes DIR/index.html from DIR/record.tsv: the demo's screenshots in order, each with one
line saying what the technician sees and which menu leads there. Plain HTML with relative
links, so it opens from the file system in any browser.

    demo_index.py DIR
"""
import html
import os
import sys

FIELDS = ("file", "kind", "id", "seen", "rect", "menu", "what")


def read_record(path):
    """The record's rows as dicts; a row with another number of fields is an error."""
    rows = []
    with open(path, encoding="utf-8") as f:
        for n, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line:
                continue
            parts = line.split("\t")
            if len(parts) != len(FIELDS):
                raise ValueError("%s:%d: %d fields, want %d" % (path, n, len(parts), len(FIELDS)))
            rows.append(dict(zip(FIELDS, parts)))
    return rows


def page(rows, skipped):
    out = ["<!DOCTYPE html>", '<html lang="en"><head><meta charset="utf-8">',
           "<title>vokmon demo</title>",
           "<style>body{font-family:sans-serif;max-width:1060px;margin:1em auto}"
           "img{max-width:100%;border:1px solid #888}figure{margin:0 0 2em 0}</style>",
           "</head><body>", "<h1>vokmon demo: a technician's round on the simulated demo bus</h1>"]
    if skipped:
        out.append("<p><em>%s</em></p>" % html.escape(skipped))
    for n, r in enumerate(rows, 1):
        out.append('<figure id="step%d"><figcaption><b>%d. %s</b> &mdash; %s</figcaption>'
                   % (n, n, html.escape(r["menu"]), html.escape(r["what"])))
        out.append('<a href="%s"><img src="%s" alt="%s"></a></figure>'
                   % (html.escape(r["file"]), html.escape(r["file"]), html.escape(r["what"])))
    out.append("</body></html>")
    return "\n".join(out) + "\n"


def main():
    d = sys.argv[1]
    rows = read_record(os.path.join(d, "record.tsv"))
    skipped = ""
    sp = os.path.join(d, "skipped.txt")
    if os.path.exists(sp):
        skipped = open(sp, encoding="utf-8").read().strip()
    with open(os.path.join(d, "index.html"), "w", encoding="utf-8") as f:
        f.write(page(rows, skipped))
    print("demo: %s with %d screenshots" % (os.path.join(d, "index.html"), len(rows)))


if __name__ == "__main__":
    main()
