#!/usr/bin/env python3
"""Configures the source tree with dependencies hidden from CMake and checks
what the build makes of it: the libraries alone when nothing optional is
found, one line saying what was left out and why, and an error for a part
asked for whose dependency is missing. Usage: check_parts.py SOURCE_DIR"""
import subprocess
import sys
import tempfile
import unittest

SOURCE = sys.argv.pop(1) if len(sys.argv) > 1 else "."
HIDDEN = ["-DCMAKE_DISABLE_FIND_PACKAGE_GDAL=ON", "-DCMAKE_DISABLE_FIND_PACKAGE_CLI11=ON",
          "-DCMAKE_DISABLE_FIND_PACKAGE_fmt=ON", "-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON",
          "-DWENDRAKE_PYTHON=/nonexistent/python3"]


def configure(*options):
    with tempfile.TemporaryDirectory() as build:
        result = subprocess.run(["cmake", "-S", SOURCE, "-B", build, *options],
                                capture_output=True, text=True)
        targets = ""
        if result.returncode == 0:
            targets = subprocess.run(["cmake", "--build", build, "--target", "help"],
                                     capture_output=True, text=True).stdout
        return result, targets


class PartsTest(unittest.TestCase):
    def test_libraries_alone_when_nothing_optional_is_found(self):
        result, targets = configure(*HIDDEN)
        self.assertEqual(result.returncode, 0, result.stderr)
        summary = [line for line in result.stdout.splitlines() if line.startswith("-- wendrake: left out:")]
        self.assertEqual(len(summary), 1, result.stdout)
        for part in ("tests (", "tools (needs CLI11", "map (", "report (", "python ("):
            self.assertIn(part, summary[0])
        for target in ("wendrake", "wendrake_table"):
            self.assertRegex(targets, rf"\b{target}\b")
        for target in ("wendrake_cli", "wendrake_map", "api_test"):
            self.assertNotRegex(targets, rf"\b{target}\b")

    def test_a_part_asked_for_without_its_dependency_is_an_error(self):
        result, _ = configure("-DCMAKE_DISABLE_FIND_PACKAGE_GDAL=ON", "-DWENDRAKE_BUILD_MAP=ON",
                              "-DWENDRAKE_BUILD_TESTS=OFF")
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("WENDRAKE_BUILD_MAP=ON", result.stderr)
        self.assertIn("GDAL", result.stderr)

    def test_a_part_switched_off_says_so(self):
        result, targets = configure("-DWENDRAKE_BUILD_MAP=OFF", "-DWENDRAKE_BUILD_TESTS=OFF")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("map (WENDRAKE_BUILD_MAP=OFF)", result.stdout)
        self.assertRegex(targets, r"\bwendrake_cli\b")
        self.assertNotRegex(targets, r"\bwendrake_map\b")


if __name__ == "__main__":
    unittest.main()
