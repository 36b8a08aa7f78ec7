#!/usr/bin/env python3
"""The C example on the table library agrees with the command line tool's
summary of the same log, and fails loudly on a log it cannot read.
Usage: table_summary_test.py TABLE_SUMMARY WENDRAKE_CLI LOG"""
import json
import subprocess
import sys

example, cli, log = sys.argv[1:4]
out = subprocess.run([example, log, "Rxagc", "3"], capture_output=True, check=True, text=True).stdout.splitlines()
stats = json.loads(subprocess.run([cli, "stats", "--json", log], capture_output=True, check=True).stdout)
fields = {line.split()[0]: line.split()[1:] for line in out}

assert out[0].startswith("library "), out
assert [line.split()[:2] for line in out[1:4]] == [["row", "0"], ["row", "1"], ["row", "2"]], out
assert out[4].startswith("rows "), out  # no fourth row
assert fields["rows"] == [str(stats["items"]), "lines", str(stats["lines"])], out
rxagc = next(p for p in stats["params"] if p["name"] == "Rxagc")
count, mean = int(fields["Rxagc"][1]), float(fields["Rxagc"][3])
assert count == rxagc["count"] and abs(mean - rxagc["mean"]) < 1e-6, (out, rxagc)
assert fields["fixes"][1:] == ["accepted", fields["fixes"][2], "rejected"] and int(fields["fixes"][0]) > 0, out

missing = subprocess.run([example, log + ".missing"], capture_output=True, text=True)
assert missing.returncode == 1 and missing.stderr.count("\n") == 1, missing
assert "No such file or directory" in missing.stderr, missing.stderr
print("table_summary: ok")
