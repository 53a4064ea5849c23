#!/usr/bin/env python3
"""The demo record checker and the guide checker on fixtures: a sound record and guide pass,
and each kind of fault they exist to catch is reported.

    checks_test.py ROOT      (ROOT: the source tree, whose resources the checkers read)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_guide  # noqa: E402
import check_record  # noqa: E402

ROOT = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "../.."))
CAPTIONS = check_record.dialog_captions(ROOT)
TITLE = check_record.main_title(ROOT)


class RecordFixture(unittest.TestCase):
    """A demo directory with every required step, pictures of many colours and an index."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp()
        cls.colourful = os.path.join(cls.tmp, "colourful.png")
        cls.blank = os.path.join(cls.tmp, "blank.png")
        subprocess.run(["convert", "-size", "64x48", "gradient:red-blue", cls.colourful], check=True)
        subprocess.run(["convert", "-size", "64x48", "xc:white", cls.blank], check=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def setUp(self):
        self.dir = tempfile.mkdtemp(dir=self.tmp)
        self.rows = []
        for name, (kind, ident) in check_record.REQUIRED.items():
            seen = {"dialog": CAPTIONS.get(ident), "main": TITLE + "  NET-RW", "file": ident}[kind]
            self.rows.append([name + ".png", kind, ident, seen, "0 0 10 10", "menu", "what it shows"])
            shutil.copy(self.colourful, os.path.join(self.dir, name + ".png"))

    def write(self, index=True):
        with open(os.path.join(self.dir, "record.tsv"), "w", encoding="utf-8") as f:
            for r in self.rows:
                f.write("\t".join(r) + "\n")
        if index:
            with open(os.path.join(self.dir, "index.html"), "w", encoding="utf-8") as f:
                f.write("".join('<img src="%s">' % r[0] for r in self.rows))

    def faults(self, index=True):
        self.write(index)
        return check_record.check(ROOT, self.dir, True)

    def row(self, name):
        return next(r for r in self.rows if r[0] == name + ".png")


class RecordTest(RecordFixture):
    def test_sound_record_passes(self):
        self.assertEqual(self.faults(), [])

    def test_each_fault_is_reported(self):
        # (what is done to the sound fixture, the text the fault report must hold)
        cases = [
            (lambda: os.remove(os.path.join(self.dir, "06-data-refresh.png")), "06-data-refresh.png: no such picture"),
            (lambda: shutil.copy(self.blank, os.path.join(self.dir, "16-terminal.png")), "16-terminal.png: blank"),
            (lambda: self.row("11-curve-params").__setitem__(3, CAPTIONS["1008"]), "dialog 110 (曲线参数设定) was not in front"),
            (lambda: self.row("12-curve-sampling").__setitem__(3, CAPTIONS["110"]), "the main window was not in front"),
            (lambda: self.row("13-curve-snapshot").__setitem__(3, "other.bmp"), "made from other.bmp"),
            (lambda: self.row("14-module-params").__setitem__(2, "169"), "names dialog 169, want dialog 1011"),
            (lambda: self.row("17-digital-io").__setitem__(1, "box"), "names box 117"),
            (lambda: self.rows.remove(self.row("15-storage-mode")), "15-storage-mode: missing from the record"),
            (lambda: self.rows.remove(self.row("03-converter-list")), "03-converter-list: missing from the record"),
            (lambda: self.rows.insert(0, self.rows.pop(4)), "not in step order"),
            (lambda: self.row("09-data-humidity").pop(), "record.tsv:9: 6 fields"),
            (lambda: self.row("07-data-stopped").__setitem__(6, " "), "no menu or no line"),
        ]
        for change, want in cases:
            with self.subTest(want=want):
                self.setUp()
                change()
                found = self.faults()
                self.assertTrue(any(want in f for f in found), found)

    def test_unknown_dialog_id(self):
        self.rows.append(["18-extra.png", "dialog", "4242", "x", "0 0 1 1", "m", "w"])
        shutil.copy(self.colourful, os.path.join(self.dir, "18-extra.png"))
        self.assertIn("18-extra.png: dialog 4242 is not in resources/", self.faults())

    def test_index_must_show_every_picture(self):
        self.write(index=False)
        with open(os.path.join(self.dir, "index.html"), "w", encoding="utf-8") as f:
            f.write('<img src="01-main.png">')
        found = check_record.check(ROOT, self.dir, True)
        self.assertIn("index.html does not show 17-digital-io.png", found)
        self.assertEqual(check_record.check(ROOT, self.dir, False), [])

    def test_skipped_converter_list_needs_its_reason(self):
        self.rows.remove(self.row("03-converter-list"))
        os.remove(os.path.join(self.dir, "03-converter-list.png"))
        with open(os.path.join(self.dir, "skipped.txt"), "w") as f:
            f.write("demo: the converter list step is skipped: no namespaces\n")
        self.assertEqual(self.faults(), [])


class GuideTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        os.makedirs(os.path.join(self.dir, "pictures"))
        self.pic = os.path.join(self.dir, "pictures", "01-main.png")
        open(self.pic, "wb").close()

    def tearDown(self):
        shutil.rmtree(self.dir)

    def faults(self, body):
        path = os.path.join(self.dir, "guide.md")
        with open(path, "w", encoding="utf-8") as f:
            f.write(body + "\n![main](pictures/01-main.png)\n")
        return check_guide.check(ROOT, path)

    def test_quotes(self):
        # (quoted text, found in the program)
        cases = [
            ("通讯设置", True),            # a dialog caption in a .rc file
            ("通讯(com)", True),           # a menu text as shown, without its & mark
            ("下载成功!,新编码须复位后才可生效!", True),  # a message box text in the sources
            ("通讯设定", False),           # one character off
            ("下载成功!", True),           # part of a longer text still reads as shown
            ("Download done", False),
        ]
        for text, found in cases:
            with self.subTest(text=text):
                faults = self.faults("Choose 「%s」." % text)
                self.assertEqual(faults == [], found, faults)

    def test_pictures(self):
        self.assertIn("picture missing: pictures/02-x.png", self.faults("「通讯设置」 ![x](pictures/02-x.png)"))
        open(os.path.join(self.dir, "pictures", "03-unused.png"), "wb").close()
        self.assertIn("picture not used by the guide: pictures/03-unused.png", self.faults("「通讯设置」"))

    def test_guide_without_quotes_fails(self):
        self.assertIn("the guide quotes no dialog text", self.faults("No quotes here."))


if __name__ == "__main__":
    unittest.main(verbosity=1)
