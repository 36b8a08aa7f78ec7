"""The fields of a drive's signalling messages and the cells it heard, as
pandas frames (pandas is imported on first use)."""

import os

from .columns import Cells, Table, read_pieces
from .dataframe import is_path


def _times(clock_ms):
    """The log's clock (int64 ms, INT64_MIN for none) as datetime64, NaT for none."""
    return clock_ms.view("datetime64[ms]").astype("datetime64[ns]")


def _log_path(source, function):
    if not is_path(source):
        raise TypeError("%s: source must be a log path, not %s" % (function, type(source).__name__))
    return os.fsdecode(source)


def messages(source, module=0xB101, *, per_message=False, library=None):
    """The fields of every "CL3" item's signalling message, in long form: one
    row per field, in log order and, within a message, in the standard's
    order. Columns: row (the item's row in to_dataframe), line, time (the
    log's clock, NaT before the first), message (its name), path ("SID",
    "NEIGHBORS[2].NGHBR_PN"), field (the field's name), kind ("integer",
    "real", "octets", "records", "truncated"), value (the real value of a
    real field in `unit`, the raw integer otherwise, the occurrences of a
    repeated record, the bit where a message cut short stopped; NaN for
    octets), raw (the bits as read), text (an enumeration's name, a date, the
    octets in hex, or why a message stopped; None if none) and unit.

    With `per_message`, one row per message instead: row, line, time,
    message, status ("complete", "truncated", "no layout", "not a message")
    and json (its fields as one JSON object).

    T_ADD of every System Parameters Message:
        m = messages(path); m[m.field == "T_ADD"][["time", "value"]]
    """
    import pandas as pd

    path = _log_path(source, "messages")
    with Table(path, module, settings=True, messages=True, library=library) as table:
        per, fields = table.messages()
        lines = table.array("line")
        clock = table.array("clock_ms")
    if per_message:
        rows = per["row"]
        return pd.DataFrame({"row": rows, "line": lines[rows], "time": _times(clock[rows]),
                             "message": per["message"], "status": per["status"], "json": per["json"]})
    rows = fields["row"]
    names = dict(zip(per["row"], per["message"]))
    frame = pd.DataFrame({"row": rows, "line": lines[rows], "time": _times(clock[rows]),
                          "message": [names[r] for r in rows]})
    for column in ("path", "field", "kind", "value", "raw", "text", "unit"):
        frame[column] = fields[column]
    return frame


def cells(source, module=0xB101, *, library=None, lines=65536):
    """The cells a drive heard, from its overhead messages, read piece by
    piece: one row per 1x base station (each SID, NID, BASE_ID and PILOT_PN
    of a System Parameters Message) and per EV-DO sector (each SectorID and PN
    of a SectorParameters message), in the order first heard. Columns:
    technology ("1x", "evdo"), pilot_pn, sid, nid, base_id (-1 for a sector),
    color_code (a sector's, from QuickConfig; -1 if none), sector_id (hex;
    None for 1x), latitude, longitude (the advertised position in degrees,
    NaN if none), first_heard, last_heard (the log's clock), heard (messages
    that described it) and neighbours (a list of PNs)."""
    import pandas as pd
    import numpy as np

    path = _log_path(source, "cells")
    collected = Cells(library)
    for piece in read_pieces(path, module, settings=True, messages=True, lines=lines, library=library):
        collected.add(piece)
    listed = collected.cells()
    columns = ("technology", "pilot_pn", "sid", "nid", "base_id", "color_code", "sector_id", "latitude",
               "longitude", "first_heard", "last_heard", "heard", "neighbours")
    if not listed:
        return pd.DataFrame({name: [] for name in columns})
    frame = pd.DataFrame(listed)
    for name, source_column in (("first_heard", "first_clock_ms"), ("last_heard", "last_clock_ms")):
        frame[name] = _times(np.array(frame.pop(source_column), dtype="int64"))
    return frame[list(columns)]
