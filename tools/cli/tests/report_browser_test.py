#!/usr/bin/env python3
"""Opens report pages in a real headless Chromium, offline, and checks them.

The sample drive's page: loads with no console errors, the route holds one
vertex per run of positioned items at the same coordinates (the thinning rule
of the page; the items come from the tool's GeoPackage), the event table one
row per event item, the KPI picker recolours the route, selecting a stretch
filters the tables by time, and a screenshot is not blank. A log whose
network advertises its cells shows them labelled, the serving lines to the
right cells, and a clicked cell's neighbours listed and linked. A crafted log whose
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
from cells_log import CELLS, ROUTE, SWITCH, advertised, cells_log, expected_serving  # noqa: E402
from crafted_log import CRAFTED_NAMES, crafted_log  # noqa: E402

try:
    from selenium import webdriver
    from selenium.webdriver.common.action_chains import ActionChains
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


def midnight_log():
    """A drive over midnight whose clock then goes back before its start,
    with a constant Txpower and events of three kinds."""
    lines = [b"RegReport\tGPS\tSats\tLon\tLat", b"RegReport\tDM\tRxagc\tTxpower",
             b"RegReport\tEVT\tEvent\tEventName"]
    times = ([(4, 23, 59, s) for s in range(0, 60, 2)] + [(5, 0, 0, s) for s in range(0, 40, 2)] +
             [(4, 23, 58, s) for s in range(0, 20, 2)])
    names = [b"POWER_UP", b"DROP", b"HANDOFF"]
    for i, (day, hour, minute, second) in enumerate(times):
        lines += [b"DAY\t2012\t3\t%d" % day, b"HOUR\t%d" % hour, b"MIN\t%d" % minute, b"SEC\t%d\t0" % second,
                  b"GPS\t9\t%.6f\t%.6f" % (120.1 + i * 0.0002, 30.2 + i * 0.0001),
                  b"DM\t%d\t-10" % (-70 - i % 9)]
        if i % 6 == 0:
            lines.append(b"EVT\t%04X\t" % (0x101 + i // 6 % 3) + names[i // 6 % 3])
    return b"\n".join(lines) + b"\n"


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
        starts = [i for i, p in enumerate(points) if i == 0 or p != points[i - 1]]
        lengths = [end - start for start, end in zip(starts, starts[1:] + [len(points)])]
        self.assertGreater(len(lengths), 100)
        # Each run is drawn as its first and last item (the sample is not thinned).
        self.assertEqual(self.js("return driveReport.route.getLatLngs().length"), sum(min(n, 2) for n in lengths))

        # One table row per event item.
        items = subprocess.run([CLI, "decode", SAMPLE], check=True, capture_output=True).stdout.decode().splitlines()
        events = sum(1 for line in items if json.loads(line)["record"] == "EVT")
        self.assertGreater(events, 10)
        self.assertEqual(self.js("return driveReport.events.rows()"), events)

        # The KPI picker, named with the units, recolours the route.
        colours = "return driveReport.pieces.getLayers().map(function (l) { return l.options.color; }).join(',')"
        before = self.js(colours)
        self.js("var p = document.getElementById('kpi'); p.value = String(Array.from(p.options)"
                ".findIndex(function (o) { return o.text === 'Total_SINR (dB)'; })); p.dispatchEvent(new Event('change'))")
        after = self.js(colours)
        self.assertNotEqual(before, after)
        self.assertEqual(self.js("return document.getElementById('chart-title').textContent"),
                         "Total_SINR (dB) over time")
        self.assertEqual(self.js("return document.querySelector('.leaflet-bottom.leaflet-right .legend b').textContent"),
                         "Total_SINR (dB)")
        # The drive script's labels ("LAB" lines) mark the time axis.
        labels = self.js("return Array.from(document.querySelectorAll('#chart .label-note'))"
                         ".map(function (n) { return n.firstChild.textContent; })")
        self.assertTrue({"Voice call 1 (MO)", "Voice call 1 end", "EV-DO download", "1x data call"} <= set(labels),
                        labels)

        # The EV-DO strip names the states with the time spent in each.
        legend = self.js("return Array.from(document.querySelectorAll('#strip text'))"
                         ".map(function (t) { return t.textContent; })")
        self.assertEqual(legend, ["inactive 2 min 55 s", "idle 2 min 14 s", "connected 1 min 50 s"])

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

    def test_time_axis_over_midnight_and_a_clock_that_goes_back(self):
        log = os.path.join(self.work, "midnight.log")
        with open(log, "wb") as f:
            f.write(midnight_log())
        page = os.path.join(self.work, "midnight.html")
        run("report", log, "-o", page)
        self.assertEqual(self.open(page), [])
        ticks = self.js("return Array.from(document.querySelectorAll('#chart text.axis[y=\"175\"]'))"
                        ".map(function (t) { return t.textContent; })")
        self.assertEqual(ticks[0], "2012-03-04 23:58:00")  # the earliest clock, not the first
        self.assertEqual(ticks[-1], "2012-03-05 00:00:38")
        # The series spans the chart rather than collapsing into one line.
        xs = self.js("return Array.from(document.querySelectorAll('#chart polyline')).map(function (p) {"
                     " return p.getAttribute('points'); }).join(' ')").split()
        xs = [float(point.split(",")[0]) for point in xs]
        self.assertGreater(max(xs) - min(xs), 800)
        # The whole route selected holds every event, though it ends before it starts.
        self.js("driveReport.select(0, driveReport.route.getLatLngs().length - 1)")
        self.assertEqual(self.js("return document.getElementById('selection').textContent"),
                         "Selected 2012-03-04 23:59:00 to 2012-03-04 23:58:18 (lines 9 to 373).")
        self.assertEqual(self.js("return driveReport.events.rows()"), 10)

    def test_legends_and_event_markers(self):
        log = os.path.join(self.work, "midnight.log")
        with open(log, "wb") as f:
            f.write(midnight_log())
        page = os.path.join(self.work, "legend.html")
        run("report", log, "-o", page, "--kpi", "Txpower", "--bins", "range")
        self.assertEqual(self.open(page), [])
        # A KPI of one value: one legend row, not five identical ones.
        rows = self.js("return Array.from(document.querySelectorAll('.leaflet-bottom.leaflet-right .legend div'))"
                       ".map(function (d) { return d.textContent; })")
        self.assertEqual(rows, ["all -10"])
        # Event kinds by colour, listed with their counts.
        kinds = self.js("return Array.from(document.querySelectorAll('.leaflet-bottom.leaflet-left .legend div'))"
                        ".map(function (d) { return d.textContent; })")
        self.assertEqual(sorted(kinds), ["DROP (3)", "HANDOFF (3)", "POWER_UP (4)"])
        colours = self.js("return driveReport.markers.getLayers().map(function (m) { return m.options.fillColor; })")
        self.assertEqual(len(set(colours)), 3)

        # A real click on a marker that sits on the route starts a stretch there.
        self.js("driveReport.map.setZoom(17); driveReport.map.panTo(driveReport.markers.getLayers()[1].getLatLng(),"
                " { animate: false })")
        x, y, width, height, hit = self.js(
            "var m = driveReport.markers.getLayers()[1], map = driveReport.map;"
            "var p = map.latLngToContainerPoint(m.getLatLng()), r = map.getContainer().getBoundingClientRect();"
            "return [p.x, p.y, r.width, r.height, document.elementFromPoint(r.left + p.x, r.top + p.y) === m._path];")
        self.assertTrue(hit, "the click would not land on the marker")
        element = self.browser.find_element("id", "map")
        ActionChains(self.browser).move_to_element_with_offset(element, int(x - width / 2), int(y - height / 2)) \
            .click().perform()
        self.assertTrue(self.js("return document.getElementById('selection').textContent").startswith("Start at "))

    def test_cells_serving_lines_and_neighbours(self):
        log = os.path.join(self.work, "cells.log")
        with open(log, "wb") as f:
            f.write(cells_log())
        page = os.path.join(self.work, "cells.html")
        run("report", log, "-o", page)
        self.assertEqual(self.open(page), [])
        # Each cell a marker at its advertised position, labelled with its PN and ID.
        labels = self.js("return Array.from(document.querySelectorAll('.cell-label'))"
                         ".map(function (d) { return d.textContent; })")
        self.assertEqual(labels, [f"PN {pn} ID {base_id}" for pn, base_id, *_ in CELLS])
        positions = self.js("return driveReport.cells.getLayers().map(function (m) {"
                            " var p = m.getLatLng(); return [p.lat, p.lng]; })")
        for (lat, lon), (_, _, want_lat, want_lon, _) in zip(positions, CELLS):
            self.assertAlmostEqual(lat, advertised(want_lat), places=9)
            self.assertAlmostEqual(lon, advertised(want_lon), places=9)
        # A serving line from every drawn point to the cell the reported PN
        # names nearest to it (never the far cell reusing PN 168).
        lines = self.js("return driveReport.servingLines.getLayers().map(function (l) {"
                        " return l.getLatLngs().map(function (p) { return [p.lat, p.lng]; }); })")
        # Every drawn point but the first: the first fix's first item comes
        # before the handset reported any PN.
        self.assertEqual(len(lines), self.js("return driveReport.route.getLatLngs().length") - 1)
        served = {}
        for (lat, lon), cell in lines:
            i = min(range(len(ROUTE)), key=lambda k: abs(ROUTE[k][0] - lat))
            base_id = next(c[1] for c in CELLS if abs(advertised(c[2]) - cell[0]) < 1e-9 and
                           abs(advertised(c[3]) - cell[1]) < 1e-9)
            served.setdefault(i, set()).add(base_id)
        # A fix's first item still has the PN reported before it; its last
        # the one reported at it (at the switch, both are drawn).
        for i in range(1, len(ROUTE)):
            want = {expected_serving(i)[1]} | ({expected_serving(i - 1)[1]} if i == SWITCH else set())
            self.assertEqual(served.get(i), want, i)
        # The distance is a KPI with its unit, whose chart and legend come from every value.
        options = self.js("return Array.from(document.querySelectorAll('#kpi option'))"
                          ".map(function (o) { return o.textContent; })")
        self.assertIn("ServingCellDistance (m)", options)
        # A real click on a cell lists its neighbours and links them.
        self.js("var m = driveReport.cells.getLayers()[0]; driveReport.map.setZoom(16);"
                " driveReport.map.panTo(m.getLatLng(), { animate: false })")
        x, y, width, height, hit = self.js(
            "var m = driveReport.cells.getLayers()[0], map = driveReport.map;"
            "var p = map.latLngToContainerPoint(m.getLatLng()), r = map.getContainer().getBoundingClientRect();"
            "return [p.x, p.y, r.width, r.height, document.elementFromPoint(r.left + p.x, r.top + p.y) === m._path];")
        self.assertTrue(hit, "the click would not land on the cell")
        element = self.browser.find_element("id", "map")
        ActionChains(self.browser).move_to_element_with_offset(element, int(x - width / 2), int(y - height / 2)) \
            .click().perform()
        listed = self.js("return Array.from(document.querySelectorAll('.leaflet-popup ul.neighbours li'))"
                         ".map(function (li) { return li.textContent; })")
        self.assertEqual(listed, ["PN 240 ID 200", "PN 312 (no cell heard)"])
        links = self.js("return driveReport.neighbourLinks.getLayers().map(function (l) {"
                        " return l.getLatLngs().map(function (p) { return [p.lat, p.lng]; }); })")
        self.assertEqual(len(links), 1)
        self.assertAlmostEqual(links[0][1][0], advertised(CELLS[1][2]), places=9)
        # Closing the list takes its links away.
        self.js("driveReport.map.closePopup()")
        self.assertEqual(self.js("return driveReport.neighbourLinks.getLayers().length"), 0)

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
