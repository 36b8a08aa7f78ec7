#!/usr/bin/env python3
"""The map module, wendrake_map.so: the tool loads GDAL only through it, fails
with one line when it is missing or broken (exit 2, no output file, an old
file kept), runs every other command without it, and the module refuses a
caller of another interface version and exports nothing but its entry point.

Environment: WENDRAKE_CLI (the tool; the build puts the module beside it) and
WENDRAKE_SOURCE_DIR.
"""

import ctypes
import os
import re
import shutil
import subprocess
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.environ.get("WENDRAKE_SOURCE_DIR", os.path.join(HERE, "..", "..", ".."))
CLI = os.environ.get("WENDRAKE_CLI", "wendrake")
SAMPLE = os.path.join(SOURCE, "examples", "sample_drive.log")
MODULE = os.path.join(os.path.dirname(os.path.realpath(CLI)), "wendrake_map.so")
ABI_HEADER = os.path.join(SOURCE, "tools", "cli", "map", "map_module_abi.h")


def run(cli, *args, module=None):
    env = dict(os.environ)
    env.pop("WENDRAKE_MAP_MODULE", None)
    if module is not None:
        env["WENDRAKE_MAP_MODULE"] = module
    return subprocess.run([cli, *args], capture_output=True, env=env)


def shared_libraries(path):
    """The libraries ldd lists for `path`, or None without ldd."""
    if not shutil.which("ldd"):
        return None
    return subprocess.run(["ldd", path], check=True, capture_output=True, text=True).stdout


class WithoutModuleTest(unittest.TestCase):
    """A module that is missing or is no module: one line, exit 2, nothing written."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="wendrake-map-module-")

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def fails(self, cli, module, output="route.gpkg"):
        result = run(cli, "map", SAMPLE, "-o", os.path.join(self.work, output), module=module)
        stderr = result.stderr.decode()
        self.assertEqual(result.returncode, 2, stderr)
        self.assertEqual(len(stderr.splitlines()), 1, stderr)
        self.assertIn("map module", stderr)
        return stderr

    def test_missing_or_broken_module_writes_nothing(self):
        missing = os.path.join(self.work, "nowhere", "wendrake_map.so")
        self.assertIn(missing, self.fails(CLI, missing))
        broken = os.path.join(self.work, "broken.so")
        with open(broken, "w") as f:
            f.write("not a shared object\n")
        self.assertIn(broken, self.fails(CLI, broken, "route.kml"))
        self.assertEqual(os.listdir(self.work), ["broken.so"])

    def test_existing_output_is_kept(self):
        path = os.path.join(self.work, "route.geojson")
        with open(path, "w") as f:
            f.write("earlier map\n")
        self.fails(CLI, os.path.join(self.work, "nowhere.so"), "route.geojson")
        with open(path) as f:
            self.assertEqual(f.read(), "earlier map\n")
        self.assertEqual(os.listdir(self.work), ["route.geojson"])

    def test_tool_elsewhere_runs_all_but_map(self):
        """A copy of the tool in a folder without the module: map names both
        places it looked; --version, stats and report need no module."""
        cli = os.path.join(self.work, "wendrake")
        shutil.copy(CLI, cli)
        version = run(cli, "--version")
        self.assertEqual(version.returncode, 0, version.stderr)
        self.assertTrue(version.stdout.startswith(b"wendrake "))
        self.assertEqual(run(cli, "stats", SAMPLE).returncode, 0)
        report = run(cli, "report", SAMPLE, "-o", os.path.join(self.work, "report.html"))
        self.assertEqual(report.returncode, 0, report.stderr)
        stderr = self.fails(cli, None)
        self.assertIn(os.path.join(self.work, "wendrake_map.so"), stderr)
        self.assertIn("/wendrake/wendrake_map.so", stderr)
        self.assertIn("install the wendrake-map package", stderr)
        self.assertEqual(sorted(os.listdir(self.work)), ["report.html", "wendrake"])


class ModuleTest(unittest.TestCase):
    """The built module and the tool beside it."""

    def test_tool_does_not_link_gdal(self):
        libraries = shared_libraries(CLI)
        if libraries is None:
            self.skipTest("no ldd")
        self.assertNotIn("libgdal", libraries)
        self.assertIn("libgdal", shared_libraries(MODULE))

    def test_exports_the_entry_point_alone(self):
        if not shutil.which("nm"):
            self.skipTest("no nm")
        symbols = subprocess.run(["nm", "-D", "--defined-only", MODULE], check=True, capture_output=True,
                                 text=True).stdout.split()
        self.assertEqual([s for s in symbols if not re.fullmatch(r"[0-9a-f]+|[A-Za-z]", s)],
                         ["wendrake_map_write"])

    def test_refuses_another_interface_version(self):
        libraries = shared_libraries(MODULE)
        if libraries is None or re.search(r"lib[at]san", libraries):
            self.skipTest("a sanitized module loads only into a sanitized process")
        with open(ABI_HEADER) as f:
            abi = int(re.search(r"#define WENDRAKE_MAP_ABI (\d+)u", f.read()).group(1))
        write = ctypes.CDLL(MODULE).wendrake_map_write
        write.argtypes = [ctypes.c_uint32, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t]
        for other in (abi - 1, abi + 1):
            error = ctypes.create_string_buffer(256)
            self.assertNotEqual(write(other, None, error, len(error)), 0)
            self.assertIn(b"interface", error.value)
        error = ctypes.create_string_buffer(256)
        self.assertNotEqual(write(abi, None, error, len(error)), 0)  # the right version, no drive
        self.assertNotIn(b"interface", error.value)


if __name__ == "__main__":
    unittest.main(verbosity=2)
