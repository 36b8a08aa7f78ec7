#!/usr/bin/env python3
"""Keeps the command output shown in the documentation equal to what the
commands print.

Each excerpt is a fenced block between two marker comments in a Markdown
file; the script runs the excerpt's command on the bundled sample log from the
repository root and writes its output, cut as the excerpt says, between the
markers. With --check it changes nothing and fails when a block differs from
the live output (the `doc_excerpts` test runs it so).

    python3 docs/update_excerpts.py [--cli build/default/tools/cli/wendrake] [--check]
"""

import argparse
import difflib
import os
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
DEFAULT_CLI = ROOT / "build" / "default" / "tools" / "cli" / "wendrake"

# Lines kept of each blank-line separated section of the output; a cut
# section ends with a line of dots.
SECTION_LINES = 5


def first_lines_of_sections(text):
    """The first SECTION_LINES lines of every section of `text`."""
    kept = []
    for section in text.rstrip("\n").split("\n\n"):
        lines = section.split("\n")
        kept.append("\n".join(lines[:SECTION_LINES] + (["  ..."] if len(lines) > SECTION_LINES else [])))
    return "\n\n".join(kept) + "\n"


# name, file holding it, the tool's arguments, how its output is cut.
EXCERPTS = [
    ("stats", "README.md", ["stats", "examples/sample_drive.log"], first_lines_of_sections),
]


class ExcerptError(Exception):
    pass


def run_tool(cli, args):
    """The tool's standard output; fails on a non-zero exit."""
    try:
        done = subprocess.run([str(cli)] + args, cwd=ROOT, capture_output=True, timeout=120)
    except OSError as error:
        raise ExcerptError(f"cannot run {cli}: {error.strerror} (build it: "
                           "cmake --build build/default --target wendrake_cli)")
    if done.returncode != 0:
        message = done.stderr.decode(errors="replace").strip()
        raise ExcerptError(f"`wendrake {' '.join(args)}` failed with status {done.returncode}: {message}")
    return done.stdout.decode()


def block_span(text, name, path):
    """Start and end offsets of the text between the excerpt's two markers."""
    begin = f"<!-- {name} excerpt begin -->\n"
    end = f"<!-- {name} excerpt end -->"
    if text.count(begin) != 1 or text.count(end) != 1:
        raise ExcerptError(f"{path}: needs exactly one '{begin.strip()}' and one '{end}'")
    start = text.index(begin) + len(begin)
    stop = text.index(end)
    if stop < start:
        raise ExcerptError(f"{path}: '{end}' comes before its begin marker")
    return start, stop


def write_atomically(path, text):
    """Replaces `path` only once the new text is wholly written."""
    handle, temporary = tempfile.mkstemp(dir=path.parent, prefix=f".{path.name}.")
    try:
        with os.fdopen(handle, "w", encoding="utf-8", newline="") as out:
            out.write(text)
        os.chmod(temporary, path.stat().st_mode & 0o777)
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cli", type=Path, default=DEFAULT_CLI, help="the wendrake tool to run")
    parser.add_argument("--check", action="store_true",
                        help="change nothing; fail when an excerpt differs from the live output")
    options = parser.parse_args(argv)

    stale = []
    try:
        for name, file, args, cut in EXCERPTS:
            path = ROOT / file
            text = path.read_text(encoding="utf-8")
            start, stop = block_span(text, name, file)
            block = "```\n" + cut(run_tool(options.cli, args)) + "```\n"
            if text[start:stop] == block:
                continue
            stale.append(f"{file} ({name})")
            if options.check:
                sys.stderr.writelines(difflib.unified_diff(
                    text[start:stop].splitlines(True), block.splitlines(True),
                    f"{file} ({name})", f"wendrake {' '.join(args)}"))
            else:
                write_atomically(path, text[:start] + block + text[stop:])
    except (ExcerptError, OSError) as error:
        print(f"update_excerpts: {error}", file=sys.stderr)
        return 2

    if options.check and stale:
        print(f"update_excerpts: {', '.join(stale)} differs from the command's output; "
              "run `python3 docs/update_excerpts.py` and commit the result", file=sys.stderr)
        return 1
    for entry in stale:
        print(f"updated {entry}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
