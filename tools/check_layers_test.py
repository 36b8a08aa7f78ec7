#!/usr/bin/env python3
"""The layer check fails on each kind of forbidden include, planted in a
small tree made for the test, and passes on the same tree without it."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

CHECK = pathlib.Path(__file__).with_name("check_layers.py")

CLEAN = {
    "params/param_table.h": '#include "text/fields.h"\n',
    "text/fields.h": "",
    "tools/cli/main.cpp": '#include "commands/stats.h"\n#include "wendrake/table.h"\n',
    "tools/cli/commands/stats.h": '#include "format/item_model.h"\n',
    "tools/cli/format/item_model.h": '#include "io/log_reader.h"\n#include "wendrake/wendrake.h"\n',
    "tools/cli/io/log_reader.h": "",
    "examples/host.c": '#include "wendrake/wendrake.h"\n',
    "tests/api_test.cpp": '#include "api/decoder_object.h"\n',
}

PLANTED = {
    "an internal header in the tool": ("tools/cli/io/log_reader.h", '#include "params/param_table.h"\n'),
    "an internal header in an example": ("examples/host.c", "#include <records/cl3_record.h>\n"),
    "a path out of the host": ("bench/run.cpp", '#include "../params/param_table.h"\n'),
    "a room including one above it": ("tools/cli/io/log_reader.h", '#include "format/item_model.h"\n'),
    "a library folder including upward": ("text/fields.h", '#include "params/param_table.h"\n'),
}


def run_check(files):
    with tempfile.TemporaryDirectory() as root:
        for name, text in files.items():
            path = pathlib.Path(root, name)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
        return subprocess.run([sys.executable, str(CHECK), root], capture_output=True, text=True)


class CheckLayersTest(unittest.TestCase):
    def test_clean_tree_passes(self):
        result = run_check(CLEAN)
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_each_planted_include_fails(self):
        for what, (name, text) in PLANTED.items():
            with self.subTest(what):
                files = dict(CLEAN)
                files[name] = files.get(name, "") + text
                result = run_check(files)
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(name, result.stderr)


if __name__ == "__main__":
    unittest.main()
