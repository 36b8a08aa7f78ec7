#!/usr/bin/env python3
"""Opens report pages in a real headless Chromium, offline, and checks them.

The sample drive's page: loads with no console errors, the route holds one
vertex per run of positioned items at the same coordinates (the thinning rule
of the page; the items come from the tool's GeoPackage), the event table one
row per event item, the KPI picker recolours the route, selecting a stretch
filters the tables by time, and a screenshot is not blank. A crafted log whose
event names hold markup, quotes, "]]>" and bytes that are not UTF-8 runs no
injected script and shows those names as text.

Skipped (exit 0 with a message) when Chromium, its driver or Selenium is
missing. Environment: WENDRAKE_CLI (the tool), WENDRAKE_SOURCE_DIR, and
optionally WENDRAKE_SCREENSHOT (where to save the sample page's screenshot).
"""

import json
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import unittest
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.environ.get("WENDRAKE_SOURCE_DIR", os.path.join(HERE, "..", "..", ".."))
CLI = os.environ.get("WENDRAKE_CLI", "wendrake")
SAMPLE = os.path.join(SOURCE, "examples", "sample_drive.log")
sys.path.insert(0, HERE)
from crafted_log import CRAFTED_NAMES, crafted_log  # noqa: E402

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.options import Options
    from selenium.webdriver.chrome.service import Service
except ImportError:
    webdriver = None

CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
DRIVER = shutil.which("chromedriver")


def missing():
    if webdriver is None:
        return "python3-selenium is not installed"
    if CHROMIUM is None:
        return "chromium is not installed"
    if DRIVER is None:
        return "chromium-driver is not installed"
    return None


def run(*args):
    subprocess.run([CLI, *args], check=True, stdout=subprocess.DEVNULL)


def png_colours(png):
    """Number of distinct colours of an 8-bit RGB or RGBA PNG."""
    assert png[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat = 8, b""
    while pos < len(png):
        length = int.from_bytes(png[pos:pos + 4], "big")
        kind, body = png[pos + 4:pos + 8], png[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour_type = (int.from_bytes(body[:4], "big"),
                                                 int.from_bytes(body[4:8], "big"), body[8], body[9])
            assert depth == 8 and colour_type in (2, 6), (depth, colour_type)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, bpp = zlib.decompress(idat), 4 if colour_type == 6 else 3
    stride, previous, colours = width * bpp, bytearray(width * bpp), set()
    for y in range(height):
        kind, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):  # the PNG row filters
            a = row[i - bpp] if i >= bpp else 0
            b, c = previous[i], previous[i - bpp] if i >= bpp else 0
            if kind == 1:
                row[i] = (row[i] + a) & 255
            elif kind == 2:
                row[i] = (row[i] + b) & 255
            elif kind == 3:
                row[i] = (row[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        colours.update(bytes(row[x:x + 3]) for x in range(0, stride, bpp * 7))
        previous = row
    return len(colours)


@unittest.skipIf(missing(), missing())
class ReportInBrowserTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="wendrake-report-")
        cls.profile = os.path.join(cls.work, "profile")
        options = Options()
        options.binary_location = CHROMIUM
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--disable-dev-shm-usage", "--window-size=1280,1500", f"--user-data-dir={cls.profile}"):
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        cls.browser = webdriver.Chrome(service=Service(DRIVER), options=options)
        # Offline: the page must need nothing from the network.
        cls.browser.set_network_conditions(offline=True, latency=0, download_throughput=0, upload_throughput=0)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        shutil.rmtree(cls.work, ignore_errors=True)

    def open(self, page):
        self.browser.get("file://" + page)
        self.browser.get_log("browser")  # nothing before this load counts
        self.browser.refresh()
        return [entry for entry in self.browser.get_log("browser") if entry["level"] == "SEVERE"]

    def js(self, script):
        return self.browser.execute_script(script)

    def test_sample_report(self):
        page = os.path.join(self.work, "report.html")
        gpkg = os.path.join(self.work, "route.gpkg")
        run("report", SAMPLE, "-o", page)
        run("map", SAMPLE, "-o", gpkg)
        self.assertEqual(self.open(page), [])
        # The sample's impossible fixes are rejected and counted.
        sys.path.insert(0, os.path.join(SOURCE, "examples"))
        from make_sample_log import BAD_FIXES
        self.assertIn(f" kept, {len(BAD_FIXES)} rejected", self.js("return document.getElementById('summary').textContent"))

        # The route's vertices: runs of positioned items at the same coordinates.
        with sqlite3.connect(gpkg) as db:
            rows = db.execute("SELECT geom FROM items ORDER BY fid").fetchall()
        points = [bytes(geom)[-16:] for (geom,) in rows]  # the point's x and y, little-endian doubles
        runs = sum(1 for i, p in enumerate(points) if i == 0 or p != points[i - 1])
        self.assertGreater(runs, 100)
        self.assertLessEqual(runs, 5000)  # the sample is not thinned
        self.assertEqual(self.js("return driveReport.route.getLatLngs().length"), runs)

        # One table row per event item.
        items = subprocess.run([CLI, "decode", SAMPLE], check=True, capture_output=True).stdout.decode().splitlines()
        events = sum(1 for line in items if json.loads(line)["record"] == "EVT")
        self.assertGreater(events, 10)
        self.assertEqual(self.js("return driveReport.events.rows()"), events)

        # The KPI picker recolours the route.
        colours = "return driveReport.pieces.getLayers().map(function (l) { return l.options.color; }).join(',')"
        before = self.js(colours)
        self.js("var p = document.getElementById('kpi'); p.value = String(Array.from(p.options)"
                ".findIndex(function (o) { return o.text === 'Total_SINR'; })); p.dispatchEvent(new Event('change'))")
        after = self.js(colours)
        self.assertNotEqual(before, after)
        self.assertEqual(self.js("return document.getElementById('chart-title').textContent"), "Total_SINR over time")
        # The drive script's labels ("LAB" lines) mark the time axis.
        labels = self.js("return Array.from(document.querySelectorAll('#chart .label-note'))"
                         ".map(function (n) { return n.firstChild.textContent; })")
        self.assertTrue({"Voice call 1 (MO)", "Voice call 1 end", "EV-DO download", "1x data call"} <= set(labels),
                        labels)

        # Selecting a stretch filters the tables to its times.
        total = self.js("return driveReport.signalling.rows()")
        self.js("driveReport.select(0, 100)")
        part = self.js("return driveReport.signalling.rows()")
        self.assertTrue(0 < part < total, (part, total))
        self.js("driveReport.select(null)")
        self.assertEqual(self.js("return driveReport.signalling.rows()"), total)
        self.assertEqual(self.open(page), [])

        png = self.browser.get_screenshot_as_png()
        self.assertGreater(png_colours(png), 20)  # not blank: the route's colours, text, the charts
        target = os.environ.get("WENDRAKE_SCREENSHOT")
        if target:
            with open(target, "wb") as f:
                f.write(png)

    def test_crafted_log_runs_no_script(self):
        log = os.path.join(self.work, "<img src=x onerror=alert(1)>.log")
        with open(log, "wb") as f:
            f.write(crafted_log())
        page = os.path.join(self.work, "crafted.html")
        run("report", log, "-o", page)
        errors = self.open(page)
        self.assertEqual(errors, [])
        self.assertIsNone(self.js("return window.injected === undefined ? null : window.injected"))
        # Only the page's own scripts exist, and no element came from log text.
        self.assertEqual(self.js("return document.scripts.length"), 3)
        self.assertEqual(self.js("return document.querySelectorAll('img, iframe, object, svg script').length"), 0)
        shown = self.js("return Array.from(document.querySelectorAll('#events td:nth-child(3)'))"
                        ".map(function (td) { return td.textContent; })")
        for name in CRAFTED_NAMES:
            self.assertIn(name.decode("utf-8", "replace"), shown)
        self.assertIn("<img src=x onerror=alert(1)>.log", self.js("return document.getElementById('title').textContent"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
