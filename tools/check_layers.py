#!/usr/bin/env python3
"""Checks that the library's folders include only folders of lower layers.

Prints the include graph per folder (which folders each one includes, and how
often) and exits 1, naming the file and line, when a file includes a folder of
its own layer or one above it. The public headers under include/ may be
included from anywhere. Usage: check_layers.py [SOURCE_DIR]
"""
import pathlib
import re
import sys
from collections import Counter, defaultdict

# Bottom to top; folders on one line share a layer and may not include each
# other. docs/architecture.md explains what each holds.
LAYERS = [
    ("text", "l3"),        # leaf utilities
    ("params", "fields"),  # parameters and registration; message fields
    ("records",),          # record decoders
    ("decode",),           # line dispatch
    ("api", "table"),      # exports and decoder object; the table library
]
RANK = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"')


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[1])
    graph = defaultdict(Counter)
    faults = []
    for folder, rank in RANK.items():
        for path in sorted((root / folder).glob("*.[ch]*")):
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match or match.group(1) not in RANK:
                    continue
                target = match.group(1)
                if target != folder:
                    graph[folder][target] += 1
                    if RANK[target] >= rank:
                        faults.append(f"{path.relative_to(root)}:{number}: {folder}/ includes "
                                      f"{target}/, which is not below it")
    for folders in reversed(LAYERS):
        for folder in folders:
            below = ", ".join(f"{t} ({n})" for t, n in sorted(graph[folder].items())) or "-"
            print(f"{folder + '/':9} includes {below}")
    for fault in faults:
        print(fault, file=sys.stderr)
    print(f"layers: {len(faults)} upward includes", file=sys.stderr if faults else sys.stdout)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
