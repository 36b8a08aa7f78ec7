"""The fields of the sample's signalling messages and the cells it heard, as
frames: rows that line up with to_dataframe, JSON that matches the long form,
cells that do not depend on how the log is cut into pieces."""

import json

import pytest

import wendrake

from conftest import SAMPLE


@pytest.fixture(scope="module")
def frames(library):
    return (wendrake.messages(SAMPLE, library=library),
            wendrake.messages(SAMPLE, per_message=True, library=library),
            wendrake.to_dataframe(SAMPLE, library=library, carried=False))


def test_each_layer3_item_has_one_message_on_its_row(frames):
    fields, per, items = frames
    layer3 = items.reset_index()
    assert list(per["row"]) == list(layer3.index[layer3["record"] == "CL3"])
    assert list(per["line"]) == list(layer3.loc[per["row"], "line"])
    # Only a message with no bytes to decode (an empty "CL3" line) has no fields.
    without = set(per["row"]) - set(fields["row"])
    assert set(per.loc[per["row"].isin(without), "status"]) <= {"not a message"}
    assert set(fields["row"]) <= set(per["row"])
    assert fields["row"].is_monotonic_increasing
    # The fields of a row carry its line and its message's name.
    joined = fields.merge(per[["row", "line", "message"]], on="row", suffixes=("", "_of_row"))
    assert (joined["line"] == joined["line_of_row"]).all()
    assert (joined["message"].fillna("") == joined["message_of_row"].fillna("")).all()


def test_long_form_and_json_say_the_same(frames):
    fields, per, _ = frames
    for row, text in zip(per["row"][:60], per["json"][:60]):
        obj = json.loads(text)
        mine = fields[fields["row"] == row]
        top = mine[~mine["path"].str.contains(r"[\[]")]
        assert list(top["path"]) == list(obj), row
        for path, kind, value, raw in zip(top["path"], top["kind"], top["value"], top["raw"]):
            entry = obj[path]
            if kind == "integer" and not isinstance(entry, dict):
                assert value == raw == entry
            elif kind == "real":
                assert (entry["raw"], entry["value"]) == (raw, pytest.approx(value, rel=1e-9))
            elif kind == "records":
                assert value == len(entry)


def test_units_and_kinds(frames):
    fields, _, _ = frames
    assert set(fields["kind"]) <= {"integer", "real", "octets", "records", "truncated"}
    assert fields.loc[fields["kind"] != "real", "unit"].isna().all()
    t_add = fields[fields["field"] == "T_ADD"]
    assert len(t_add) and set(t_add["unit"]) == {"dB"} and (t_add["value"] <= 0).all()
    neighbours = fields[fields["path"].str.match(r"NEIGHBORS\[\d+\]\.NGHBR_PN")]
    assert len(neighbours) and neighbours["value"].between(0, 511).all()
    # A registration the sample logs cut short ends in the marker with its reason.
    marker = fields[fields["kind"] == "truncated"]
    assert marker["text"].str.contains("needs").all()


def test_cells_of_the_sample_whatever_the_pieces(library):
    whole = wendrake.cells(SAMPLE, library=library)
    assert len(whole) > 0 and set(whole["technology"]) <= {"1x", "evdo"}
    one_x = whole[whole["technology"] == "1x"]
    assert (one_x["sid"] >= 0).all() and (one_x["base_id"] >= 0).all()
    assert (whole["first_heard"] <= whole["last_heard"]).all()
    assert all(isinstance(n, list) for n in whole["neighbours"])
    # Pieces of a few lines split the overhead messages apart.
    cut = wendrake.cells(SAMPLE, library=library, lines=7)
    assert cut.drop(columns=["neighbours"]).equals(whole.drop(columns=["neighbours"]))
    assert list(cut["neighbours"]) == list(whole["neighbours"])


def test_errors_are_raised_as_elsewhere(library, tmp_path):
    for function in (wendrake.messages, wendrake.cells):
        with pytest.raises(TypeError, match="log path"):
            function(42, library=library)
        with pytest.raises(FileNotFoundError):
            function(tmp_path / "missing.log", library=library)
        with pytest.raises(IsADirectoryError):
            function(tmp_path, library=library)
    empty = tmp_path / "empty.log"
    empty.write_bytes(b"")
    assert len(wendrake.messages(empty, library=library)) == 0
    assert list(wendrake.cells(empty, library=library).columns)[:2] == ["technology", "pilot_pn"]
