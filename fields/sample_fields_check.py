#!/usr/bin/env python3
"""Checks that every signalling message of a drive-test log decodes whole.

Each "CL3" line's message goes through the field decoder; a message that ends
with a truncation marker fails the check, unless the line itself is damaged:
an odd number of hex digits, or a length word that disagrees with the bytes
logged (the sample log carries a few such lines on purpose).

Usage: sample_fields_check.py FIELDS_DUMP LOG
Exit status: 0 every intact message complete, 1 otherwise.
"""
import json
import re
import subprocess
import sys
from pathlib import Path


def intact_messages(log):
    """(line number, logged bytes) of the CL3 lines whose bytes match their length word."""
    messages, damaged = [], 0
    for number, line in enumerate(Path(log).read_text(errors="replace").splitlines(), 1):
        fields = line.split("\t")
        if len(fields) < 4 or fields[0] != "CL3" or not fields[3]:
            continue
        digits = fields[3]
        if not re.fullmatch(r"(?:[0-9A-Fa-f]{2})+", digits):
            damaged += 1
            continue
        data = bytes.fromhex(digits)
        if len(data) < 2 or data[0] | data[1] << 8 != len(data):
            damaged += 1
            continue
        messages.append((number, data))
    return messages, damaged


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    dump, log = sys.argv[1], sys.argv[2]
    messages, damaged = intact_messages(log)
    lines = "".join(f"- {data.hex()}\n" for _, data in messages)
    out = subprocess.run([dump], input=lines, capture_output=True, text=True, check=True).stdout
    decoded = [json.loads(line) for line in out.splitlines()]
    if len(decoded) != len(messages):
        print(f"decoded {len(decoded)} messages of {len(messages)}", file=sys.stderr)
        return 1
    failures = 0
    for (number, _), message in zip(messages, decoded):
        marker = message["fields"].get("<truncated>")
        if message["status"] == "truncated" or marker is not None:
            failures += 1
            reason = marker["reason"] if marker else "truncated"
            print(f"line {number}: {message['channel']}: {message['message'] or '(unnamed)'}: "
                  f"{reason}", file=sys.stderr)
    complete = sum(1 for m in decoded if m["status"] == "complete")
    print(f"{len(decoded)} intact messages ({complete} decoded whole, "
          f"{len(decoded) - complete - failures} without a layout), {damaged} damaged lines "
          f"left out, {failures} truncated")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
