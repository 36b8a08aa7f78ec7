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
from .columns import read_pieces
from .header import PARAM_EVDO_STATE

# "AT_State" value of an EV-DO connection.
AT_CONNECTED = 5

# Column order of a summary; decode_many's DataFrame keeps it.
FIELDS = ("path", "lines", "items", "layer3", "events", "start", "end", "duration_s",
          "rx_agc_mean_dbm", "tx_power_max_dbm", "ecio_mean_db", "sinr_mean_db",
          "evdo_rlp_rx_peak_kbps", "rlp_rx_peak_kbps", "evdo_state_changes", "evdo_connected_s")

_EPOCH = datetime.datetime(1970, 1, 1)
_NO_CLOCK = -(2 ** 63)


def _time(clock_ms):
    return _EPOCH + datetime.timedelta(milliseconds=int(clock_ms))


def summarize(path, module=0xB101, *, library=None):
    """A dict with the FIELDS of the log at `path` (None where a figure has no data).

    `lines` counts every physical line from 1, a last line without a newline
    included. The KPI figures are over the items whose line set the column.
    `evdo_state_changes` counts EV-DO state changes: an EV-DO state change is
    an item whose current parameter list sets the EV-DO state word
    (header.PARAM_EVDO_STATE, 0x7F01C103) to a value different from the last
    value set before it; the first value set is not a change. The command
    line tool's `stats` counts the same. `evdo_connected_s` adds up the log
    clock's time while the "AT_State" column reports a connection (5).
    """
    import numpy as np

    known = params.KNOWN_COLUMNS
    figure_ids = {field: known[token][column] for field, (token, column, _) in _FIGURES.items()}
    at_state = known["CEVS"]["AT_State"]
    wanted = set(figure_ids.values()) | {PARAM_EVDO_STATE}
    values = {pid: [] for pid in wanted}  # per parameter: the values set, per piece
    at_states, at_clocks = [], []  # "AT_State" settings on items with a clock, and that clock
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
        set_rows, set_ids, set_values = piece.settings()
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
        at_rows = set_rows[np.equal(set_ids, at_state, out=is_setting)]
        at_values = set_values[is_setting]
        reported = clock[at_rows] != _NO_CLOCK
        at_states.append(at_values[reported])
        at_clocks.append(clock[at_rows[reported]])
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
    states = values[PARAM_EVDO_STATE]
    row["evdo_state_changes"] = int((states[1:] != states[:-1]).sum())
    row["evdo_connected_s"] = _connected_seconds(
        np.concatenate(at_states).astype(np.int64) & 0xFF, np.concatenate(at_clocks), end)
    return {field: row[field] for field in FIELDS}


# Figures taken from logged columns: field -> (record token, column, figure).
_FIGURES = {"rx_agc_mean_dbm": ("DM", "Rxagc", "mean"), "tx_power_max_dbm": ("DM", "Txpower", "max"),
            "ecio_mean_db": ("DM", "Total_EcIo", "mean"), "sinr_mean_db": ("DM", "Total_SINR", "mean"),
            "evdo_rlp_rx_peak_kbps": ("C1XQI", "EV_RxRLPThroughput", "max"),
            "rlp_rx_peak_kbps": ("C1XQI", "Rlprx_Rate", "max")}


def _connected_seconds(states, clock_ms, end):
    """Seconds of the log clock between each report of a connection and the
    next report of another state (or the log's last clock)."""
    connected = 0.0
    state = since = None
    for value, when in zip(states.tolist(), clock_ms.tolist()):
        if value != state:
            if state == AT_CONNECTED:
                connected += (when - since) / 1000
            state, since = value, when
    if state == AT_CONNECTED and end is not None:
        connected += (end - _time(since)).total_seconds()
    return connected


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
