#!/usr/bin/env python3
"""The map command's files: GeoPackage (read with sqlite3 and ogrinfo), GeoJSON
(structure) and KML (parsed), from the sample drive and from a crafted log;
and its failures: one line, exit 2, nothing left under the output's name.

Environment: WENDRAKE_CLI (the tool) and WENDRAKE_SOURCE_DIR.
"""

import errno
from datetime import datetime
import gzip
import json
import os
import random
import re
import resource
import signal
import stat
import threading
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
from cells_log import CELLS, NID, ROUTE, SID, advertised, cells_log, expected_serving  # noqa: E402
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
            self.assertEqual(tables, {"items": "features", "route": "features", "events": "features",
                                      "cells": "features", "serving": "features", "layer_styles": "attributes"})
            srs = {row[0] for row in db.execute("SELECT srs_id FROM gpkg_geometry_columns")}
            self.assertEqual(srs, {4326})
            count = db.execute("SELECT count(*) FROM items").fetchone()[0]
            events = db.execute("SELECT count(*) FROM events").fetchone()[0]
            first = db.execute("SELECT line, record, code, geom, Rxagc, Total_EcIo FROM items ORDER BY fid LIMIT 1").fetchone()
            self.assertGreater(db.execute("SELECT count(*) FROM route").fetchone()[0], 5)
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

    def test_every_layer_has_a_sound_spatial_index(self):
        path = os.path.join(self.work, "route.gpkg")
        with sqlite3.connect(path) as db:
            indexed = {row[0] for row in db.execute(
                "SELECT table_name FROM gpkg_extensions WHERE extension_name = 'gpkg_rtree_index' AND column_name = 'geom'")}
            self.assertEqual(indexed, {"items", "route", "events", "cells", "serving"})
            for table in indexed:
                self.assertEqual(db.execute(f"SELECT rtreecheck('rtree_{table}_geom')").fetchone()[0], "ok", table)
            # Each item is in the index once, in a box that holds its point.
            boxes = {row[0]: row[1:] for row in db.execute("SELECT id, minx, maxx, miny, maxy FROM rtree_items_geom")}
            points = {fid: gpkg_point(geom) for fid, geom in db.execute("SELECT fid, geom FROM items")}
            self.assertEqual(boxes.keys(), points.keys())
            for fid, (x, y) in points.items():
                minx, maxx, miny, maxy = boxes[fid]
                self.assertTrue(minx <= x <= maxx and miny <= y <= maxy, fid)
            triggers = {row[0] for row in db.execute(
                "SELECT name FROM sqlite_master WHERE type = 'trigger' AND tbl_name = 'items'")}
            self.assertLessEqual({f"rtree_items_geom_{t}" for t in ("insert", "update1", "update2", "update3", "update4", "delete")},
                                 triggers)
        xs = sorted(x for x, _ in points.values())
        ys = sorted(y for _, y in points.values())
        window = (xs[len(xs) // 4], ys[len(ys) // 4], xs[len(xs) // 2], ys[len(ys) // 2])
        inside = sum(1 for x, y in points.values() if window[0] <= x <= window[2] and window[1] <= y <= window[3])
        self.assertGreater(inside, 0)
        if shutil.which("ogrinfo"):
            # GDAL's spatial filter goes through the index.
            spat = subprocess.run(["ogrinfo", "-ro", "-so", path, "items", "-spat", *map(repr, window)],
                                  check=True, capture_output=True, text=True).stdout
            self.assertIn(f"Feature Count: {inside}", spat)
            # Edits through GDAL keep the index in step (the triggers work).
            edited = os.path.join(self.work, "edited.gpkg")
            shutil.copy(path, edited)
            for sql in ("DELETE FROM items WHERE fid <= 10", "UPDATE items SET fid = fid + 1000000 WHERE fid = 20"):
                subprocess.run(["ogrinfo", edited, "-sql", sql], check=True, capture_output=True)
            with sqlite3.connect(edited) as db:
                self.assertEqual(db.execute("SELECT rtreecheck('rtree_items_geom')").fetchone()[0], "ok")
                self.assertEqual(db.execute("SELECT count(*) FROM rtree_items_geom").fetchone()[0], len(points) - 10)
                self.assertEqual(db.execute("SELECT count(*) FROM rtree_items_geom WHERE id = 1000020").fetchone()[0], 1)
        validator = "/usr/lib/python3/dist-packages/osgeo_utils/samples/validate_gpkg.py"
        if os.path.exists(validator):
            result = subprocess.run([sys.executable, validator, path], capture_output=True, text=True)
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

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
            if kind in ("route", "serving"):
                self.assertEqual(geometry["type"], "LineString")
                points = geometry["coordinates"]
            else:
                self.assertEqual(geometry["type"], "Point")
                points = [geometry["coordinates"]]
            for lon, lat in points:
                self.assertTrue(-180 <= lon <= 180 and -90 <= lat <= 90)
        events = sum(1 for item in self.items if item["record"] == "EVT")
        # The sample's overhead advertises where its cells stand.
        self.assertGreater(kinds.pop("cell", 0), 0)
        self.assertGreater(kinds.pop("serving", 0), 0)
        self.assertEqual(kinds, {"item": len(self.items), "event": events, "route": 1})

    def test_kml_parses_with_coloured_route_and_legend(self):
        root = ET.parse(os.path.join(self.work, "route.kml")).getroot()
        folders = {f.findtext(KML + "name"): f for f in root.iter(KML + "Folder")}
        self.assertEqual(set(folders), {"items", "route", "events", "cells", "serving"})
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
        # Every point has its time as a KML time stamp, where KML wants it.
        for folder in ("items", "events"):
            for placemark in folders[folder].findall(KML + "Placemark"):
                tags = [child.tag for child in placemark]
                self.assertLess(tags.index(KML + "TimeStamp"), tags.index(KML + "ExtendedData"))
                time = {d.get("name"): d.text for d in placemark.iter(KML + "SimpleData")}["time"]
                when = placemark.findtext(f"{KML}TimeStamp/{KML}when")
                self.assertEqual(datetime.fromisoformat(when), datetime.fromisoformat(time.replace("/", "-")))

    def test_names_types_and_legend_labels(self):
        with sqlite3.connect(os.path.join(self.work, "route.gpkg")) as db:
            columns = [row[1] for row in db.execute("PRAGMA table_info(items)")]
            route = db.execute("SELECT name, kpi, low, high, value FROM route").fetchall()
        # The event parameter is the "event" attribute, not a second "Event_2".
        self.assertIn("event", columns)
        self.assertEqual([c for c in columns if c[-2:] == "_2" or c.lower() == "event"], ["event"])
        # The route in pieces by bin, each named by its bin and holding the
        # value it is coloured by, which lies in that bin.
        self.assertGreater(len(route), 5)
        for name, kpi, low, high, value in route:
            self.assertEqual(kpi, "Total_EcIo")
            self.assertTrue(name.startswith("Total_EcIo "), name)
            self.assertNotIn("without", name)
            self.assertTrue(low <= value <= high, (name, low, value, high))
        with open(os.path.join(self.work, "route.geojson"), encoding="utf-8") as f:
            features = json.load(f)["features"]
        self.assertEqual([f["properties"]["name"] for f in features if f["properties"]["feature"] == "route"], ["route"])
        self.assertFalse(any(k.endswith("_2") for f in features for k in f["properties"]))
        # KML: line numbers are integers; the legend's numbers share one format.
        root = ET.parse(os.path.join(self.work, "route.kml")).getroot()
        types = {f.get("name"): f.get("type") for f in root.iter(KML + "SimpleField")}
        self.assertEqual(types["line"], "int")
        self.assertNotIn("Event_2", types)
        legend = next(p for p in root.iter(KML + "Placemark") if (p.findtext(KML + "name") or "").startswith("Legend"))
        numbers = re.findall(r"-?\d+(?:\.\d+)?", legend.findtext(KML + "description").replace("#160", ""))
        self.assertGreaterEqual(len(numbers), 6)
        self.assertEqual(len({len(n.split(".")[1]) if "." in n else 0 for n in numbers}), 1, numbers)

    def test_a_kpi_of_one_value_has_one_legend_row(self):
        log = os.path.join(self.work, "flat.log")
        with open(log, "wb") as f:
            f.write(b"RegReport\tDM\tRxagc\tTxpower\n" + b"".join(
                b"SEC\t%d\t0\nGPS\t%.5f\t120.1\nDM\t%d\t-10\n" % (i, 30.2 + i * 0.0001, -70 - i) for i in range(10)))
        path = os.path.join(self.work, "flat.kml")
        self.assertEqual(wendrake("map", log, "-o", path, "--kpi", "txpower", "--bins", "range").returncode, 0)
        legend = next(p for p in ET.parse(path).getroot().iter(KML + "Placemark")
                      if (p.findtext(KML + "name") or "").startswith("Legend"))
        self.assertEqual(legend.findtext(KML + "description").count("<tr>"), 2)  # the value and "no value"
        self.assertIn("all -10", legend.findtext(KML + "description"))


    def legend(self, *args):
        path = os.path.join(self.work, "bins.kml")
        result = wendrake("map", *args, "-o", path)
        self.assertEqual(result.returncode, 0, result.stderr)
        root = ET.parse(path).getroot()
        legend = next(p for p in root.iter(KML + "Placemark") if (p.findtext(KML + "name") or "").startswith("Legend"))
        return re.findall(r"<td>([^<]*)</td>", legend.findtext(KML + "description"))

    def test_fixed_thresholds_compare_drives(self):
        log = os.path.join(self.work, "weak.log")
        with open(log, "wb") as f:
            f.write(b"RegReport\tDM\tRxagc\tTxpower\n" + b"".join(
                b"SEC\t%d\t0\nGPS\t%.5f\t120.1\nDM\t%d\t20\n" % (i, 30.2 + i * 0.0001, -112 + i) for i in range(10)))
        bands = ["-75 and above", "-85 to -75", "-95 to -85", "-105 to -95", "below -105", "no value"]
        self.assertEqual(self.legend(SAMPLE, "--kpi", "rxagc"), bands)
        self.assertEqual(self.legend(log, "--kpi", "rxagc"), bands)
        self.assertEqual(self.legend(log, "--kpi", "rxagc", "--thresholds", "-110,-108,-106.5,-104")[0], "-104.0 and above")
        self.assertNotEqual(self.legend(log, "--kpi", "rxagc", "--bins", "equal-count"), bands)
        # High transmit power is the bad end: red there.
        self.legend(log, "--kpi", "txpower")
        root = ET.parse(os.path.join(self.work, "bins.kml")).getroot()
        colours = {p.findtext(KML + "name"): p.findtext(f"{KML}Style/{KML}LineStyle/{KML}color")
                   for p in root.iter(KML + "Placemark")}
        self.assertEqual(colours["Txpower 15 and above"].lower(), "ff1c19d7")  # KML's aabbggrr of #d7191c

    def test_a_dip_between_two_fixes_colours_the_kml_route(self):
        log = os.path.join(self.work, "dip.log")
        with open(log, "wb") as f:
            f.write(b"RegReport\tDM\tRxagc\tTxpower\n" + b"".join(
                b"SEC\t%d\t0\nGPS\t%.5f\t120.1\nDM\t-70\t1\n%sDM\t-71\t1\n" % (
                    i, 30.2 + i * 0.0001, b"DM\t-110\t1\n" if i == 2 else b"") for i in range(6)))
        path = os.path.join(self.work, "dip.kml")
        self.assertEqual(wendrake("map", log, "-o", path).returncode, 0)
        names = [p.findtext(KML + "name") for p in ET.parse(path).getroot().iter(KML + "Placemark")]
        self.assertIn("Rxagc below -105", names)

    def test_bin_options_are_checked(self):
        out = os.path.join(self.work, "x.kml")
        for args, message in ((["--bins", "quantiles"], b"unknown --bins"),
                              (["--thresholds", "1,2,3"], b"--thresholds"),
                              (["--thresholds", "4,3,2,1"], b"ascending"),
                              (["--thresholds", "1,2,3,nan"], b"ascending"),
                              (["--bins", "range", "--thresholds", "1,2,3,4"], b"needs --bins thresholds")):
            for command in ("map", "report"):
                result = wendrake(command, SAMPLE, "-o", out, *args)
                self.assertEqual(result.returncode, 2, (command, args))
                self.assertIn(message, result.stderr)
        self.assertFalse(os.path.exists(out))

    def test_attributes_choose_the_kpis_written(self):
        path = os.path.join(self.work, "chosen.gpkg")
        result = wendrake("map", SAMPLE, "-o", path, "--attributes", "rxagc,Total_EcIo,Rxagc", "--kpi", "Txpower")
        self.assertEqual(result.returncode, 0, result.stderr)
        with sqlite3.connect(path) as db:
            columns = [row[1] for row in db.execute("PRAGMA table_info(items)")]
            count = db.execute("SELECT count(*) FROM items").fetchone()[0]
            values = db.execute("SELECT count(Rxagc), count(Total_EcIo) FROM items").fetchone()
        kpis = columns[columns.index("fix_age") + 1:]
        self.assertEqual(kpis, ["Rxagc", "Total_EcIo"])  # as the catalogue names them, once each
        self.assertEqual(count, len(self.items))
        self.assertGreater(min(values), 0)
        # An unknown name is refused with the valid ones, and nothing is written.
        out = os.path.join(self.work, "unknown.gpkg")
        result = wendrake("map", SAMPLE, "-o", out, "--attributes", "Rxagc,NoSuchKpi")
        self.assertEqual(result.returncode, 2)
        self.assertEqual(len(result.stderr.strip().splitlines()), 1)
        self.assertIn(b"NoSuchKpi", result.stderr)
        self.assertIn(b"Total_EcIo", result.stderr)
        self.assertFalse(os.path.exists(out))

    def test_min_distance_thins_points_keeping_every_extreme(self):
        full = os.path.join(self.work, "full.gpkg")
        thin = os.path.join(self.work, "thin.gpkg")
        self.assertEqual(wendrake("map", SAMPLE, "-o", full).returncode, 0)
        result = wendrake("map", SAMPLE, "-o", thin, "--min-distance", "200")
        self.assertEqual(result.returncode, 0, result.stderr)
        query = ("SELECT count(*), min(Rxagc), max(Rxagc), min(Total_EcIo), max(Total_EcIo), min(line), max(line) "
                 "FROM items")
        with sqlite3.connect(full) as db:
            every = db.execute(query).fetchone()
            events = db.execute("SELECT count(*) FROM events").fetchone()[0]
            route = db.execute("SELECT geom FROM route").fetchone()[0]
        with sqlite3.connect(thin) as db:
            thinned = db.execute(query).fetchone()
            self.assertEqual(db.execute("SELECT count(*) FROM events").fetchone()[0], events)
            self.assertEqual(db.execute("SELECT geom FROM route").fetchone()[0], route)
        self.assertLess(thinned[0], every[0] / 2)
        self.assertEqual(thinned[1:], every[1:])  # the extremes, the first and the last item stay
        for value in ("-1", "x"):
            result = wendrake("map", SAMPLE, "-o", thin, "--min-distance", value)
            self.assertEqual(result.returncode, 2, value)
            self.assertIn(b"--min-distance", result.stderr)


def default_styles(path):
    """{layer: parsed QML root} of the default styles QGIS would apply, checked
    to be found the way QGIS finds them: one per layer, by empty catalog and
    schema, the table and its geometry column."""
    with sqlite3.connect(path) as db:
        geometry = dict(db.execute("SELECT table_name, column_name FROM gpkg_geometry_columns"))
        rows = db.execute("SELECT f_table_catalog, f_table_schema, f_table_name, f_geometry_column, styleName, "
                          "styleQML, styleSLD, useAsDefault, description, owner, ui, update_time "
                          "FROM layer_styles").fetchall()
    styles = {}
    for catalog, schema, table, column, name, qml, sld, default, description, owner, ui, updated in rows:
        assert (catalog, schema, default) == ("", "", 1), (table, catalog, schema, default)
        assert column == geometry[table], (table, column)
        assert name and len(name) <= 30 and description and updated, (table, name, updated)
        assert table not in styles, table
        styles[table] = ET.fromstring(qml)
    assert set(styles) == set(geometry), (set(styles), set(geometry))
    return styles


def qgis_class(renderer, value):
    """(label, colour "#rrggbb") of the class QGIS draws `value` in: the first
    range whose closed interval holds it."""
    symbols = {s.get("name"): s for s in renderer.iter("symbol")}
    for r in renderer.iter("range"):
        if float(r.get("lower")) <= value <= float(r.get("upper")):
            props = {p.get("k"): p.get("v") for p in symbols[r.get("symbol")].iter("prop")}
            rgb = props.get("color") or props.get("line_color")
            return r.get("label"), "#%02x%02x%02x" % tuple(int(c) for c in rgb.split(",")[:3])
    return None


class QgisStyleTest(unittest.TestCase):
    """The GeoPackage's default QGIS styles draw what the legends show."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="wendrake-styles-")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def write(self, log, name, *args):
        path = os.path.join(self.work, name)
        result = wendrake("map", log, "-o", path, *args)
        self.assertEqual(result.returncode, 0, result.stderr)
        return path

    def kml_legend(self, log, *args):
        root = ET.parse(self.write(log, "legend.kml", *args)).getroot()
        legend = next(p for p in root.iter(KML + "Placemark") if (p.findtext(KML + "name") or "").startswith("Legend"))
        description = legend.findtext(KML + "description")
        return list(zip(re.findall(r"background:(#[0-9a-f]{6})", description), re.findall(r"<td>([^<]*)</td>", description)))

    def test_route_and_items_are_classed_as_the_legend(self):
        path = self.write(SAMPLE, "styled.gpkg", "--kpi", "total_ecio")
        styles = default_styles(path)
        legend = [row for row in self.kml_legend(SAMPLE, "--kpi", "total_ecio") if row[1] != "no value"]
        for layer, attribute in (("items", "Total_EcIo"), ("route", "value")):
            renderer = styles[layer].find("renderer-v2")
            self.assertEqual((renderer.get("type"), renderer.get("attr")), ("graduatedSymbol", attribute))
            labels = [r.get("label") for r in renderer.iter("range")]
            self.assertEqual(sorted(labels), sorted(label for _, label in legend))
        # Every piece of the route is drawn in QGIS in the colour its name says.
        colour = {label: c for c, label in legend}
        route = styles["route"].find("renderer-v2")
        with sqlite3.connect(path) as db:
            for name, value in db.execute("SELECT name, value FROM route"):
                label = name[len("Total_EcIo "):]
                self.assertEqual(qgis_class(route, value), (label, colour[label]), name)
        # GDAL reads the table too.
        if shutil.which("ogrinfo"):
            info = subprocess.run(["ogrinfo", "-ro", "-so", path, "layer_styles"], check=True, capture_output=True,
                                  text=True).stdout
            self.assertIn("Feature Count: 5", info)

    def test_a_value_on_an_edge_takes_the_upper_bin(self):
        log = os.path.join(self.work, "edges.log")
        with open(log, "wb") as f:
            f.write(b"RegReport\tDM\tRxagc\tTxpower\n" + b"".join(
                b"SEC\t%d\t0\nGPS\t%.5f\t120.1\nDM\t%d\t0\n" % (i, 30.2 + i * 0.0001, v)
                for i, v in enumerate((-105, -95, -85, -75, -110, -60))))
        renderer = default_styles(self.write(log, "edges.gpkg", "--kpi", "rxagc"))["items"].find("renderer-v2")
        self.assertEqual(qgis_class(renderer, -95)[0], "-95 to -85")
        self.assertEqual(qgis_class(renderer, -95.0001)[0], "-105 to -95")
        self.assertEqual(qgis_class(renderer, -75)[0], "-75 and above")
        self.assertEqual(qgis_class(renderer, -1e6)[0], "below -105")
        # Overridden thresholds and a constant KPI class as their legends do.
        renderer = default_styles(self.write(log, "edges.gpkg", "--kpi", "rxagc", "--thresholds", "-100,-90,-80,-70")
                                  )["items"].find("renderer-v2")
        self.assertEqual(qgis_class(renderer, -90)[0], "-90 to -80")
        renderer = default_styles(self.write(log, "flat.gpkg", "--kpi", "txpower", "--bins", "range"))["route"]
        self.assertEqual([r.get("label") for r in renderer.iter("range")], ["all 0"])

    def test_events_by_kind_with_the_reports_colours(self):
        names = [f"KIND_{k}" for k in range(11) for _ in range(11 - k)]  # eleven kinds, the first most frequent
        log = os.path.join(self.work, "kinds.log")
        with open(log, "wb") as f:
            f.write(b"RegReport\tEVT\tEventName\tEvent\nRegReport\tDM\tRxagc\n")
            for i, name in enumerate(reversed(names)):
                f.write(b"SEC\t%d\t0\nGPS\t%.5f\t120.1\nDM\t-80\nEVT\t%s\t1\n" % (i, 30.2 + i * 0.0001, name.encode()))
        renderer = default_styles(self.write(log, "kinds.gpkg"))["events"].find("renderer-v2")
        self.assertEqual((renderer.get("type"), renderer.get("attr")), ("categorizedSymbol", "name"))
        categories = [(c.get("value"), c.get("label")) for c in renderer.iter("category")]
        self.assertEqual(categories[:8], [(f"KIND_{k}", f"KIND_{k} ({11 - k})") for k in range(8)])
        # The three least frequent share one grey class: QGIS's class of every other value.
        self.assertEqual(categories[8:], [("", "3 other kinds")])
        with sqlite3.connect(os.path.join(self.work, "kinds.gpkg")) as db:
            self.assertEqual(len(db.execute("SELECT DISTINCT name FROM events").fetchall()), 11)


class CellsMapTest(unittest.TestCase):
    """Cells at their advertised positions and a line from each route point
    to the cell serving there, in every format."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="wendrake-cells-")
        cls.log = os.path.join(cls.work, "cells.log")
        with open(cls.log, "wb") as f:
            f.write(cells_log())
        for name in ("cells.gpkg", "cells.kml", "cells.geojson"):
            result = wendrake("map", cls.log, "-o", os.path.join(cls.work, name))
            assert result.returncode == 0, result.stderr

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_geopackage_cells_serving_lines_and_distance(self):
        path = os.path.join(self.work, "cells.gpkg")
        with sqlite3.connect(path) as db:
            cells = db.execute("SELECT name, technology, pn, sid, nid, base_id, cell_id, neighbours, geom "
                               "FROM cells ORDER BY fid").fetchall()
            serving = db.execute("SELECT name, pn, cell_id, distance, geom FROM serving ORDER BY fid").fetchall()
            # The distance KPI of the last item at each fix (the route's vertex).
            distances = [row[0] for row in db.execute(
                "SELECT ServingCellDistance FROM items WHERE fid IN (SELECT max(fid) FROM items GROUP BY geom) "
                "ORDER BY fid")]
        self.assertEqual(len(cells), len(CELLS))
        for row, (pn, base_id, lat, lon, neighbours) in zip(cells, CELLS):
            self.assertEqual(row[:7], (f"PN {pn} ID {base_id}", "1x", pn, SID, NID, base_id, f"{SID}/{NID}/{base_id}"))
            self.assertEqual(row[7].split()[:len(neighbours)], [str(n) for n in neighbours])
            x, y = gpkg_point(row[8])
            self.assertAlmostEqual(x, advertised(lon), places=9)
            self.assertAlmostEqual(y, advertised(lat), places=9)
        # One line per fix, from the fix to the cell of the reported PN
        # nearest to it (PN 168 is also a far cell's).
        self.assertEqual(len(serving), len(ROUTE))
        for i, (name, pn, cell_id, distance_m, geom) in enumerate(serving):
            want_pn, base_id, metres = expected_serving(i)
            self.assertEqual((pn, cell_id, name), (want_pn, f"{SID}/{NID}/{base_id}", f"PN {want_pn} ID {base_id}"))
            self.assertAlmostEqual(distance_m, metres, delta=0.01)
            self.assertAlmostEqual(distances[i], metres, delta=0.01)
        # QGIS labels the cells by their name and draws the serving lines.
        styles = default_styles(path)
        self.assertEqual(styles["cells"].find("labeling/settings/text-style").get("fieldName"), "name")
        self.assertEqual(styles["serving"].find("renderer-v2").get("type"), "singleSymbol")
        # The distance is a KPI like any other: it can colour the route and be
        # chosen as an attribute.
        self.assertEqual(wendrake("map", self.log, "-o", os.path.join(self.work, "d.kml"), "--kpi",
                                  "ServingCellDistance").returncode, 0)
        chosen = os.path.join(self.work, "chosen.gpkg")
        result = wendrake("map", self.log, "-o", chosen, "--attributes", "servingcelldistance")
        self.assertEqual(result.returncode, 0, result.stderr)
        with sqlite3.connect(chosen) as db:
            columns = [row[1] for row in db.execute("PRAGMA table_info(items)")]
            last = db.execute("SELECT ServingCellDistance FROM items ORDER BY fid DESC LIMIT 1").fetchone()[0]
        self.assertIn("ServingCellDistance", columns)
        self.assertNotIn("Rxagc", columns)
        self.assertAlmostEqual(last, expected_serving(len(ROUTE) - 1)[2], delta=0.01)

    def test_kml_and_geojson_hold_them_too(self):
        root = ET.parse(os.path.join(self.work, "cells.kml")).getroot()
        folders = {f.findtext(KML + "name"): f for f in root.iter(KML + "Folder")}
        self.assertEqual(set(folders), {"items", "route", "events", "cells", "serving"})
        names = [p.findtext(KML + "name") for p in folders["cells"].findall(KML + "Placemark")]
        self.assertEqual(names, [f"PN {pn} ID {base_id}" for pn, base_id, *_ in CELLS])
        lines = folders["serving"].findall(KML + "Placemark")
        self.assertEqual(len(lines), len(ROUTE))
        first = lines[0].findtext(f"{KML}LineString/{KML}coordinates").split()
        self.assertEqual(len(first), 2)
        with open(os.path.join(self.work, "cells.geojson"), encoding="utf-8") as f:
            features = json.load(f)["features"]
        kinds = {}
        for feature in features:
            kinds.setdefault(feature["properties"]["feature"], []).append(feature)
        self.assertEqual(len(kinds["cell"]), len(CELLS))
        self.assertEqual(len(kinds["serving"]), len(ROUTE))
        self.assertEqual(kinds["cell"][0]["properties"]["neighbours"].split()[:2], ["240", "312"])
        self.assertEqual(kinds["serving"][0]["geometry"]["type"], "LineString")

    def test_a_log_without_cell_positions_has_empty_cell_layers(self):
        # The sample without its signalling messages: no cell is advertised.
        log = os.path.join(self.work, "no_signalling.log")
        with open(SAMPLE, encoding="utf-8") as f, open(log, "w", encoding="utf-8") as out:
            out.writelines(line for line in f if not line.startswith("CL3\t"))
        path = os.path.join(self.work, "sample.gpkg")
        self.assertEqual(wendrake("map", log, "-o", path).returncode, 0)
        with sqlite3.connect(path) as db:
            self.assertEqual(db.execute("SELECT count(*) FROM cells").fetchone()[0], 0)
            self.assertEqual(db.execute("SELECT count(*) FROM serving").fetchone()[0], 0)
            columns = [row[1] for row in db.execute("PRAGMA table_info(items)")]
        self.assertNotIn("ServingCellDistance", columns)


def gpkg_line(blob):
    """The points of a GeoPackage line string."""
    blob = bytes(blob)
    envelope = {0: 0, 1: 32, 2: 48, 3: 48, 4: 64}[(blob[3] >> 1) & 7]
    wkb = blob[8 + envelope:]
    order = "<" if wkb[0] == 1 else ">"
    (count,) = struct.unpack(order + "I", wkb[5:9])
    return [struct.unpack(order + "dd", wkb[9 + 16 * i:25 + 16 * i]) for i in range(count)]


class LongDriveTest(unittest.TestCase):
    """A drive of more fixes and events than the map keeps in memory: the
    route's vertices, the events and the index's runs come back from a
    temporary file whole and in order."""

    FIXES = 40000

    def test_every_fix_is_a_vertex_of_the_route(self):
        work = tempfile.mkdtemp(prefix="wendrake-map-")
        self.addCleanup(shutil.rmtree, work, True)
        log = os.path.join(work, "long.log")
        fixes = [(30.0 + i * 1e-5, 120.0 + (i % 977) * 1e-5) for i in range(self.FIXES)]
        with open(log, "w", encoding="ascii") as f:
            f.write("RegReport\tDM\tRxagc\nRegReport\tEVT\tEvent\tDescription\n")
            for i, (lat, lon) in enumerate(fixes):
                f.write(f"GPS\t{lat:.6f}\t{lon:.6f}\t14.0\t37.4\t90\t11\nDM\t-{70 + i % 30}\n")
                if i % 2 == 0:
                    f.write(f"EVT\t{100 + i % 3}\tKind {i % 3}\n")
        path = os.path.join(work, "long.gpkg")
        result = wendrake("map", log, "-o", path)
        self.assertEqual(result.returncode, 0, result.stderr)
        with sqlite3.connect(path) as db:
            self.assertEqual(db.execute("SELECT count(*) FROM items").fetchone()[0], self.FIXES * 3 // 2)
            events = db.execute("SELECT line, name FROM events ORDER BY fid").fetchall()
            event_items = db.execute("SELECT line, name FROM items WHERE record = 'EVT' ORDER BY fid").fetchall()
            self.assertEqual(db.execute("SELECT rtreecheck('rtree_items_geom')").fetchone()[0], "ok")
            pieces = [gpkg_line(geom) for (geom,) in db.execute("SELECT geom FROM route ORDER BY fid")]
            points = [gpkg_point(geom) for (geom,) in db.execute("SELECT geom FROM items ORDER BY fid")]
        self.assertEqual(len(events), self.FIXES // 2)
        self.assertEqual(events, event_items)
        # The route's vertices are the items' places, one for each run of
        # items at one place; each piece starts where the one before ended.
        vertices = [p for i, p in enumerate(points) if i == 0 or p != points[i - 1]]
        self.assertGreater(len(vertices), self.FIXES * 0.99)
        route = pieces[0] + [point for piece in pieces[1:] for point in piece[1:]]
        self.assertEqual(route, vertices)
        self.assertAlmostEqual(route[-1][1], fixes[-1][0], places=6)


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
        self.assertIn("--force", self.fails("map", SAMPLE, "-o", os.path.join(self.work, "r.kml"), "-f", "gpkg"))
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
        counts = []
        for _ in range(2):
            self.assertEqual(wendrake("map", SAMPLE, "-o", path).returncode, 0)
            with sqlite3.connect(path) as db:
                counts.append([db.execute(f"SELECT count(*) FROM {t}").fetchone()[0] for t in ("route", "layer_styles")])
        self.assertEqual(counts[1], counts[0])
        self.assertEqual(counts[1][1], 5)
        self.assertEqual(os.listdir(self.work), ["route.gpkg"])


def limited_file_size(limit):
    """A preexec_fn: files grow to `limit` bytes at most, and a write beyond
    fails with EFBIG (the signal that would kill the process is ignored), as
    a full disk fails one with ENOSPC."""
    def apply():
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, resource.getrlimit(resource.RLIMIT_FSIZE)[1]))
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    return apply


class TargetTest(unittest.TestCase):
    """Pipes, devices and links are written through, never replaced; a write
    that fails keeps the old file and gives the system's reason."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="wendrake-map-")

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def through_fifo(self, fifo, target, fmt):
        """Runs map into `target` while a thread reads `fifo`; the bytes read."""
        got = []

        def read():
            with open(fifo, "rb") as f:
                got.append(f.read())
        reader = threading.Thread(target=read)
        reader.start()
        result = wendrake("map", SAMPLE, "-f", fmt, "-o", target)
        reader.join(timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        return got[0]

    def test_pipes_links_and_standard_output_are_written_through(self):
        fifo = os.path.join(self.work, "pipe")
        os.mkfifo(fifo)
        link = os.path.join(self.work, "stdout")  # as /dev/stdout links to the reader's pipe
        os.symlink(fifo, link)
        ET.fromstring(self.through_fifo(fifo, fifo, "kml"))
        self.assertEqual(json.loads(self.through_fifo(fifo, link, "geojson"))["type"], "FeatureCollection")
        self.assertTrue(stat.S_ISFIFO(os.lstat(fifo).st_mode))
        self.assertTrue(os.path.islink(link))
        # A link to a file: the file gets the map, the link stays.
        for name in ("r.geojson", "r.gpkg"):
            path, alias = os.path.join(self.work, name), os.path.join(self.work, "alias-" + name)
            with open(path, "w") as f:
                f.write("old")
            os.symlink(name, alias)
            self.assertEqual(wendrake("map", SAMPLE, "-o", alias).returncode, 0)
            self.assertTrue(os.path.islink(alias))
            with open(path, "rb") as f:
                self.assertNotEqual(f.read(3), b"old")
        result = wendrake("map", SAMPLE, "-f", "geojson", "-o", "-")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(json.loads(result.stdout)["type"], "FeatureCollection")

    def test_geopackage_needs_a_regular_file(self):
        fifo = os.path.join(self.work, "pipe.gpkg")
        os.mkfifo(fifo)
        dangling = os.path.join(self.work, "nowhere.gpkg")
        os.symlink(os.path.join(self.work, "missing", "x.gpkg"), dangling)
        for target in (fifo, "-"):
            result = wendrake("map", SAMPLE, "-f", "gpkg", "-o", target)
            self.assertEqual(result.returncode, 2)
            self.assertIn(b"file", result.stderr)
        self.assertEqual(wendrake("map", SAMPLE, "-o", dangling).returncode, 2)
        self.assertTrue(stat.S_ISFIFO(os.lstat(fifo).st_mode))
        self.assertTrue(os.path.islink(dangling))
        self.assertEqual(sorted(os.listdir(self.work)), ["nowhere.gpkg", "pipe.gpkg"])

    def test_a_failed_write_keeps_the_old_file_and_says_why(self):
        for name in ("r.geojson", "r.kml", "r.gpkg"):
            path = os.path.join(self.work, name)
            with open(path, "wb") as f:
                f.write(b"the old file")
            result = subprocess.run([CLI, "map", SAMPLE, "-o", path], capture_output=True,
                                    preexec_fn=limited_file_size(64 * 1024))
            self.assertEqual(result.returncode, 2, name)
            message = result.stderr.decode()
            self.assertEqual(message, f"wendrake: cannot write {path}: {os.strerror(errno.EFBIG)}\n")
            with open(path, "rb") as f:
                self.assertEqual(f.read(), b"the old file")
        self.assertEqual(sorted(os.listdir(self.work)), ["r.geojson", "r.gpkg", "r.kml"])
        if os.path.exists("/dev/full"):
            for fmt in ("geojson", "kml"):
                result = wendrake("map", SAMPLE, "-f", fmt, "-o", "/dev/full")
                self.assertEqual(result.returncode, 2)
                self.assertIn(os.strerror(errno.ENOSPC), result.stderr.decode())
            self.assertTrue(stat.S_ISCHR(os.stat("/dev/full").st_mode))


    def test_a_full_disk_is_named(self):
        """On a small tmpfs, where the machine lets the test mount one."""
        disk = os.path.join(self.work, "disk")
        os.mkdir(disk)
        if os.geteuid() != 0 or subprocess.run(["mount", "-t", "tmpfs", "-o", "size=256k", "tmpfs", disk],
                                               capture_output=True).returncode != 0:
            self.skipTest("cannot mount a tmpfs here")
        try:
            for name in ("r.gpkg", "r.geojson", "r.kml"):
                path = os.path.join(disk, name)
                with open(path, "wb") as f:
                    f.write(b"old")
                result = wendrake("map", SAMPLE, "-o", path)
                self.assertEqual(result.returncode, 2)
                self.assertEqual(result.stderr.decode(), f"wendrake: cannot write {path}: {os.strerror(errno.ENOSPC)}\n")
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), b"old")
            self.assertEqual(sorted(os.listdir(disk)), ["r.geojson", "r.gpkg", "r.kml"])
        finally:
            subprocess.run(["umount", disk], check=True)

class NothingToShowTest(unittest.TestCase):
    """An input that yields no item, or no position, is said to, as stats says it."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="wendrake-map-")

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def log(self, name, data):
        path = os.path.join(self.work, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_inputs_without_items(self):
        rng = random.Random(25)
        with open(SAMPLE, "rb") as f:
            sample = f.read(20000)
        cases = {
            "gz.log": (gzip.compress(sample), "gzip compressed"),
            "utf16.log": (sample.decode("latin-1").encode("utf-16"), "are NUL"),
            "noise.log": (bytes(rng.randrange(1, 256) for _ in range(5000)).replace(b"\n", b"x") + b"\n", "lines"),
            "cr.log": (sample.replace(b"\n", b"\r"), "lines end in CR only"),
            "empty.log": (b"", "it is empty"),
        }
        for name, (data, reason) in cases.items():
            log = self.log(name, data)
            stats = wendrake("stats", log).stderr.decode()
            for command, output in (("map", "m.geojson"), ("report", "r.html")):
                result = wendrake(command, log, "-o", os.path.join(self.work, output))
                message = result.stderr.decode()
                self.assertEqual(result.returncode, 2, (name, command))
                self.assertEqual(len(message.splitlines()), 1, message)
                self.assertIn(f"no report item in {log}: ", message)
                self.assertIn(reason, message)
                if stats:
                    self.assertEqual(message, stats.splitlines(True)[-1])  # the same words as stats
        self.assertEqual(sorted(os.listdir(self.work)), sorted(cases))
        with open(self.log("gz.log", gzip.compress(sample)), "rb") as f:
            result = subprocess.run([CLI, "report", "-", "-o", os.path.join(self.work, "r.html")], stdin=f,
                                    capture_output=True)
        self.assertIn(b"no report item in standard input: it is gzip compressed", result.stderr)

    def test_log_without_a_position(self):
        with open(SAMPLE, "rb") as f:
            lines = f.read().split(b"\n")
        log = self.log("nogps.log", b"\n".join(l for l in lines if not l.startswith(b"GPS")))
        result = wendrake("map", log, "-o", os.path.join(self.work, "m.gpkg"))
        self.assertEqual(result.returncode, 2)
        self.assertIn(b"has a position (0 GPS fixes kept, 0 rejected)", result.stderr)
        page = os.path.join(self.work, "r.html")
        result = wendrake("report", log, "-o", page)
        self.assertEqual(result.returncode, 0)
        self.assertIn(b"the report's map is empty", result.stderr)
        self.assertTrue(os.path.getsize(page) > 0)
        self.assertEqual(sorted(os.listdir(self.work)), ["nogps.log", "r.html"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
