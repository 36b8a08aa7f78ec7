"""to_dataframe over the sample drive test: shape, counts and known values."""

import contextlib
import json

import numpy as np
import pandas as pd
import pytest

import wendrake
from wendrake import params

from wendrake.dataframe import TABLE_COLUMNS

from conftest import EXPECTED, SAMPLE


@pytest.fixture(scope="module")
def frame(library):
    return wendrake.to_dataframe(SAMPLE, library=library)


def test_one_row_per_item_with_the_expected_codes(frame):
    expected = json.loads(EXPECTED.read_text())
    assert frame.shape == (expected["items"], 4 + 54 + 4)
    assert list(frame.columns[:4]) == ["line", "record", "code", "direction"]
    counts = {"0x%08X" % code: n for code, n in frame["code"].value_counts().items()}
    assert counts == expected["items_by_code"]
    assert frame["line"].is_monotonic_increasing and frame["line"].is_unique


def test_time_index_is_the_log_clock(frame):
    assert isinstance(frame.index, pd.DatetimeIndex) and frame.index.name == "time"
    assert frame.index.is_monotonic_increasing
    assert frame.index[0] == pd.Timestamp("2011-10-19 15:42:07.137")
    assert frame.index[-1] == pd.Timestamp("2011-10-19 15:49:06.070")


def test_known_values_in_real_units(frame):
    first = frame.iloc[0]
    assert (first["record"], first["code"], first["line"]) == ("DM", 0xB1012001, 24)
    assert first["Rxagc"] == -74.23 and first["Txpower"] == -40.0 and first["Total_C/I"] == 4.56
    # A parameter the first line does not set has no value yet.
    assert np.isnan(first["Freq"]) and np.isnan(first["EvdoState"])
    # Carried values: the SC item right after still shows the DM values.
    second = frame.iloc[1]
    assert (second["record"], second["Rxagc"], second["Freq"]) == ("SC", -74.23, 283.0)
    assert frame["EV_RxRLPThroughput"].max() == 2161.0


def test_current_only_and_all_parameter_columns(library, frame, sample_items):
    own = wendrake.to_dataframe(sample_items, carried=False, all_params=True)
    assert list(own.columns[4:]) == [params.name(pid) for pid in params.VALUED_IDS]
    # Rx AGC only where a DM line set it; carried, it fills every later row.
    assert own["Rxagc"].notna().sum() == (own["record"] == "DM").sum() == 421
    assert frame["Rxagc"].notna().sum() == len(frame)
    # Items or path give the same table; only a log file gives positions and states.
    pd.testing.assert_frame_equal(wendrake.to_dataframe(sample_items), frame.drop(columns=list(TABLE_COLUMNS)))


def test_settings_list_the_cells_of_the_current_only_table(library):
    from wendrake.columns import Table

    with Table(SAMPLE, carried=False, library=library) as own, Table(SAMPLE, settings=True, library=library) as listed:
        rows, ids, values = listed.settings()
        assert not set(listed.param_columns) and np.all(np.diff(rows) >= 0)
        for name, pid in own.param_columns.items():
            cells = own.column(name)
            chosen = ids == pid
            assert np.array_equal(rows[chosen], np.flatnonzero(~np.isnan(cells))), name
            assert np.array_equal(values[chosen], cells[rows[chosen]]), name
        assert len(ids) == sum(int((~np.isnan(own.column(n))).sum()) for n in own.param_columns)
        with pytest.raises(wendrake.WendrakeError):
            own.settings()


def test_pieces_glued_together_are_the_table(library):
    from wendrake.columns import Table, read_pieces

    with Table(SAMPLE, library=library) as whole:
        glued = {name: [] for name in whole.names}
        pieces = lines = 0
        for piece in read_pieces(SAMPLE, lines=500, library=library):
            pieces, lines = pieces + 1, piece.lines
            for name in whole.names:
                # A parameter first set in a later piece has no value before.
                glued[name].append(piece.array(name) if name in piece.names else np.full(piece.rows, np.nan))
            with pytest.raises(wendrake.WendrakeError):
                piece.take_param_block()
        assert pieces == -(-whole.lines // 500) and lines == whole.lines
        with pytest.raises(wendrake.WendrakeError):
            piece.column("line")  # a piece ends with the next one
        for name in whole.names:
            np.testing.assert_array_equal(np.concatenate(glued[name]), whole.array(name), err_msg=name)


def test_frame_keeps_the_table_memory_it_uses_and_can_be_changed(library, frame):
    import gc

    own = wendrake.to_dataframe(SAMPLE, library=library)
    expected = own["Rxagc"].to_numpy().copy()
    own.iloc[0, own.columns.get_loc("Txpower")] = 99.0
    gc.collect()
    # Tables built and freed meanwhile must not reuse the frame's memory.
    for _ in range(3):
        wendrake.to_dataframe(SAMPLE, library=library)
    gc.collect()
    assert np.array_equal(own["Rxagc"].to_numpy(), expected)
    assert own["Txpower"].iloc[0] == 99.0 and frame["Txpower"].iloc[0] != 99.0


def test_frame_without_pandas_internals_is_the_same(library, frame, monkeypatch):
    import pandas.core.internals.api as internals

    def refuse(*args, **kwargs):
        raise TypeError("no such internals here")

    monkeypatch.setattr(internals, "make_block", refuse)
    pd.testing.assert_frame_equal(wendrake.to_dataframe(SAMPLE, library=library), frame)


def test_empty_source_gives_an_empty_table():
    empty = wendrake.to_dataframe([])
    assert empty.shape == (0, 4) and isinstance(empty.index, pd.DatetimeIndex)


# The rough edges of real logs, for comparing the table-built frame with the
# frame built from items: CR LF ends, an over-long line, registrations that
# change, clock gaps and clocks out of range, every record type, events with
# and without names, a last line without newline.
ROUGH_LOG = (
    "DM\t-1\n"
    "RegReport\tDM\tRxagc\tTxpower\tTotal_EcIo\r\n"
    "RegReport\tEVT\tEvent\tEventName\n"
    "RegReport\tCEVS\tSession_State\tAT_State\tALMP_State\tInit_State\tIdle_State\n"
    "DAY\t2011\t10\t19\nHOUR\t15\nMIN\t42\nSEC\t7\t137\n"
    "DM\t-85.5\t10.25\t-6\r\n"
    "LAB\t" + "x" * 9000 + "\tDM\t-50.5\n"
    "EVT\t1A\tCALL_SETUP\nEVT\t2B\t\n"
    "SEC\t75\t1500\n"
    "SC\t1\t2\nPCP\t3\nC1XQI\t4\nHOP\t5\nPSM\t6\nAP\t7\nUI\t8\nASFI\t9\nC1XSMI\t10\n"
    "CL3\tACH\t0\t0F0004100000000000000000020203\nCL3\tPCH\t1\t\n"
    "CEVS\t1\t3\t1\t0\t3\n"
    "RegReport\tDM\tTotal_EcIo\tFoo\nDM\t-7\t1\n"
    "DAY\t2011\t13\t0\nDM\t-8\n"
    "GPS\t30.2\t120.1\nVOT\t1\nENT\t2\nUNKNOWN\t3\n\n"
    "EVT\t3C\tDROP")


@pytest.mark.parametrize("carried", [True, False])
@pytest.mark.parametrize("log", ["sample", "rough", "rough crlf"])
def test_table_frame_equals_the_frame_of_items(tmp_path, library, log, carried):
    from wendrake.dataframe import _build

    if log == "sample":
        path = SAMPLE
    else:
        text = ROUGH_LOG.replace("\n", "\r\n") if log.endswith("crlf") else ROUGH_LOG
        path = tmp_path / "rough.log"
        path.write_bytes(text.encode())
    unterminated = (contextlib.nullcontext if log == "sample"
                    else lambda: pytest.warns(wendrake.WendrakeWarning, match="no newline"))
    with unterminated():
        table_frame = wendrake.to_dataframe(path, library=library, carried=carried, all_params=True)
    with unterminated():
        with wendrake.decode_file(path, library=library) as items:
            item_frame = _build(items, carried, True, np, pd)
    assert len(table_frame) > 10
    pd.testing.assert_frame_equal(table_frame.drop(columns=list(TABLE_COLUMNS)), item_frame)


@pytest.mark.parametrize("source, named", [(None, "NoneType"), (5, "int"), ([1, 2], "int"),
                                           (["drive.log"], "str")])
def test_a_source_that_is_neither_a_path_nor_items_is_named(source, named):
    from wendrake.plot import plot_kpis

    for function, call in (("to_dataframe", lambda: wendrake.to_dataframe(source)),
                           ("plot_kpis", lambda: plot_kpis(source))):
        with pytest.raises(TypeError, match=r"^%s: source must be a log path or an iterable of Items.*%s"
                           % (function, named)):
            call()


def test_notes_are_every_lab_vot_and_ent_line_of_the_log(library):
    with open(SAMPLE, "rb") as f:
        lines = f.read().split(b"\n")
    expected = [(number, line.split(b"\t")) for number, line in enumerate(lines, 1)
                if line.split(b"\t")[0] in (b"LAB", b"VOT", b"ENT")]
    assert len(expected) > 10
    notes = wendrake.notes(SAMPLE, library=library)
    assert notes.attrs["rejected"] == 0
    assert list(notes["line"]) == [number for number, _ in expected]
    kinds = {b"LAB": "label", b"VOT": "voice_quality", b"ENT": "waypoint"}
    assert list(notes["kind"]) == [kinds[fields[0]] for _, fields in expected]
    voice = notes[notes["kind"] == "voice_quality"]
    assert list(voice["value"]) == [float(fields[1]) for _, fields in expected if fields[0] == b"VOT"]
    assert set(voice["text"]) == {"EVRC"} and voice["latitude"].notna().all()
    assert voice.index.notna().all() and voice.index.is_monotonic_increasing


def test_label_column_carries_each_lab_line_to_the_items_after_it(tmp_path, library):
    log = tmp_path / "drive.log"
    log.write_text("RegReport\tDM\tRxagc\nDM\t-70\nLAB\tVoice call 1 (MO)\nDM\t-71\nVOT\t3.9\tEVRC\n"
                   "DM\t-72\nLAB\tVoice call 1 end\nDM\t-73\n")
    frame = wendrake.to_dataframe(log, library=library, labels=True)
    assert list(frame.columns[:5]) == ["line", "record", "code", "direction", "label"]
    assert list(frame["label"]) == [None, "Voice call 1 (MO)", "Voice call 1 (MO)", "Voice call 1 end"]
    assert "label" not in wendrake.to_dataframe(log, library=library).columns
    with pytest.raises(ValueError, match="labels=True needs a log path"):
        wendrake.to_dataframe([], labels=True)
    sample = wendrake.to_dataframe(SAMPLE, library=library, labels=True)
    assert {"Voice call 1 (MO)", "EV-DO download", "1x data call"} <= set(sample["label"])


def test_record_fields_are_the_values_the_items_text_shows(library, frame, sample_items, monkeypatch):
    import html
    import re

    fields = wendrake.to_dataframe(SAMPLE, library=library, record_fields=True)
    # The frame is the plain one with the record fields after it.
    pd.testing.assert_frame_equal(fields[frame.columns], frame)
    added = [name for name in fields.columns if name not in frame.columns]
    assert {"HOP.SetType", "HOP.PN", "SC.BaseID", "UI.CallState", "EVT.Payload", "C1XSMI.BestPN"} <= set(added)
    assert all("." in name for name in added)
    assert isinstance(fields["HOP.SetType"].dtype, pd.CategoricalDtype)
    assert fields["SC.BaseID"].dtype == np.float64 and fields["HOP.Ec_Io"].dtype == np.float64
    assert fields["SC.BaseID"].dropna().iat[0] == 11280.0 and fields["SC.BaseID"].nunique() > 1

    # Each field holds its element of the item's text on rows of its record.
    for row, item in enumerate(sample_items):
        elements = {tag: html.unescape(value)
                    for tag, value in re.findall(r"<([^<>/]+)>([^<]*)</\1>", item.text or "")}
        for name in added:
            record, element = name.split(".", 1)
            cell = fields[name].iat[row]
            want = elements.get(element) if item.record == record else None
            if want is None:
                assert pd.isna(cell), (row, name)
            elif fields[name].dtype == np.float64:
                assert cell == float(want), (row, name)
            else:
                assert cell == want, (row, name)

    with pytest.raises(TypeError, match="log path"):
        wendrake.to_dataframe(sample_items, record_fields=True)

    # Another pandas, through its public constructor: the same frame.
    import pandas.core.internals.api as internals

    monkeypatch.setattr(internals, "make_block", lambda *args, **kwargs: (_ for _ in ()).throw(TypeError()))
    pd.testing.assert_frame_equal(wendrake.to_dataframe(SAMPLE, library=library, record_fields=True), fields)


def test_record_fields_of_rough_lines(tmp_path, library):
    from wendrake.columns import read_pieces

    path = tmp_path / "fields.log"
    path.write_bytes(b"RegReport\tHOP\tPN\tSetType\nHOP\t168\t\xff\nHOP\t0x1A\t\xfe\nHOP\t\tActive\n")
    fields = wendrake.to_dataframe(path, library=library, record_fields=True)
    # Texts that differ only in bytes that are not UTF-8 are one category.
    assert fields["HOP.SetType"].tolist() == ["\ufffd", "\ufffd", "Active"]
    assert fields["HOP.PN"].tolist()[:2] == ["168", "0x1A"] and pd.isna(fields["HOP.PN"].iat[2])
    pieces = [(piece.record_fields, piece.rows)
              for piece in read_pieces(path, lines=1, record_fields=True, library=library)]
    assert pieces[0] == (["HOP.PN", "HOP.SetType"], 0) and sum(rows for _, rows in pieces) == 3
