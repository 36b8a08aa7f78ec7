"""One log summarised in a flat record: counts, time span and KPI figures.

Computed from the table library's columns of the log (the values each line
set), read piece by piece with numpy and without pandas, in the memory of
one piece whatever the log's size.
"""

import datetime
import os
import warnings

from . import params
from ._native import WendrakeWarning
from .columns import EvdoTally, read_pieces

# Column order of a summary; decode_many's DataFrame keeps it.
FIELDS = ("path", "lines", "items", "layer3", "events", "start", "end", "duration_s",
          "rx_agc_mean_dbm", "tx_power_max_dbm", "ecio_mean_db", "sinr_mean_db",
          "evdo_rlp_rx_peak_kbps", "rlp_rx_peak_kbps", "evdo_state_changes", "evdo_connected_s",
          "evdo_idle_s", "evdo_inactive_s")

_EPOCH = datetime.datetime(1970, 1, 1)
_NO_CLOCK = -(2 ** 63)


def _time(clock_ms):
    return _EPOCH + datetime.timedelta(milliseconds=int(clock_ms))


def summarize(path, module=0xB101, *, library=None):
    """A dict with the FIELDS of the log at `path` (None where a figure has no data).

    `lines` counts every physical line from 1, a last line without a newline
    included. The KPI figures are over the items whose line set the column.
    The EV-DO figures are the table library's (params.EVDO_STATES; the
    command line tool's `stats` and `report` show the same):
    `evdo_state_changes` counts the items whose EV-DO state differs from the
    state before them, and `evdo_connected_s`, `evdo_idle_s` and
    `evdo_inactive_s` the log clock's seconds in each state.
    """
    import numpy as np

    known = params.KNOWN_COLUMNS
    figure_ids = {field: known[token][column] for field, (token, column, _) in _FIGURES.items()}
    wanted = set(figure_ids.values())
    values = {pid: [] for pid in wanted}  # per parameter: the values set, per piece
    evdo = EvdoTally()
    counts = {"items": 0, "layer3": 0, "events": 0}
    lines, unterminated, first, last = 0, False, None, None
    # Every mask is written into one scratch array kept from piece to piece,
    # each used up before the next is made: a Dask worker gives freed memory
    # back to the system at once, so a new array per mask and piece would
    # take fresh pages every time.
    scratch = np.empty(0, dtype=bool)
    for piece in read_pieces(path, module, settings=True, library=library):
        lines, unterminated = piece.lines, piece.unterminated
        records = piece.categories("record")
        record = piece.column("record")
        _, set_ids, set_values = piece.settings()
        evdo.add(piece)
        if len(scratch) < max(piece.rows, len(set_ids)):
            scratch = np.empty(max(piece.rows, len(set_ids)), dtype=bool)
        is_row = scratch[:piece.rows]
        counts["items"] += piece.rows
        counts["layer3"] += int(np.equal(record, records.index("CL3"), out=is_row).sum())
        counts["events"] += int(np.equal(record, records.index("EVT"), out=is_row).sum())
        clock = piece.column("clock_ms")
        timed = np.not_equal(clock, _NO_CLOCK, out=is_row)
        if timed.any():
            low = int(clock.min(where=timed, initial=np.iinfo(np.int64).max))
            high = int(clock.max())  # no clock is the smallest int64
            first = low if first is None else min(first, low)
            last = high if last is None else max(last, high)
        is_setting = scratch[:len(set_ids)]
        for pid in wanted:
            values[pid].append(set_values[np.equal(set_ids, pid, out=is_setting)])  # a copy: the piece goes
    if unterminated:
        warnings.warn("%s: the last line (line %d) has no newline; handled it as a complete line"
                      % (os.fspath(path), lines), WendrakeWarning, stacklevel=2)
    values = {pid: np.concatenate(v) for pid, v in values.items()}
    start = _time(first) if first is not None else None
    end = _time(last) if last is not None else None
    row = {"path": os.fspath(path), "lines": lines, **counts, "start": start, "end": end,
           "duration_s": (end - start).total_seconds() if start is not None else None}
    for field, (_, _, figure) in _FIGURES.items():
        setting = values[figure_ids[field]]
        if len(setting) == 0:
            row[field] = None
        elif figure == "mean":
            # Added in log order, as a running total would.
            row[field] = sum(setting.tolist()) / len(setting)
        else:
            row[field] = float(setting.max())
    row["evdo_state_changes"] = evdo.changes
    for state, seconds in evdo.seconds.items():
        row["evdo_%s_s" % state] = seconds
    return {field: row[field] for field in FIELDS}


# Figures taken from logged columns: field -> (record token, column, figure).
_FIGURES = {"rx_agc_mean_dbm": ("DM", "Rxagc", "mean"), "tx_power_max_dbm": ("DM", "Txpower", "max"),
            "ecio_mean_db": ("DM", "Total_EcIo", "mean"), "sinr_mean_db": ("DM", "Total_SINR", "mean"),
            "evdo_rlp_rx_peak_kbps": ("C1XQI", "EV_RxRLPThroughput", "max"),
            "rlp_rx_peak_kbps": ("C1XQI", "Rlprx_Rate", "max")}


def summarize_or_error(path, module=0xB101, *, library=None):
    """summarize(), with an "error" field: None, or why the log could not be
    summarised (its figures then None), so one bad log of many loses no other."""
    try:
        row = summarize(path, module, library=library)
        row["error"] = None
    except Exception as e:  # noqa: BLE001 - reported in the row, never dropped
        row = dict.fromkeys(FIELDS)
        row["path"] = os.fspath(path)
        row["error"] = "%s: %s" % (type(e).__name__, e)
    return row
