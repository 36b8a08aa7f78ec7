#!/usr/bin/env python3
"""The map command's files: GeoPackage (read with sqlite3 and ogrinfo), GeoJSON
(structure) and KML (parsed), from the sample drive and from a crafted log;
and its failures: one line, exit 2, nothing left under the output's name.

Environment: WENDRAKE_CLI (the tool) and WENDRAKE_SOURCE_DIR.
"""

import json
import os
import shutil
import sqlite3
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.environ.get("WENDRAKE_SOURCE_DIR", os.path.join(HERE, "..", "..", ".."))
CLI = os.environ.get("WENDRAKE_CLI", "wendrake")
SAMPLE = os.path.join(SOURCE, "examples", "sample_drive.log")
sys.path.insert(0, HERE)
from crafted_log import CRAFTED_NAMES, crafted_log  # noqa: E402

KML = "{http://www.opengis.net/kml/2.2}"


def wendrake(*args):
    return subprocess.run([CLI, *args], capture_output=True)


def decoded(log):
    out = subprocess.run([CLI, "decode", log], check=True, capture_output=True).stdout
    return [json.loads(line) for line in out.decode().splitlines()]


def gpkg_point(blob):
    """(x, y) of a GeoPackage point: the header's envelope size, then WKB."""
    blob = bytes(blob)
    envelope = {0: 0, 1: 32, 2: 48, 3: 48, 4: 64}[(blob[3] >> 1) & 7]
    wkb = blob[8 + envelope:]
    order = "<" if wkb[0] == 1 else ">"
    return struct.unpack(order + "dd", wkb[5:21])


def first_fix(log_bytes):
    """Latitude and longitude of the sample's first "GPS" line (positional layout)."""
    for line in log_bytes.split(b"\n"):
        if line.startswith(b"GPS\t"):
            fields = line.split(b"\t")
            return float(fields[1]), float(fields[2])
    raise AssertionError("no GPS line")


class SampleMapTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="wendrake-map-")
        cls.items = decoded(SAMPLE)
        for name in ("route.gpkg", "route.geojson", "route.kml"):
            result = wendrake("map", SAMPLE, "-o", os.path.join(cls.work, name), "--kpi", "total_ecio")
            assert result.returncode == 0, result.stderr

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_geopackage_tables_counts_and_coordinates(self):
        path = os.path.join(self.work, "route.gpkg")
        with sqlite3.connect(path) as db:
            tables = {row[0]: row[1] for row in db.execute("SELECT table_name, data_type FROM gpkg_contents")}
            self.assertEqual(tables, {"items": "features", "route": "features", "events": "features"})
            srs = {row[0] for row in db.execute("SELECT srs_id FROM gpkg_geometry_columns")}
            self.assertEqual(srs, {4326})
            count = db.execute("SELECT count(*) FROM items").fetchone()[0]
            events = db.execute("SELECT count(*) FROM events").fetchone()[0]
            first = db.execute("SELECT line, record, code, geom, Rxagc, Total_EcIo FROM items ORDER BY fid LIMIT 1").fetchone()
            self.assertEqual(db.execute("SELECT count(*) FROM route").fetchone()[0], 1)
        # Every item of the sample comes after its first fix.
        self.assertEqual(count, len(self.items))
        self.assertEqual(events, sum(1 for item in self.items if item["record"] == "EVT"))
        with open(SAMPLE, "rb") as f:
            lat, lon = first_fix(f.read())
        item = self.items[0]
        self.assertEqual(first[:3], (item["line"], item["record"], item["code"]))
        x, y = gpkg_point(first[3])
        self.assertAlmostEqual(x, lon, places=6)
        self.assertAlmostEqual(y, lat, places=6)
        self.assertIsNotNone(first[4])
        # GDAL itself opens it.
        if shutil.which("ogrinfo"):
            info = subprocess.run(["ogrinfo", "-ro", "-so", "-al", path], check=True, capture_output=True, text=True).stdout
            self.assertIn(f"Feature Count: {count}", info)

    def test_geojson_structure(self):
        with open(os.path.join(self.work, "route.geojson"), encoding="utf-8") as f:
            doc = json.load(f)
        self.assertEqual(doc["type"], "FeatureCollection")
        kinds = {}
        for feature in doc["features"]:
            self.assertEqual(feature["type"], "Feature")
            self.assertIsInstance(feature["properties"], dict)
            kind = feature["properties"]["feature"]
            kinds[kind] = kinds.get(kind, 0) + 1
            geometry = feature["geometry"]
            if kind == "route":
                self.assertEqual(geometry["type"], "LineString")
                points = geometry["coordinates"]
            else:
                self.assertEqual(geometry["type"], "Point")
                points = [geometry["coordinates"]]
            for lon, lat in points:
                self.assertTrue(-180 <= lon <= 180 and -90 <= lat <= 90)
        events = sum(1 for item in self.items if item["record"] == "EVT")
        self.assertEqual(kinds, {"item": len(self.items), "event": events, "route": 1})

    def test_kml_parses_with_coloured_route_and_legend(self):
        root = ET.parse(os.path.join(self.work, "route.kml")).getroot()
        folders = {f.findtext(KML + "name"): f for f in root.iter(KML + "Folder")}
        self.assertEqual(set(folders), {"items", "route", "events"})
        legend, *pieces = folders["route"].findall(KML + "Placemark")
        self.assertEqual(legend.findtext(KML + "name"), "Legend: Total_EcIo")
        self.assertEqual(legend.findtext(KML + "description").count("<tr>"), 6)  # five bins and "no value"
        colours = {p.findtext(f"{KML}Style/{KML}LineStyle/{KML}color") for p in pieces}
        self.assertGreater(len(pieces), 5)
        self.assertGreaterEqual(len(colours), 4)
        # Pieces join: each starts where the one before ended.
        ends = [p.findtext(f"{KML}LineString/{KML}coordinates").split() for p in pieces]
        for before, after in zip(ends, ends[1:]):
            self.assertEqual(before[-1], after[0])
        names = [p.findtext(KML + "name") for p in folders["events"].findall(KML + "Placemark")]
        self.assertIn("POWER_UP", names)


class CraftedLogTest(unittest.TestCase):
    """Log text with markup, quotes, CDATA ends and bad bytes leaves every file whole."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="wendrake-map-")
        self.log = os.path.join(self.work, "crafted.log")
        with open(self.log, "wb") as f:
            f.write(crafted_log())
        self.names = [name.decode("utf-8", "replace") for name in CRAFTED_NAMES]

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def make(self, name):
        path = os.path.join(self.work, name)
        result = wendrake("map", self.log, "-o", path)
        self.assertEqual(result.returncode, 0, result.stderr)
        return path

    def test_files_parse_and_keep_the_names_as_text(self):
        root = ET.parse(self.make("c.kml")).getroot()
        kml_names = [p.findtext(KML + "name") for p in root.iter(KML + "Placemark")]
        with open(self.make("c.geojson"), encoding="utf-8") as f:
            geojson_names = [feature["properties"].get("event_name") for feature in json.load(f)["features"]]
        with sqlite3.connect(self.make("c.gpkg")) as db:
            gpkg_names = [row[0] for row in db.execute("SELECT name FROM events ORDER BY fid")]
        self.assertEqual(gpkg_names, self.names)
        for name in self.names:
            self.assertIn(name, kml_names)
            self.assertIn(name, geojson_names)


class FailureTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="wendrake-map-")

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def fails(self, *args):
        result = wendrake(*args)
        self.assertEqual(result.returncode, 2, result.stderr)
        self.assertEqual(len(result.stderr.decode().splitlines()), 1, result.stderr)
        return result.stderr.decode()

    def test_one_line_and_nothing_left(self):
        self.assertIn("format", self.fails("map", SAMPLE, "-o", os.path.join(self.work, "route.shp")))
        self.assertIn("unknown format", self.fails("map", SAMPLE, "-o", os.path.join(self.work, "x"), "-f", "svg"))
        self.assertIn("no KPI", self.fails("map", SAMPLE, "-o", os.path.join(self.work, "r.gpkg"), "--kpi", "nope"))
        self.assertIn("cannot read", self.fails("map", os.path.join(self.work, "none.log"), "-o",
                                                os.path.join(self.work, "r.gpkg")))
        self.fails("map", SAMPLE, "-o", os.path.join(self.work, "missing", "r.gpkg"))
        self.fails("report", SAMPLE, "-o", os.path.join(self.work, "missing", "r.html"))
        self.assertEqual(os.listdir(self.work), [])

    def test_output_is_never_the_input(self):
        log = os.path.join(self.work, "drive.kml")
        shutil.copy(SAMPLE, log)
        self.assertIn("input", self.fails("map", log, "-o", log))
        self.assertIn("input", self.fails("report", log, "-o", log))
        with open(log, "rb") as f, open(SAMPLE, "rb") as g:
            self.assertEqual(f.read(), g.read())

    def test_existing_output_is_replaced_whole(self):
        path = os.path.join(self.work, "route.gpkg")
        for _ in range(2):
            self.assertEqual(wendrake("map", SAMPLE, "-o", path).returncode, 0)
        with sqlite3.connect(path) as db:
            self.assertEqual(db.execute("SELECT count(*) FROM route").fetchone()[0], 1)
        self.assertEqual(os.listdir(self.work), ["route.gpkg"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
