"""Report items as a pandas DataFrame (pandas is imported on first use)."""

import os
import warnings

from . import params
from ._empty import why_no_items
from ._native import WendrakeWarning
from .columns import Table

ITEM_COLUMNS = ("line", "record", "code", "direction")
# The table's columns a frame of a log file has after the parameters: the
# position of the last GPS fix and its age, and the EV-DO state.
TABLE_COLUMNS = ("latitude", "longitude", "fix_age", "evdo_state")


def to_dataframe(source, module=0xB101, *, library=None, carried=True, all_params=False, labels=False,
                 record_fields=False):
    """One row per report item, indexed by the log's clock ("time", NaT before
    the log's first date).

    `source` is a log path or an iterable of Items. Columns: line, record,
    code, direction, then one column per parameter in real units (stored value
    divided by its scale), named after the log column that feeds it, in the
    decoder's slot order. With `carried` (the default) a row shows every value
    the parameter holds at that item, as the decoder reports it; without, only
    the values the item's own line set, NaN elsewhere. `all_params` adds a
    column for every parameter the decoder can set, even if the log never
    sets it, so tables of different logs line up. `labels` (log paths only)
    adds a "label" column after "direction": the text of the drive script's
    last "LAB" line at or before the item ("Voice call 1 (MO)"), None before
    the first; notes() gives every such line.

    A frame of a log file then has the position of the last GPS fix at or
    before the item ("latitude", "longitude" in decimal degrees, "fix_age" in
    seconds; NaN before the first fix) and "evdo_state", the EV-DO state
    ("inactive", "idle", "connected"; params.EVDO_STATES), which items alone
    do not carry. frame.attrs["units"] maps each column that has a unit to
    it ("Rxagc": "dBm").

    `record_fields` (a log path only) adds, after the parameters, a column per
    record field: each registered column of a record that feeds no
    parameter, named "RECORD.Column" ("HOP.SetType", "SC.BaseID",
    "EVT.Payload"), with a value only on rows of that record; float64 where
    every value is a number, else categorical.
    """
    import numpy as np
    import pandas as pd

    if is_path(source):
        return _from_table(os.fsdecode(source), module, library, carried, all_params, np, pd,
                           extra=TABLE_COLUMNS, record_fields=record_fields, labels=labels)
    if labels:
        raise ValueError("to_dataframe: labels=True needs a log path: items do not carry the log's LAB lines")
    if record_fields:
        raise TypeError("record_fields needs a log path: items keep their fields only in their text")
    return _with_units(_build(items_of(source, "to_dataframe"), carried, all_params, np, pd))


def is_path(source):
    return isinstance(source, (str, bytes, os.PathLike))


def items_of(source, function):
    """An iterator over the Items `source` holds; a TypeError that names the
    argument when it is not an iterable of Items (None, a number, a list of
    strings)."""
    try:
        items = iter(source)
    except TypeError:
        raise TypeError("%s: source must be a log path or an iterable of Items, not %s"
                        % (function, type(source).__name__)) from None
    for item in items:
        if not hasattr(item, "inherited"):
            raise TypeError("%s: source must be a log path or an iterable of Items; it holds a %s"
                            % (function, type(item).__name__))
        yield item


def _with_units(frame):
    """The frame, with attrs["units"] naming each column's unit."""
    units = {params.name(pid): text for pid, text in params.UNITS.items()}
    units.update(params.POSITION_UNITS)
    frame.attrs["units"] = {column: units[column] for column in frame.columns if column in units}
    return frame


def _from_table(path, module, library, carried, all_params, np, pd, extra=(), record_fields=False, labels=False):
    """The frame of a log file from the table library's columns, no Python
    object per item: the fixed columns are copied, the parameter columns
    become the frame's own without a copy (the frame keeps the table's
    memory). `extra` names more of the table's columns to add after the
    parameters, then come the record fields when asked for."""
    with Table(path, module, carried=carried, record_fields=record_fields, library=library) as table:
        if table.unterminated:
            warnings.warn("%s: the last line (line %d) has no newline; handled it as a complete line"
                          % (path, table.lines), WendrakeWarning, stacklevel=3)
        rows = table.rows
        if rows == 0:
            why = why_no_items(path, table.lines)
            if why:
                warnings.warn("no report item in %s: %s" % (path, why), WendrakeWarning, stacklevel=3)
        fixed = {
            "line": table.array("line"),
            "record": table.array("record"),
            "code": table.column("code").astype(np.int64),
            "direction": table.array("direction"),
        }
        if labels:
            fixed["label"] = table.array("label")
        extras = {name: table.array(name) for name in extra}
        extras.update((name, table.field(name)) for name in table.record_fields)
        clock = table.column("clock_ms").view("datetime64[ms]").astype("datetime64[ns]")
        index = pd.DatetimeIndex(clock, name="time")
        block, block_ids = table.take_param_block()
    ids = set(block_ids) | set(params.VALUED_IDS if all_params else ())
    order = sorted(ids, key=_slot_order)
    names = list(fixed) + [params.name(pid) for pid in order] + list(extras)
    in_block = set(block_ids)
    missing = [pid for pid in order if pid not in in_block]
    blocks = [(values, [position]) for position, values in enumerate(fixed.values())]
    position = {pid: len(fixed) + k for k, pid in enumerate(order)}
    blocks.append((block, [position[pid] for pid in block_ids]))
    if missing:
        blocks.append((np.full((len(missing), rows), np.nan), [position[pid] for pid in missing]))
    first_extra = len(fixed) + len(order)
    blocks += [(values, [first_extra + k]) for k, values in enumerate(extras.values())]
    return _with_units(_assemble(blocks, names, index, np, pd))


def _assemble(blocks, names, index, np, pd):
    """A frame of (values, frame positions) pairs, each values a column or a
    matrix of columns, kept as they are where pandas allows it."""
    try:
        from pandas.core.internals import BlockManager
        from pandas.core.internals.api import make_block

        # Categorical columns stay one-dimensional, in blocks of their own.
        made = [make_block(np.atleast_2d(values) if isinstance(values, np.ndarray) else values,
                           placement=placement) for values, placement in blocks]
        manager = BlockManager(made, [pd.Index(names), index])
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", DeprecationWarning)  # pandas >= 2.2 prefers _from_mgr
            return pd.DataFrame(manager)
    except (ImportError, TypeError, ValueError, AttributeError):
        # Another pandas: its public constructor, which copies every column.
        columns = [None] * len(names)
        for values, placement in blocks:
            for k, at in enumerate(placement):
                columns[at] = values if values.ndim == 1 else values[k]
        return pd.DataFrame(dict(zip(names, columns)), index=index, columns=names, copy=True)


def _build(items, carried, all_params, np, pd):
    times, lines, records, codes, directions = [], [], [], [], []
    values = {}  # parameter id -> {row: real value}
    row = 0
    for item in items:
        times.append(item.time)
        lines.append(item.line)
        records.append(item.record)
        codes.append(item.code)
        directions.append(item.direction)
        if carried:
            for p in item.inherited:
                values.setdefault(p.id, {})[row] = p.real
        for p in item.current:
            values.setdefault(p.id, {})[row] = p.real
        row += 1

    ids = params.VALUED_IDS if all_params else ()
    ids = sorted(set(ids) | set(values), key=_slot_order)
    columns = {
        "line": np.array(lines, dtype=np.int64),
        "record": np.array(records, dtype=object),
        "code": np.array(codes, dtype=np.int64),
        "direction": np.array(directions, dtype=np.int16),
    }
    for pid in ids:
        column = np.full(row, np.nan)
        cells = values.get(pid)
        if cells:
            column[np.fromiter(cells.keys(), np.int64, len(cells))] = np.fromiter(
                cells.values(), np.float64, len(cells))
        columns[params.name(pid)] = column
    index = pd.DatetimeIndex(pd.to_datetime(times), name="time")
    return pd.DataFrame(columns, index=index)


def _slot_order(pid):
    try:
        return (params.slot_index(pid), pid)
    except KeyError:
        return (len(params.SLOT_IDS), pid)


def notes(source, module=0xB101, *, library=None):
    """The lines a drive's script and its tester write beside the measurements,
    one row per line, indexed by the log's clock ("time"): "LAB" labels of the
    script's steps, "VOT" voice quality scores per codec and "ENT" waypoints.
    Columns: line, kind ("label", "voice_quality", "waypoint"), text (the
    label, the codec, or a waypoint's "kind name"), value (the score, or a
    waypoint's number), latitude and longitude of the last GPS fix at or
    before the line. Lines that do not read (a score that is not a number)
    are left out; attrs["rejected"] counts them. Mean voice quality per codec:
    notes(path).query("kind == 'voice_quality'").groupby("text")["value"].mean()
    """
    import pandas as pd

    if not is_path(source):
        raise TypeError("notes: source must be a log path, not %s" % type(source).__name__)
    with Table(os.fsdecode(source), module, settings=True, library=library) as table:
        listed = table.notes()
    rejected = listed.pop("rejected")
    clock = listed.pop("clock_ms")
    # INT64_MIN, no clock yet, is NaT.
    index = pd.DatetimeIndex(clock.view("datetime64[ms]").astype("datetime64[ns]"), name="time")
    frame = pd.DataFrame(listed, index=index)
    frame.attrs["rejected"] = int(rejected)
    return frame
