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
import gzip
import os
import pty
import random
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time
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


CLOCK = "RegReport\tDM\tRxagc\tTxpower\nDAY\t2011\t10\t19\nHOUR\t12\nMIN\t0\n"


def write_log(folder, text, name="drive.log"):
    """A scripted log in `folder`; `text` is str or bytes."""
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(text.encode() if isinstance(text, str) else text)
    return path


def big_log(folder, megabytes=5):
    """A log larger than the size above which a progress bar is shown."""
    line = b"DM\t-50.5\t1\tfiller to make the log long\n"
    return write_log(folder, CLOCK.encode() + b"SEC\t1\t0\n" + line * (megabytes * 2**20 // len(line)))


def one_line_error(test, result, *fragments):
    """Exit 2 and exactly one line on standard error that holds `fragments`."""
    err = result.stderr.decode(errors="replace")
    test.assertEqual(result.returncode, 2, err)
    test.assertEqual(err.count("\n"), 1, err)
    for fragment in fragments:
        test.assertIn(fragment, err)


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

        # An EV-DO state change: an item setting the state word to a value
        # other than the last one set; the first value set is no change.
        changes = []
        state = None
        for item in self.items:
            for p in item["current"]:
                if p["id"] == "0x7F01C103":
                    if state is not None and p["stored"] != state:
                        changes.append({"line": item["line"], "from": state, "to": p["stored"]})
                    state = p["stored"]
        self.assertEqual(stats["evdo_state_changes"], changes)
        self.assertEqual(stats["evdo_state_change_count"], len(changes))
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
        self.assertEqual(header[:7], ["line", "time", "record", "code", "latitude", "longitude", "fix_age"])
        self.assertEqual(len(rows) - 1, len(self.items))
        names = {}
        for item in self.items:
            for p in item["current"] + item["inherited"]:
                names[p["name"]] = p["id"]
        self.assertEqual(set(header[7:]), set(names))
        column = {name: i for i, name in enumerate(header)}
        for row, item in zip(rows[1:], self.items):
            self.assertEqual(int(row[0]), item["line"])
            held = {p["name"]: p["real"] for p in item["inherited"] + item["current"]}
            for name in header[7:]:
                cell = row[column[name]]
                if name in held:
                    self.assertAlmostEqual(float(cell), held[name])
                else:
                    self.assertEqual(cell, "")

    def test_params_record_fields_follow_the_parameters(self):
        plain = list(csv.reader(io.StringIO(check("params", SAMPLE, "--csv").decode("utf-8"))))
        rows = list(csv.reader(io.StringIO(check("params", SAMPLE, "--csv", "--record-fields").decode("utf-8"))))
        width = len(plain[0])
        self.assertEqual([row[:width] for row in rows], plain)
        fields = rows[0][width:]
        self.assertTrue({"HOP.SetType", "SC.BaseID", "EVT.Payload", "UI.CallState"} <= set(fields), fields)
        # Each cell is the element of the item's text on rows of its record.
        for row, item in zip(rows[1:], self.items):
            elements = dict(re.findall(r"<([^<>/]+)>([^<]*)</\1>", item.get("text") or ""))
            for name, cell in zip(fields, row[width:]):
                record, element = name.split(".", 1)
                want = elements.get(element, "") if item["record"] == record else ""
                if cell and want and cell != want:
                    self.assertEqual(float(cell), float(want), (item["line"], name))
                else:
                    self.assertEqual(cell, want, (item["line"], name))
        # A text with the CSV's own characters is quoted.
        with tempfile.TemporaryDirectory() as work:
            log = write_log(work, 'RegReport\tEVT\tEvent\tEventName\tPayload\nEVT\t1A\tX\ta,"b"\n')
            rows = list(csv.reader(io.StringIO(check("params", log, "--record-fields").decode("utf-8"))))
            cells = dict(zip(rows[0], rows[1]))
            self.assertEqual((cells["EVT.EventName"], cells["EVT.Payload"]), ("X", 'a,"b"'))

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


class MessageFields(unittest.TestCase):
    """Each "CL3" item's message name and fields, in every format."""

    @classmethod
    def setUpClass(cls):
        cls.items = [item for item in decode_jsonl(SAMPLE) if item["record"] == "CL3"]

    def test_jsonl_fields_follow_the_logged_message(self):
        self.assertTrue(self.items)
        for item in self.items:
            l3 = item["layer3"]
            fields = l3["fields"]
            if not fields:  # an empty "CL3" line: no message, so no name either
                self.assertIsNone(l3["message"], item["line"])
            if 0x1004 <= int(l3["log_code"], 16) <= 0x1008:
                # A 1x message starts with its length in octets, as logged.
                self.assertEqual(fields["MSG_LENGTH"], int(l3["body"][:2], 16), item["line"])
                self.assertEqual(fields["MSG_TYPE"] & 0x3F, l3["message_type"] & 0x3F, item["line"])
        kinds = {item["layer3"]["message"] for item in self.items}
        self.assertIn("System Parameters Message", kinds)
        spm = next(i for i in self.items if i["layer3"]["message"] == "System Parameters Message")
        self.assertEqual(spm["layer3"]["fields"]["T_ADD"]["unit"], "dB")
        # Repeated records are arrays of objects.
        lists = [i for i in self.items if i["layer3"]["message"] == "Neighbor List Message"]
        self.assertTrue(lists)
        neighbours = lists[0]["layer3"]["fields"]["NEIGHBORS"]
        self.assertIsInstance(neighbours, list)
        self.assertIn("NGHBR_PN", neighbours[0])

    def test_csv_column_holds_the_same_json_and_only_on_layer3_rows(self):
        rows = list(csv.DictReader(io.StringIO(check("decode", "--format", "csv", SAMPLE).decode("utf-8"))))
        self.assertEqual(list(rows[0])[-1], "fields")
        by_line = {item["line"]: item for item in self.items}
        for row in rows:
            item = by_line.get(int(row["line"]))
            if item is None:
                self.assertEqual(row["fields"], "")
            else:
                self.assertEqual(json.loads(row["fields"]), item["layer3"]["fields"])

    def test_text_names_each_message_and_lists_its_fields(self):
        blocks = check("decode", "--format", "text", SAMPLE).decode("utf-8").split("\n\n")
        layer3 = [b for b in blocks if "  layer 3    " in b]
        self.assertEqual(len(layer3), len(self.items))
        for block, item in zip(layer3, self.items):
            self.assertIn("\n  message    " + (item["layer3"]["message"] or "unknown") + "\n", block)
            fields = item["layer3"]["fields"]
            if not fields:  # an empty "CL3" line: no message, no fields
                self.assertNotIn("\n  fields\n", block)
                continue
            self.assertIn("\n  fields\n    MSG_LENGTH = " if "MSG_LENGTH" in fields else "\n  fields\n    CHANNEL = ",
                          block)
        spm = next(b for b in layer3 if "  message    System Parameters Message" in b)
        self.assertRegex(spm, r"\n    T_ADD = \d+ \(-[\d.]+ dB\)\n")

    def test_message_cut_short_ends_with_the_marker(self):
        # A System Parameters Message whose MSG_LENGTH says 40 octets, of
        # which 6 are logged: the fields up to the cut, then the marker.
        body = "2801A8C36C00"
        logged = f"{12 + len(body) // 2:02X}000710" + "00" * 8 + body
        with tempfile.TemporaryDirectory() as folder:
            log = write_log(folder, CLOCK + "SEC\t1\t0\nCL3\tPCH\t1\t" + logged + "\n")
            item = decode_jsonl(log)[0]
            fields = item["layer3"]["fields"]
            self.assertEqual(fields["PILOT_PN"], 0x151)
            self.assertNotIn("BASE_ID", fields)
            self.assertIn("MSG_LENGTH says 40 octets", fields["<truncated>"]["reason"])
            text = check("decode", "--format", "text", log).decode("utf-8")
            self.assertRegex(text, r"\n    <truncated> at bit \d+: NID needs 16 bits, 2 left: MSG_LENGTH says 40 octets")


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
                         [(1, 2), (2, 0)])
        self.assertTrue(stats["unterminated_last_line"])
        self.assertEqual(stats["lines"], len(self.lines))
        self.assertEqual(stats["items"], len(self.items))
        empty = stats["lines_without_item_by_record"]
        self.assertEqual(empty["(blank)"], 2)
        self.assertEqual(empty["CL3"], 1)
        self.assertEqual(empty["garbage"], 1)
        self.assertIn("the last line has no newline; it was decoded", check("stats", FIXTURE).decode())

    def test_long_lines(self):
        long_dm = self.by_line[self.line_of(b"DM\t-60.125")]
        self.assertEqual(long_dm["current"][0], {"id": "0x7F010001", "name": "Rxagc", "stored": -60125, "real": -60.125})
        # The decoder drops an over-long line whole: text inside it never
        # becomes a record of its own.
        self.assertNotIn(self.line_of(b"LAB\t"), self.by_line)
        summary = check("decode", "--format", "summary", FIXTURE).decode().splitlines()
        self.assertIn(" 5120 ", summary[[i["line"] for i in self.items].index(long_dm["line"])])


def generated_log(seed):
    """A random log with CR LF ends, over-long lines, registrations that
    change midway, clock gaps and steps back, and every record type."""
    rng = random.Random(seed)
    message = "1000" + "0410" + "00" * 8 + "00010000"
    lines = [CLOCK, "RegReport\tEVT\tEvent\tEventName\n", "SEC\t0\t0\n"]
    records = ["DM\t{a}\t{b}\t{b}\t{a}", "SC\t283\t{n}\t6", "HOP\t120\t{a}\t10", "PSM\t{n}", "AP\t{n}\t{a}",
               "PCP\t{a}\t{b}\t2", f"CL3\tACH\t0\t{message}", "CL3\tPCH\t0", "UI\t{n}", "ASFI\t{n}",
               "C1XQI\t{a}\t{b}", "GPS\t31.{n}\t121.{n}", "VOT\t31.{n}\t121.{n}", "C1XFMI\t{n}",
               "C1XSMI\t{n}", "EVT\t{n:X}\tName{n}", "LAB\t{n}", "ENT\t{n}",
               "CEVS\t3\t{s}\t3\t0\t3\t1\t{s}\t1\t1", "FileInfo\tx", "junk{n}\tx", ""]
    second = 0
    for _ in range(600):
        roll = rng.random()
        if roll < 0.08:
            second += rng.choice([1, 1, 2, 3600, -5])
            lines.append(f"SEC\t{second % 60}\t{rng.randrange(1000)}\n")
            if second % 7 == 0:
                lines.append(f"MIN\t{second // 60 % 60}\n")
        elif roll < 0.11:
            names = rng.sample(["Rxagc", "Txpower", "Txgainadj", "FFER", "Total_EcIo"], 3)
            lines.append("RegReport\tDM\t" + "\t".join(names + [rng.choice(names)]) + "\n")
        elif roll < 0.12:
            lines.append("DM\t-50\t" + "9" * rng.choice([8180, 8188, 8189, 8190, 9000]) + "\n")
        else:
            line = rng.choice(records).format(a=round(rng.uniform(-100, 30), 3), b=round(rng.uniform(-9, 9), 2),
                                              n=rng.randrange(400), s=rng.choice([3, 5]))
            lines.append(line + ("\r\n" if rng.random() < 0.2 else "\n"))
    return "".join(lines).encode()


class TableCommands(unittest.TestCase):
    """stats and params, built from the native table, agree with the items
    decode prints one by one, from a file and from a pipe alike."""

    def expected_params_csv(self, log):
        # decode prints every real value with the same formatting params
        # uses: read the numbers as the text they are.
        items = [json.loads(line, parse_float=str, parse_int=str)
                 for line in check("decode", log).decode("utf-8").splitlines()]
        names = {}
        for item in items:
            for p in item["inherited"] + item["current"]:
                names[int(p["id"], 16)] = p["name"]
        ids = sorted(names)
        out = io.StringIO()
        writer = csv.writer(out, lineterminator="\n")
        writer.writerow(["line", "time", "record", "code"] + [names[i] for i in ids])
        for item in items:
            held = {int(p["id"], 16): p["real"] for p in item["inherited"] + item["current"]}
            writer.writerow([item["line"], item["time"]["iso"] or "", item["record"], item["code"]] +
                            [held.get(i, "") for i in ids])
        return out.getvalue().encode()

    @staticmethod
    def without_position(params_csv):
        """The table without its position columns (the items do not carry them)."""
        out = io.StringIO()
        writer = csv.writer(out, lineterminator="\n")
        for row in csv.reader(io.StringIO(params_csv.decode("utf-8"))):
            writer.writerow(row[:4] + row[7:])
        return out.getvalue().encode()

    def test_params_and_stats_match_the_items(self):
        with tempfile.TemporaryDirectory() as work:
            logs = [SAMPLE, FIXTURE] + [write_log(work, generated_log(seed), f"g{seed}.log") for seed in range(4)]
            for log in logs:
                with open(log, "rb") as f:
                    data = f.read()
                params = check("params", log, "--csv")
                self.assertEqual(self.without_position(params), self.expected_params_csv(log), log)
                self.assertEqual(check("params", "-", "--csv", stdin=data), params, log)
                for args in (["stats", "--json"], ["stats"]):
                    self.assertEqual(check(*args, "-", stdin=data).replace(b"standard input", log.encode()),
                                     check(*args, log), log)
                stats = json.loads(check("stats", "--json", log))
                items = decode_jsonl(log)
                self.assertEqual(stats["items"], len(items))
                for p in stats["params"]:
                    # Items that set the parameter, each once however many of
                    # its line's columns feed it.
                    setting = [i for i in items if any(c["id"] == p["id"] for c in i["current"])]
                    self.assertEqual(p["count"], len(setting), (log, p["name"]))


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


class LastLine(unittest.TestCase):
    """A complete last line without a newline is decoded, and said so."""

    def test_every_command_decodes_the_unterminated_last_line(self):
        with tempfile.TemporaryDirectory() as work:
            log = write_log(work, CLOCK + "SEC\t1\t0\nDM\t-50.5\t1\nDM\t-60\t2")
            result = run("decode", log)
            self.assertEqual(result.returncode, 0)
            items = [json.loads(line) for line in result.stdout.decode().splitlines()]
            self.assertEqual([(i["line"], i["current"][0]["real"]) for i in items], [(6, -50.5), (7, -60)])
            err = result.stderr.decode()
            self.assertEqual(err.count("\n"), 1, err)
            self.assertIn("(line 7) has no newline", err)
            rows = list(csv.reader(io.StringIO(check("params", log).decode())))
            self.assertEqual([row[0] for row in rows[1:]], ["6", "7"])
            stats = json.loads(check("stats", "--json", log))
            self.assertEqual((stats["lines"], stats["items"]), (7, 2))
            self.assertTrue(stats["unterminated_last_line"])
            # Through a pipe too, and nothing is said for a finished log.
            self.assertEqual(check("decode", "-", stdin=open(log, "rb").read()), result.stdout)
            self.assertEqual(run("decode", write_log(work, "DM\t1\t2\n", "ok.log")).stderr, b"")


class OutputFiles(unittest.TestCase):
    """-o never destroys the input and never leaves a partial file."""

    def test_output_onto_the_input_is_refused(self):
        with tempfile.TemporaryDirectory() as work:
            content = (CLOCK + "SEC\t1\t0\nDM\t-50.5\t1\n").encode()
            log = write_log(work, content)
            os.symlink(log, os.path.join(work, "link.log"))
            os.link(log, os.path.join(work, "hard.log"))
            same = [log, os.path.join(work, "link.log"), os.path.join(work, "hard.log"),
                    os.path.join(work, ".", "drive.log")]
            for command in (["decode"], ["stats"], ["params", "--csv"]):
                for output in same:
                    one_line_error(self, run(*command, log, "-o", output), "is the input log")
                # Standard input that is the log, and standard output appended to it.
                with open(log, "rb") as stdin:
                    result = subprocess.run([CLI, *command, "-", "-o", log], stdin=stdin, capture_output=True)
                one_line_error(self, result, "is the input log")
                with open(log, "ab") as stdout:
                    result = subprocess.run([CLI, *command, log], stdout=stdout, stderr=subprocess.PIPE)
                self.assertEqual(result.returncode, 2, result.stderr)
                with open(log, "rb") as f:
                    self.assertEqual(f.read(), content, command)
            self.assertEqual(sorted(os.listdir(work)), ["drive.log", "hard.log", "link.log"])

    def test_output_through_a_link_replaces_the_file_it_points_to(self):
        with tempfile.TemporaryDirectory() as work:
            log = write_log(work, "DM\t1\t2\n")
            target = write_log(work, "old", "target.csv")
            os.chmod(target, 0o640)
            os.symlink(target, os.path.join(work, "link.csv"))
            check("decode", "-f", "csv", log, "-o", os.path.join(work, "link.csv"))
            self.assertTrue(os.path.islink(os.path.join(work, "link.csv")))
            with open(target, "rb") as f:
                self.assertEqual(f.read(), check("decode", "-f", "csv", log))
            self.assertEqual(os.stat(target).st_mode & 0o777, 0o640)

    def test_interrupted_run_leaves_the_old_file_and_no_temporary(self):
        with tempfile.TemporaryDirectory() as work:
            out = write_log(work, "previous result\n", "out.jsonl")
            for sig in (signal.SIGTERM, signal.SIGINT):
                tool = subprocess.Popen([CLI, "decode", "-", "-o", out], stdin=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
                tool.stdin.write((CLOCK + "SEC\t1\t0\n" + "DM\t-50\t1\n" * 20000).encode())
                tool.stdin.flush()
                time.sleep(0.5)  # the tool is now waiting for more input
                tool.send_signal(sig)
                tool.wait(timeout=30)
                tool.stdin.close()
                tool.stderr.close()
                self.assertEqual(tool.returncode, -sig)
                self.assertEqual(os.listdir(work), ["out.jsonl"])
                with open(out, "rb") as f:
                    self.assertEqual(f.read(), b"previous result\n")


class FailedWrites(unittest.TestCase):
    """A write that fails stops the tool at once with the real reason."""

    def test_full_device(self):
        with tempfile.TemporaryDirectory() as work:
            log = big_log(work, 1)
            for args in (["decode", log], ["decode", "-f", "text", log], ["stats", log], ["params", log]):
                one_line_error(self, run(*args, "-o", "/dev/full"), "cannot write /dev/full: No space left on device")
            for args in (["--version"], ["--help"], ["decode", "--help"], ["decode", log]):
                with open("/dev/full", "wb") as full:
                    result = subprocess.run([CLI, *args], stdout=full, stderr=subprocess.PIPE)
                one_line_error(self, result, "cannot write standard output: No space left on device")

    def test_stops_at_the_first_failed_write(self):
        # Fed through a pipe, a tool that stops early leaves most of it unread.
        chunk = b"DM\t-50\t1\n" * 8192
        total = 4096 * len(chunk)
        with open("/dev/full", "wb") as full:
            tool = subprocess.Popen([CLI, "decode", "-"], stdin=subprocess.PIPE, stdout=full,
                                    stderr=subprocess.PIPE)
        written = 0
        try:
            while written < total:
                tool.stdin.write(chunk)
                written += len(chunk)
            tool.stdin.close()
        except BrokenPipeError:
            pass
        err = tool.stderr.read()
        tool.wait(timeout=30)
        tool.stderr.close()
        self.assertEqual(tool.returncode, 2)
        self.assertIn(b"No space left on device", err)
        self.assertLess(written, total // 4)


class ClosedPipe(unittest.TestCase):
    """`wendrake ... | head`: when the reader goes away the tool ends as every
    filter does, killed by SIGPIPE with nothing on standard error."""

    def run_into_pipe(self, args, read_first):
        """Runs the tool into a pipe whose reader closes after `read_first`
        bytes (before the tool starts when 0)."""
        reader, writer = os.pipe()
        if read_first == 0:
            os.close(reader)
        tool = subprocess.Popen([CLI, *args], stdout=writer, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL,
                                restore_signals=False)  # SIGPIPE as Python leaves it: ignored
        os.close(writer)
        if read_first:
            with os.fdopen(reader, "rb") as pipe:
                pipe.read(read_first)
        err = tool.stderr.read()
        tool.stderr.close()
        tool.wait(timeout=60)
        return tool.returncode, err

    def test_every_command_that_writes_standard_output(self):
        with tempfile.TemporaryDirectory() as work:
            log = big_log(work, 2)
            for args, read_first in ((["decode", log], 4096), (["decode", "-f", "csv", log], 4096),
                                     (["decode", "-f", "text", log], 1), (["params", log], 4096),
                                     (["stats", SAMPLE], 0), (["stats", "--json", SAMPLE], 0),
                                     (["report", "-o", "-", SAMPLE], 0), (["--help"], 0),
                                     (["decode", "--help"], 0)):
                with self.subTest(args=args):
                    status, err = self.run_into_pipe(args, read_first)
                    self.assertEqual(status, -signal.SIGPIPE, err)
                    self.assertEqual(err, b"")

    def test_a_pipe_to_a_named_fifo_ends_the_same_way(self):
        with tempfile.TemporaryDirectory() as work:
            fifo = os.path.join(work, "out")
            os.mkfifo(fifo)
            tool = subprocess.Popen([CLI, "decode", big_log(work, 2), "-o", fifo], stderr=subprocess.PIPE)
            with open(fifo, "rb") as pipe:
                pipe.read(100)
            err = tool.stderr.read()
            tool.stderr.close()
            tool.wait(timeout=60)
            self.assertEqual((tool.returncode, err), (-signal.SIGPIPE, b""))


class Summaries(unittest.TestCase):
    """stats does not mislead, and an input without items says why."""

    def test_clock_that_goes_backwards(self):
        with tempfile.TemporaryDirectory() as work:
            log = write_log(work, CLOCK + "SEC\t10\t100\nDM\t1\t1\nSEC\t2\t400\nDM\t2\t1\n"
                                          "SEC\t5\t0\nDM\t3\t1\n")
            span = json.loads(check("stats", "--json", log))["time_span"]
            self.assertEqual((span["earliest"], span["latest"]), ("2011-10-19T12:00:02.400", "2011-10-19T12:00:10.100"))
            self.assertEqual((span["first"], span["last"]), ("2011-10-19T12:00:10.100", "2011-10-19T12:00:05.000"))
            self.assertEqual(span["backward_jumps"], 1)
            # Milliseconds, printed as such: no 7.699999809265137.
            self.assertIn(b'"seconds":7.700,', check("stats", "--json", log))
            text = check("stats", log).decode()
            self.assertIn("12:00:02.400 .. 2011-10-19T12:00:10.100 (7.700 s)", text)
            self.assertIn("the clock goes back 1 times", text)

    def test_input_without_items_says_why(self):
        random.seed(14)
        cases = {
            "cr.log": ((CLOCK + "SEC\t1\t0\nDM\t-50\t1\n").replace("\n", "\r").encode(), "lines end in CR only"),
            "utf16.log": (("DM\t-50\t1\r\n" * 50).encode("utf-16"), "are NUL"),
            "gz.log": (gzip.compress(b"DM\t-50\t1\n" * 50), "gzip compressed"),
            "noise.log": (bytes(random.randrange(1, 256) for _ in range(20000)).replace(b"\n", b"x") + b"\n" +
                          b"garbage\n", "none of its 2 lines"),
        }
        with tempfile.TemporaryDirectory() as work:
            for name, (data, reason) in cases.items():
                log = write_log(work, data, name)
                for command in ("decode", "stats"):
                    result = run(command, log)
                    self.assertEqual(result.returncode, 0, name)
                    self.assertIn(f"no report item in {log}: ", result.stderr.decode(), name)
                    self.assertIn(reason, result.stderr.decode(), name)
            self.assertEqual(run("decode", write_log(work, b"", "empty.log")).stderr, b"")

    def test_state_change_definition_is_documented(self):
        self.assertIn(b"the first value set is no change", check("stats", "--help"))


def run_while_truncated(args, log, keep):
    """Runs the tool on `log`; once it has the file open, stops it, cuts the
    file to `keep` bytes (a log rotated under the reader) and lets it go on."""
    tool = subprocess.Popen([CLI, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    fds = f"/proc/{tool.pid}/fd"
    deadline = time.monotonic() + 60
    while tool.poll() is None and time.monotonic() < deadline:
        try:
            if any(os.readlink(os.path.join(fds, fd)) == log for fd in os.listdir(fds)):
                break
        except OSError:  # a descriptor closed while it was looked at
            pass
        time.sleep(0.001)
    try:
        tool.send_signal(signal.SIGSTOP)
        os.truncate(log, keep)
    finally:
        tool.send_signal(signal.SIGCONT)
    out, err = tool.communicate(timeout=120)
    return subprocess.CompletedProcess(tool.args, tool.returncode, out, err)


class TruncatedLog(unittest.TestCase):
    """A log cut short while the tool reads it gives the lines read so far,
    or a one-line error, never a signal; and what it gives is a prefix."""

    def test_every_reading_command_survives_a_log_cut_while_it_is_read(self):
        with open(SAMPLE, "rb") as f:
            sample = f.read()
        data = sample * (24 * 2**20 // len(sample))
        full_items = json.loads(check("stats", "--json", "-", stdin=data))["items"]
        with tempfile.TemporaryDirectory() as work:
            log = os.path.join(work, "rotated.log")
            for args in (["stats", "--json", log], ["params", log, "--csv", "-o", os.path.join(work, "p.csv")],
                         ["report", log, "-o", os.path.join(work, "r.html")]):
                with self.subTest(command=args[0]):
                    with open(log, "wb") as f:
                        f.write(data)
                    result = run_while_truncated(args, log, len(data) // 3)
                    self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
                    if args[0] == "stats":
                        self.assertLessEqual(json.loads(result.stdout)["items"], full_items)
                    if args[0] == "params":
                        with open(os.path.join(work, "p.csv"), "rb") as f:
                            rows = f.read().split(b"\n")
                        self.assertLessEqual(len(rows) - 2, full_items)
                        # The rows are those of the log's first lines, in order.
                        lines = [int(row.split(b",", 1)[0]) for row in rows[1:] if row]
                        self.assertEqual(lines, sorted(lines))


class LinesAtTheLengthLimit(unittest.TestCase):
    """A file is read in blocks and its over-long lines shortened as they
    come: lines either side of the limit, and long ones across the blocks'
    ends, give the items decode gives, from a file and from a pipe."""

    def test_stats_and_params_agree_with_decode(self):
        body = []
        for width in (8185, 8186, 8187, 8188, 8189, 8190, 70000, 8191, 200000, 131072):
            # "DM\t-50\t1\t" and padding: a line of `width` bytes before its newline.
            body.append("DM\t-50\t1\t" + "x" * (width - 9))
            body.append("DM\t-51\t2")
        text = CLOCK + "\n".join(body) + "\r\n\0DM\t-52\t3"
        with tempfile.TemporaryDirectory() as work:
            log = write_log(work, text)
            items = decode_jsonl(log)
            stats = json.loads(check("stats", "--json", log))
            self.assertEqual((stats["items"], stats["lines"]), (len(items), text.count("\n") + 1))
            # Longer than 8191 bytes with the newline.
            self.assertEqual(stats["long_lines"], sum(1 for line in text.split("\n") if len(line) >= 8191))
            params = check("params", log, "--csv")
            self.assertEqual([int(row.split(",", 1)[0]) for row in params.decode().splitlines()[1:]],
                             [item["line"] for item in items])
            with open(log, "rb") as f:
                data = f.read()
            self.assertEqual(check("stats", "--json", "-", stdin=data).replace(b"standard input", log.encode()),
                             check("stats", "--json", log))
            self.assertEqual(check("params", "-", "--csv", stdin=data), params)


class BoundedMemory(unittest.TestCase):
    """Neither distinct garbage tokens nor one huge line make the tool grow."""

    def test_token_table_is_capped(self):
        with tempfile.TemporaryDirectory() as work:
            log = write_log(work, "".join(f"junk{i}\tx\n" for i in range(1500)) + "DM\t1\t1\n")
            stats = json.loads(check("stats", "--json", log))
            empty = stats["lines_without_item_by_record"]
            self.assertEqual(len(empty), 1001)
            self.assertEqual(empty["(other tokens)"], 500)
            self.assertEqual(sum(empty.values()), 1500)
            self.assertIn("(other tokens)", check("stats", log).decode())

    def test_a_huge_line_is_never_held_whole(self):
        # Peak memory of the tool while a 96 MB line goes through it, over
        # its peak on a one-line log (the libraries it loads, and a
        # sanitizer's own memory, are not the line's).
        script = (
            "import resource, subprocess, sys\n"
            "tool = subprocess.Popen([sys.argv[1], 'stats', '--json', '-'], stdin=subprocess.PIPE,"
            " stdout=subprocess.PIPE)\n"
            "block = b'LAB\\t' + b'x' * (2**20 - 4)\n"
            "for _ in range(int(sys.argv[2])): tool.stdin.write(block)\n"
            "tool.stdin.write(b'\\nDM\\t-50\\t1\\n')\n"
            "out = tool.communicate()[0]\n"
            "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss, out.decode().strip())\n")

        def peak_kb(megabytes):
            result = subprocess.run([sys.executable, "-c", script, CLI, str(megabytes)],
                                    capture_output=True, timeout=300)
            peak, stats = result.stdout.decode().split(" ", 1)
            return int(peak), json.loads(stats)

        baseline, _ = peak_kb(0)
        peak, stats = peak_kb(96)
        self.assertEqual((stats["lines"], stats["items"], stats["long_lines"]), (2, 1, 1))
        self.assertLess(peak - baseline, 32 * 1024)


class OptionSpellings(unittest.TestCase):
    """Module types and formats in any case; bad options are named."""

    def test_module_and_format_spellings(self):
        reference = check("decode", "-m", "B101", "-f", "csv", FIXTURE)
        for module in ("b101", "0xB101", "0xb101", "0XB101"):
            for fmt in ("csv", "CSV", "Csv"):
                self.assertEqual(check("decode", "-m", module, "-f", fmt, FIXTURE), reference, (module, fmt))
        self.assertIn(b"0xBD002001", check("decode", "-m", "0xbd00", FIXTURE))
        self.assertIn(b"(module B20A)", check("stats", "-m", "0xb20a", FIXTURE))

    def test_bad_options_are_refused_by_name(self):
        one_line_error(self, run("--bogus", "decode", FIXTURE), "unknown option '--bogus'")
        one_line_error(self, run("decode", FIXTURE, "-o", ""), "output file name is empty")
        one_line_error(self, run("decode", "", ), "log file name is empty")
        one_line_error(self, run("decode", FIXTURE, "-m", "0x"), "unknown module type '0x'")


class TerminalText(unittest.TestCase):
    """Nothing from a log or a path can steer the terminal."""

    def test_control_bytes_in_text_output_are_escaped(self):
        with tempfile.TemporaryDirectory() as work:
            log = write_log(work, b"DM\t-50\t1\tover\rwrite\x1b[2J\xc2\x9b\n")
            out = check("decode", "-f", "text", log)
            self.assertIn(rb"over\x0Dwrite\x1B[2J\xC2\x9B", out)
            self.assertNotRegex(out, rb"[\r\x1b]|\xc2[\x80-\x9f]")

    def test_file_names_in_messages_are_escaped(self):
        result = run("decode", "/no/such\x1b[2J\nfile.log")
        one_line_error(self, result, r"/no/such\x1B[2J\x0Afile.log")
        self.assertNotIn(b"\x1b", result.stderr)

    def run_on_terminal(self, args, stdout_on_terminal):
        """Runs the tool with standard error on a terminal; what it drew there."""
        main, side = pty.openpty()
        tool = subprocess.Popen([CLI, *args], stdout=side if stdout_on_terminal else subprocess.PIPE,
                                stderr=side, stdin=subprocess.DEVNULL)
        os.close(side)
        if not stdout_on_terminal:
            tool.stdout.read(4096)
            tool.stdout.close()  # the reader goes away: a broken pipe
        drawn = b""
        while True:
            try:
                chunk = os.read(main, 65536)
            except OSError:
                break
            if not chunk:
                break
            drawn += chunk
        tool.wait(timeout=60)
        os.close(main)
        return tool.returncode, drawn

    def test_progress_bar_is_cleared_when_the_reader_goes_away(self):
        with tempfile.TemporaryDirectory() as work:
            status, drawn = self.run_on_terminal(["decode", big_log(work)], stdout_on_terminal=False)
            self.assertEqual(status, -signal.SIGPIPE)
            self.assertIn(b"[", drawn, "a bar was drawn")
            self.assertTrue(drawn.endswith(b"\r\x1b[K"), drawn[-80:])

    def test_no_progress_bar_on_the_terminal_that_shows_the_output(self):
        with tempfile.TemporaryDirectory() as work:
            status, drawn = self.run_on_terminal(["stats", big_log(work)], stdout_on_terminal=True)
            self.assertEqual(status, 0)
            self.assertNotIn(b"%", drawn.split(b"log        ")[0])


if __name__ == "__main__":
    unittest.main(verbosity=2)
