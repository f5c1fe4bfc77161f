#!/usr/bin/env python3
"""Drives the real VelmoraScan.exe under the build's Wine machine and reads
its reports with Python's own parsers: the HTML report must parse with no
tag from data, the spreadsheet must give every row the same columns, the
text and scan logs must carry the entry, and the settings export must be a
registry file. Usage: check_reports.py BUILD_DIR"""
import csv
import html.parser
import io
import os
import subprocess
import sys
import tempfile

BUILD = os.path.abspath(sys.argv[1])
RUN = os.path.join(BUILD, "wine-run.sh")
SCAN = os.path.join(BUILD, "reports", "VelmoraScan.exe")
RUN_KEY = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run"
# What any program may write into a Run key: markup, a comma and a quote in
# the name, a comma, an ampersand and a quote in the command.
TITLE = 'VlCheck <script>alert(1)</script>, "q" & <b>'
COMMAND = r'C:\vl,check\a&b.exe /x "<i>"'
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def reg_quote(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def regedit(folder, body):
    path = os.path.join(folder, "entry.reg")
    with open(path, "w", encoding="cp1252", newline="\r\n") as f:
        f.write("REGEDIT4\n\n[" + RUN_KEY + "]\n" + body + "\n")
    subprocess.run([RUN, "regedit.exe", "/s", windows_path(path)], check=True, timeout=120)


def scan(*arguments):
    done = subprocess.run([RUN, SCAN, *arguments], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=600)
    return done.returncode, done.stdout, done.stderr


class Html(html.parser.HTMLParser):
    ALLOWED = {"html", "head", "title", "body", "h2", "a", "br", "center", "b",
               "big", "li", "ol", "i"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags, self.anchors, self.links, self.text = set(), set(), set(), []

    def handle_starttag(self, tag, attrs):
        self.tags.add(tag)
        for name, value in attrs:
            if tag == "a" and name == "name":
                self.anchors.add(value)
            if tag == "a" and name == "href":
                self.links.add(value)

    def handle_data(self, data):
        self.text.append(data)


def check_html(data):
    parser = Html()
    parser.feed(data.decode("cp1252", errors="replace"))
    parser.close()
    check(parser.tags <= Html.ALLOWED, "html: tags from data: %s" % (parser.tags - Html.ALLOWED))
    check(b"<script" not in data.lower(), "html: an unescaped <script")
    check({"A%d" % i for i in range(8)} <= parser.anchors, "html: anchors %s" % sorted(parser.anchors))
    check({"#A%d" % i for i in range(7)} <= parser.links, "html: index links")
    check(TITLE in "".join(parser.text), "html: the entry's title does not read back as text")
    check(data.rstrip().endswith(b"</body></html>"), "html: the document is not closed")


def check_csv(data):
    lines = data.decode("cp1252").split("\r\n", 2)
    check(lines[0].startswith("Log created by"), "csv: first line")
    rows = list(csv.reader(io.StringIO(lines[2], newline="")))
    check(rows and rows[0][:3] == ["Type", "SubType", "Title"], "csv: header %r" % rows[:1])
    widths = {len(r) for r in rows}
    check(widths == {9}, "csv: rows of %s fields" % sorted(widths))
    mine = [r for r in rows if len(r) > 6 and r[2] == TITLE]
    check(len(mine) == 1 and mine[0][:2] == ["HKCU", "Run"] and mine[0][6].startswith(COMMAND[:19]),
          "csv: the entry's row %r" % mine)


def check_text(data):
    text = data.decode("cp1252")
    check(text.startswith("Title\tProgram\tDescription\tVersion\tCopyright\tLocation\tPath\r\n"),
          "txt: header")
    check(any(line.split("\t")[0] == TITLE for line in text.split("\r\n")), "txt: the entry's line")


def check_log(data):
    text = data.decode("cp1252")
    check(text.startswith("Log created by "), "log: first line")
    check(("O4 - HKCU\\..\\Run: [" + TITLE + "]") in text, "log: the entry's O4 line")
    check(text.endswith("--\r\nEnd of file\r\n"), "log: end")


def check_export(data):
    # The registry editor's own format 5.00: UTF-16LE with its byte-order mark.
    check(data.startswith(b"\xff\xfe"), "export: byte-order mark")
    text = data.decode("utf-16")
    check(text.startswith("Windows Registry Editor Version 5.00\r\n\r\n"), "export: header")
    check("[HKEY_CURRENT_USER\\Software\\Corvath\\Velmora]\r\n" in text, "export: the user's key")


def main():
    with tempfile.TemporaryDirectory(prefix="vlreports") as folder:
        regedit(folder, reg_quote(TITLE) + "=" + reg_quote(COMMAND))
        try:
            for option, checker, name in (("--report=html", check_html, "VelmoraLog.html"),
                                          ("--report=csv", check_csv, "VelmoraLog.csv"),
                                          ("--report=txt", check_text, "VelmoraLog.txt"),
                                          ("--log", check_log, "HijackVelmora.log"),
                                          ("--export-settings", check_export, "settings.reg")):
                path = os.path.join(folder, name)
                code, out, err = scan(option, windows_path(path))
                check(code == 0 and out == b"", "%s FILE: exit %d, %r" % (option, code, err))
                with open(path, "rb") as f:
                    checker(f.read())
            # Without FILE the same report reaches the standard output.
            code, out, err = scan("--report=csv")
            check(code == 0, "--report=csv to stdout: exit %d %r" % (code, err))
            check_csv(out)
            code, out, err = scan("--report=pdf", windows_path(os.path.join(folder, "x")))
            check(code == 2 and out == b"" and err.count(b"\n") == 1, "--report=pdf: exit %d" % code)
            code, out, err = scan("--log", windows_path(os.path.join(folder, "no", "such", "x.log")))
            check(code == 1 and err.count(b"\n") == 1, "--log into a missing folder: exit %d" % code)
        finally:
            regedit(folder, reg_quote(TITLE) + "=-")
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
