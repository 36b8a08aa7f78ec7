"""The per-log summary from the table library's columns equals the same
figures computed item by item."""

import contextlib
import os

import pytest

import wendrake
from wendrake import params
from wendrake.header import PARAM_EVDO_STATE
from wendrake.summary import _FIGURES, FIELDS, summarize

from conftest import SAMPLE, SAMPLE_ITEMS
from test_dataframe import ROUGH_LOG


def reference_summary(path, library):
    """The summary computed plainly, one item at a time."""
    known = params.KNOWN_COLUMNS
    ids = {known[record][column]: field for field, (record, column, _) in _FIGURES.items()}
    seen = {field: [] for field in _FIGURES}
    count = layer3 = events = changes = 0
    start = end = evdo_state = clocked_state = clocked_at = None
    seconds = dict.fromkeys(params.EVDO_STATES, 0.0)
    with wendrake.decode_file(path, library=library) as items:
        for item in items:
            count += 1
            layer3 += item.is_layer3
            events += item.is_event
            when = item.time
            if when is not None:
                start = when if start is None or when < start else start
                end = when if end is None or when > end else end
            for p in item.current:
                if p.id in ids:
                    seen[ids[p.id]].append(p.real)
                elif p.id == PARAM_EVDO_STATE:
                    changes += evdo_state is not None and p.stored != evdo_state
                    evdo_state = p.stored
            # The time to the next item with a clock counts to this one's state.
            if when is not None:
                if clocked_state is not None and when > clocked_at:
                    seconds[params.EVDO_STATES[clocked_state]] += (when - clocked_at).total_seconds()
                clocked_at, clocked_state = when, evdo_state
        lines = items.decoder.lines
    row = {"path": os.fspath(path), "lines": lines, "items": count, "layer3": layer3,
           "events": events, "start": start, "end": end,
           "duration_s": (end - start).total_seconds() if start is not None else None,
           "evdo_state_changes": changes,
           **{"evdo_%s_s" % state: value for state, value in seconds.items()}}
    for field, (_, _, figure) in _FIGURES.items():
        values = seen[field]
        row[field] = None if not values else (sum(values) / len(values) if figure == "mean" else max(values))
    return {field: row[field] for field in FIELDS}


@pytest.mark.parametrize("log", ["sample", "rough"])
def test_summary_equals_the_item_by_item_figures(tmp_path, library, log):
    path = SAMPLE
    if log == "rough":
        path = tmp_path / "rough.log"
        path.write_bytes(ROUGH_LOG.encode())
    with (contextlib.nullcontext() if log == "sample" else pytest.warns(wendrake.WendrakeWarning)):
        got = summarize(path, library=library)
    with (contextlib.nullcontext() if log == "sample" else pytest.warns(wendrake.WendrakeWarning)):
        expected = reference_summary(path, library)
    assert got == expected
    if log == "sample":
        assert got["items"] == SAMPLE_ITEMS and got["evdo_state_changes"] > 0 and got["evdo_connected_s"] > 0
