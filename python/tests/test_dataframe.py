"""to_dataframe over the sample drive test: shape, counts and known values."""

import json

import numpy as np
import pandas as pd
import pytest

import wendrake
from wendrake import params

from conftest import EXPECTED, SAMPLE


@pytest.fixture(scope="module")
def frame(library):
    return wendrake.to_dataframe(SAMPLE, library=library)


def test_one_row_per_item_with_the_expected_codes(frame):
    expected = json.loads(EXPECTED.read_text())
    assert frame.shape == (expected["items"], 4 + 54)
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
    # Items or path give the same table.
    pd.testing.assert_frame_equal(wendrake.to_dataframe(sample_items), frame)


def test_empty_source_gives_an_empty_table():
    empty = wendrake.to_dataframe([])
    assert empty.shape == (0, 4) and isinstance(empty.index, pd.DatetimeIndex)
