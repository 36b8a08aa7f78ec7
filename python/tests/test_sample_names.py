"""The bundled sample's signalling carries the message names its generator meant."""

import sys

from conftest import SAMPLE, SOURCE
from wendrake.columns import Table

sys.path.insert(0, str(SOURCE / "examples"))
import make_sample_log  # noqa: E402


def test_each_signalling_item_shows_the_name_the_generator_declared(library):
    data, declared = make_sample_log.cl3_message_names()
    assert data == SAMPLE.read_bytes(), \
        "examples/sample_drive.log differs from what examples/make_sample_log.py writes"
    with Table(SAMPLE, library=library) as table:
        rows = zip(table.array("line"), table.array("record"), table.array("message"))
        shown = {int(line): message for line, record, message in rows if record == "CL3"}
    wrong = [(line, shown.get(line, "no item"), name) for line, name in declared
             if shown.get(line, "no item") != name]
    assert not wrong, "line, name shown, name meant: %s" % wrong[:10]
    assert len(shown) == len(declared)
