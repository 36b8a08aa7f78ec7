#!/usr/bin/env python3
"""Checks that every folder includes only what its place in the house allows.

- The library's folders include only folders of lower layers.
- Hosts (the tools, examples, benchmarks) include only the public headers
  under include/wendrake/ and their own files: never a library folder, never a
  path that climbs out of the host's own folder.
- The command line tool's rooms include only rooms below them.
- fuzz/ and tests/ are named here as allowed to include the library's
  internals: their targets link the static core on purpose.

Prints the include graph (which folders each one includes, and how often) and
exits 1, naming the file and line, for each include that breaks a rule.
Usage: check_layers.py [SOURCE_DIR]
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

# Hosts of the public headers; each may include its own files only.
HOSTS = ("tools", "examples", "bench")
# Folders whose tests and fuzz targets reach the internals on purpose.
TRUSTED = ("fuzz", "tests")

# The tool's rooms, bottom to top; main.cpp at the top includes any of them.
CLI = pathlib.PurePosixPath("tools/cli")
ROOMS = [("io",), ("format",), ("view",), ("report", "map"), ("commands",)]
ROOM_RANK = {room: rank for rank, rooms in enumerate(ROOMS) for room in rooms}

INCLUDE = re.compile(r'^\s*#\s*include\s+["<]([^">]+)[">]')
SOURCES = ("*.c", "*.cc", "*.cpp", "*.h", "*.hpp")


def sources(folder):
    for pattern in SOURCES:
        yield from folder.rglob(pattern)


def includes(path):
    for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
        match = INCLUDE.match(line)
        if match:
            yield number, match.group(1)


def check_library(root, graph, faults):
    for folder, rank in RANK.items():
        for path in sorted((root / folder).rglob("*.[ch]*")):
            for number, name in includes(path):
                target = name.split("/")[0]
                if "/" not in name or target not in RANK or target == folder:
                    continue
                graph[folder + "/"][target + "/"] += 1
                if RANK[target] >= rank:
                    faults.append(f"{path.relative_to(root)}:{number}: {folder}/ includes "
                                  f"{target}/, which is not below it")


def check_host(root, host, graph, faults):
    top = (root / host).resolve()
    for path in sorted(sources(root / host)):
        relative = path.relative_to(root)
        for number, name in includes(path):
            first = name.split("/")[0]
            if first in RANK or first in TRUSTED:
                faults.append(f"{relative}:{number}: the host {host}/ includes {name}; "
                              f"hosts include only include/wendrake/")
            elif name.startswith(".."):
                if top not in (path.parent / name).resolve().parents:
                    faults.append(f"{relative}:{number}: {name} reaches outside {host}/")
            elif first == "wendrake":
                graph[host + "/"]["include/wendrake/"] += 1


def room_of(relative):
    parts = relative.relative_to(CLI).parts
    return parts[0] if len(parts) > 1 else None  # None: main.cpp at the top


def check_rooms(root, graph, faults):
    for path in sorted(sources(root / CLI)):
        relative = pathlib.PurePosixPath(path.relative_to(root).as_posix())
        room = room_of(relative)
        if room is not None and room not in ROOM_RANK:
            continue  # tests/ and other helper folders
        for number, name in includes(path):
            target = name.split("/")[0]
            if "/" not in name or target not in ROOM_RANK or target == room:
                continue
            graph[f"{CLI}/{room or 'main.cpp'}"][target + "/"] += 1
            if room is not None and ROOM_RANK[target] >= ROOM_RANK[room]:
                faults.append(f"{relative}:{number}: the room {room}/ includes {target}/, "
                              f"which is not below it")


def check_trusted(root, graph):
    for folder in TRUSTED:
        for path in sources(root / folder):
            for _, name in includes(path):
                target = name.split("/")[0]
                if "/" in name and target in RANK:
                    graph[folder + "/ (allowed)"][target + "/"] += 1


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[1])
    graph = defaultdict(Counter)
    faults = []
    check_library(root, graph, faults)
    for host in HOSTS:
        check_host(root, host, graph, faults)
    check_rooms(root, graph, faults)
    check_trusted(root, graph)
    width = max(len(folder) for folder in graph) + 1
    for folder in sorted(graph):
        edges = ", ".join(f"{t} ({n})" for t, n in sorted(graph[folder].items()))
        print(f"{folder:{width}} includes {edges}")
    for fault in faults:
        print(fault, file=sys.stderr)
    print(f"layers: {len(faults)} forbidden includes", file=sys.stderr if faults else sys.stdout)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
