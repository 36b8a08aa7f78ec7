#!/usr/bin/env python3
"""End-to-end tests of the wendrake command line tool.

Environment: WENDRAKE_CLI (the tool), WENDRAKE_SOURCE_DIR (the source tree).
Runs over the bundled sample drive test and over fixture.log beside this
file (see make_fixture.py for what it holds).
"""
import calendar
import csv
import datetime
import io
import json
import os
import subprocess
import tempfile
import unittest

CLI = os.environ["WENDRAKE_CLI"]
SOURCE = os.environ["WENDRAKE_SOURCE_DIR"]
SAMPLE = os.path.join(SOURCE, "examples", "sample_drive.log")
EXPECTED = os.path.join(SOURCE, "examples", "sample_drive.expected.json")
FIXTURE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fixture.log")


def run(*args, stdin=None):
    return subprocess.run([CLI, *args], input=stdin, capture_output=True, timeout=120)


def check(*args, stdin=None):
    result = run(*args, stdin=stdin)
    if result.returncode != 0:
        raise AssertionError(f"{args}: exit {result.returncode}: {result.stderr.decode(errors='replace')}")
    return result.stdout


def decode_jsonl(log, *extra):
    return [json.loads(line) for line in check("decode", log, *extra).decode("utf-8").splitlines()]


def file_lines(log):
    with open(log, "rb") as f:
        return f.read().split(b"\n")


def record_token(line):
    words = line.split()
    return words[0].decode("utf-8", errors="replace") if words else ""


class SampleLog(unittest.TestCase):
    """The bundled drive test through every subcommand."""

    @classmethod
    def setUpClass(cls):
        cls.items = decode_jsonl(SAMPLE)
        with open(EXPECTED) as f:
            cls.expected = json.load(f)
        cls.stats = json.loads(check("stats", "--json", SAMPLE))

    def test_items_per_code_match_the_generator(self):
        counts = {}
        for item in self.items:
            counts[item["code"]] = counts.get(item["code"], 0) + 1
        expected = {f"0x{int(k, 16):08X}": v for k, v in self.expected["items_by_code"].items()}
        self.assertEqual(counts, expected)
        self.assertEqual(len(self.items), self.expected["items"])

    def test_items_point_at_their_lines(self):
        lines = file_lines(SAMPLE)
        numbers = [item["line"] for item in self.items]
        self.assertEqual(numbers, sorted(set(numbers)), "one item per line, in order")
        for item in self.items:
            line = lines[item["line"] - 1].rstrip(b"\r")
            self.assertEqual(item["record"], record_token(line))
            self.assertEqual(item["raw"], line.decode("utf-8"))

    def test_fields_are_consistent(self):
        for item in self.items:
            code = int(item["code"], 16)
            if item["record"] == "CL3":
                l3 = item["layer3"]
                self.assertEqual(int(l3["log_code"], 16), code >> 16)
                self.assertEqual(l3["message_type"], (code >> 8) & 0xFF)
                self.assertEqual(l3["sub_code"], code & 0xFF)
                self.assertNotIn("text", item)
            else:
                self.assertTrue(item["text"].startswith("<message>\n"), item["line"])
            # The stored stamp is the log's clock read as UTC plus 8 hours.
            clock = datetime.datetime.strptime(item["time"]["iso"], "%Y-%m-%dT%H:%M:%S.%f")
            self.assertEqual(calendar.timegm(clock.timetuple()) + 28800, item["time"]["seconds"])
            self.assertEqual(clock.microsecond, item["time"]["micros"])
            for p in item["current"] + item["inherited"]:
                self.assertTrue(p["name"], p)
                if p["real"] != 0:
                    self.assertIn(round(p["stored"] / p["real"]), (1, 100, 1000), p)

    def test_csv_has_a_header_and_one_row_per_item(self):
        rows = list(csv.reader(io.StringIO(check("decode", "--format", "csv", SAMPLE).decode("utf-8"))))
        self.assertEqual(rows[0][:4], ["line", "record", "code", "direction"])
        self.assertEqual(len(rows) - 1, len(self.items))
        self.assertTrue(all(len(row) == len(rows[0]) for row in rows))
        self.assertEqual([int(row[0]) for row in rows[1:]], [item["line"] for item in self.items])

    def test_text_format_has_one_block_per_item(self):
        text = check("decode", "--format", "text", SAMPLE).decode("utf-8")
        self.assertEqual(sum(1 for line in text.splitlines() if line.startswith("line ")), len(self.items))

    def test_stats_agree_with_decode(self):
        stats = self.stats
        self.assertEqual(stats["lines"], self.expected["lines"])
        self.assertEqual(stats["items"], len(self.items))
        self.assertEqual(stats["lines_without_item"], stats["lines"] - len(self.items))
        by_code = {}
        by_record = {}
        for item in self.items:
            by_code[item["code"]] = by_code.get(item["code"], 0) + 1
            by_record[item["record"]] = by_record.get(item["record"], 0) + 1
        self.assertEqual(stats["items_by_code"], by_code)
        self.assertEqual(stats["items_by_record"], by_record)

        values = {}
        for item in self.items:
            for p in item["current"]:
                values.setdefault(p["id"], []).append(p["real"])
        self.assertEqual({p["id"] for p in stats["params"]}, set(values))
        for p in stats["params"]:
            got = values[p["id"]]
            self.assertEqual(p["count"], len(got), p["name"])
            self.assertAlmostEqual(p["min"], min(got))
            self.assertAlmostEqual(p["max"], max(got))
            self.assertAlmostEqual(p["mean"], sum(got) / len(got), places=6)

        changes = []
        state = None
        for item in self.items:
            for p in item["current"]:
                if p["id"] == "0x7F01C103" and p["stored"] != state:
                    changes.append({"line": item["line"], "from": state, "to": p["stored"]})
                    state = p["stored"]
        self.assertEqual(stats["evdo_state_changes"], changes)
        self.assertGreater(len(changes), 2, "the sample walks through the EV-DO states")
        self.assertEqual(stats["time_span"]["first"], self.items[0]["time"]["iso"])
        self.assertEqual(stats["time_span"]["last"], self.items[-1]["time"]["iso"])

    def test_stats_text_shows_the_same_numbers(self):
        text = check("stats", SAMPLE).decode("utf-8")
        self.assertIn(f"lines      {self.stats['lines']} ", text)
        self.assertIn(f"items      {self.stats['items']}\n", text)
        self.assertIn(f"EV-DO state changes (0x7F01C103 EvdoState): {len(self.stats['evdo_state_changes'])}", text)
        self.assertIn(f"lines that yielded no item: {self.stats['lines_without_item']}", text)

    def test_params_table_is_one_row_per_item(self):
        rows = list(csv.reader(io.StringIO(check("params", SAMPLE, "--csv").decode("utf-8"))))
        header = rows[0]
        self.assertEqual(header[:4], ["line", "time", "record", "code"])
        self.assertEqual(len(rows) - 1, len(self.items))
        names = {}
        for item in self.items:
            for p in item["current"] + item["inherited"]:
                names[p["name"]] = p["id"]
        self.assertEqual(set(header[4:]), set(names))
        column = {name: i for i, name in enumerate(header)}
        for row, item in zip(rows[1:], self.items):
            self.assertEqual(int(row[0]), item["line"])
            held = {p["name"]: p["real"] for p in item["inherited"] + item["current"]}
            for name in header[4:]:
                cell = row[column[name]]
                if name in held:
                    self.assertAlmostEqual(float(cell), held[name])
                else:
                    self.assertEqual(cell, "")

    def test_standard_input_gives_the_same_output(self):
        with open(SAMPLE, "rb") as f:
            data = f.read()
        self.assertEqual(check("decode", "-", stdin=data), check("decode", SAMPLE))
        self.assertEqual(check("params", "-", "--csv", stdin=data), check("params", SAMPLE, "--csv"))

    def test_output_file_holds_what_stdout_would(self):
        with tempfile.TemporaryDirectory() as work:
            path = os.path.join(work, "out.csv")
            self.assertEqual(check("decode", "-f", "csv", "-o", path, SAMPLE), b"")
            with open(path, "rb") as f:
                self.assertEqual(f.read(), check("decode", "-f", "csv", SAMPLE))

    def test_module_type_forms_the_code(self):
        items = decode_jsonl(SAMPLE, "--module", "bd00")
        dm = [item for item in items if item["record"] == "DM"]
        self.assertTrue(dm and all(item["code"] == "0xBD002001" for item in dm))


class FixtureLog(unittest.TestCase):
    """Awkward input: binary bytes, CRLF, no clock, rejected and long lines."""

    @classmethod
    def setUpClass(cls):
        cls.items = decode_jsonl(FIXTURE)
        cls.by_line = {item["line"]: item for item in cls.items}
        cls.lines = file_lines(FIXTURE)

    def line_of(self, prefix):
        return next(i + 1 for i, line in enumerate(self.lines) if line.startswith(prefix))

    def test_binary_bytes_are_escaped_in_json(self):
        number = self.line_of(b"DM\t-90")
        raw = self.lines[number - 1]
        item = self.by_line[number]
        # Invalid UTF-8 keeps its byte value as the code point; é stays é.
        self.assertEqual(item["raw"], raw.decode("latin-1").replace("\xc3\xa9", "é"))
        self.assertIn("bin\u00ff", item["text"])
        out = check("decode", FIXTURE)
        self.assertIn(rb"bin\u00ff\u0000\u0001\u007f \"q\" ", out)
        out.decode("utf-8")  # the whole output is valid UTF-8

    def test_binary_bytes_are_marked_in_csv_and_text(self):
        for fmt in ("csv", "text"):
            out = check("decode", "--format", fmt, FIXTURE)
            self.assertIn(rb"bin\xFF\x00\x01\x7F", out)
            out.decode("utf-8")

    def test_crlf_line_and_line_before_the_clock(self):
        crlf = self.by_line[self.line_of(b"DM\t-85.5")]
        self.assertEqual(crlf["raw"], "DM\t-85.5\t10.25\tcrlf line")
        self.assertEqual(crlf["time"]["iso"], "2011-10-19T12:00:00.250")
        self.assertEqual(crlf["time"]["seconds"], 1319025600 + 28800)
        early = self.by_line[self.line_of(b"DM\t-70.5")]
        self.assertIsNone(early["time"]["iso"])
        self.assertEqual(early["time"]["seconds"], 28799)

    def test_rejected_and_empty_cl3_lines(self):
        good = self.line_of(b"CL3\tACH\t0")
        self.assertEqual(self.by_line[good]["code"], "0x10040100")
        self.assertEqual(self.by_line[good]["layer3"]["body"], "00010000")
        self.assertNotIn(good + 1, self.by_line, "category mismatch yields nothing")
        self.assertEqual(self.by_line[good + 2]["code"], "0x00000000")

    def test_state_changes_and_lines_without_items(self):
        stats = json.loads(check("stats", "--json", FIXTURE))
        self.assertEqual([(c["from"], c["to"]) for c in stats["evdo_state_changes"]],
                         [(None, 1), (1, 2), (2, 0)])
        self.assertTrue(stats["unterminated_last_line"])
        self.assertEqual(stats["lines"], len(self.lines))
        self.assertEqual(stats["items"], len(self.items))
        empty = stats["lines_without_item_by_record"]
        self.assertEqual(empty["(blank)"], 2)
        self.assertEqual(empty["CL3"], 1)
        self.assertEqual(empty["garbage"], 1)
        self.assertIn("the last line has no newline", check("stats", FIXTURE).decode())

    def test_long_lines(self):
        long_dm = self.by_line[self.line_of(b"DM\t-60.125")]
        self.assertEqual(long_dm["current"][0], {"id": "0x7F010001", "name": "Rxagc", "stored": -60125, "real": -60.125})
        # The decoder drops an over-long line whole: text inside it never
        # becomes a record of its own.
        self.assertNotIn(self.line_of(b"LAB\t"), self.by_line)
        summary = check("decode", "--format", "summary", FIXTURE).decode().splitlines()
        self.assertIn(" 5120 ", summary[[i["line"] for i in self.items].index(long_dm["line"])])


class Errors(unittest.TestCase):
    """Every usage or file error exits 2 with one line on standard error."""

    def assertUsageError(self, args, message):
        result = run(*args)
        self.assertEqual(result.returncode, 2, args)
        self.assertEqual(result.stdout, b"")
        err = result.stderr.decode()
        self.assertEqual(err.count("\n"), 1, err)
        self.assertTrue(err.startswith("wendrake: "), err)
        self.assertIn(message, err)

    def test_file_errors(self):
        with tempfile.TemporaryDirectory() as work:
            self.assertUsageError(["decode", os.path.join(work, "missing.log")], "No such file or directory")
            self.assertUsageError(["stats", work], "is a directory")
            self.assertUsageError(["params", work, "--csv"], "is a directory")
            self.assertUsageError(["decode", FIXTURE, "-o", os.path.join(work, "no", "out")],
                                  "cannot write")
            if os.geteuid() != 0:  # root reads anything
                locked = os.path.join(work, "locked.log")
                with open(locked, "w") as f:
                    f.write("DM\t1\n")
                os.chmod(locked, 0)
                self.assertUsageError(["decode", locked], "Permission denied")

    def test_usage_errors(self):
        self.assertUsageError(["decode", FIXTURE, "--module", "B999"], "unknown module type 'B999'")
        self.assertUsageError(["stats", FIXTURE, "-m", "x"], "unknown module type")
        self.assertUsageError(["decode", FIXTURE, "--format", "xml"], "unknown format 'xml'")
        self.assertUsageError([], "subcommand")
        self.assertUsageError(["decode"], "LOG")
        self.assertUsageError(["frobnicate"], "frobnicate")
        self.assertUsageError(["decode", FIXTURE, "--bogus"], "--bogus")

    def test_help_and_version(self):
        self.assertIn(b"decode", check("--help"))
        self.assertIn(b"TZ=UTC0", check("decode", "--help"))
        header = os.path.join(SOURCE, "include", "wendrake", "wendrake.h")
        with open(header) as f:
            parts = {}
            for line in f:
                for part in ("MAJOR", "MINOR", "PATCH"):
                    if line.startswith(f"#define WENDRAKE_VERSION_{part} "):
                        parts[part] = line.split()[2]
        self.assertEqual(check("--version").decode().strip(),
                         f"wendrake {parts['MAJOR']}.{parts['MINOR']}.{parts['PATCH']}")


if __name__ == "__main__":
    unittest.main(verbosity=2)
