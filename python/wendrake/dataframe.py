"""Report items as a pandas DataFrame (pandas is imported on first use)."""

import os

from . import params
from .decoder import decode_file

ITEM_COLUMNS = ("line", "record", "code", "direction")


def to_dataframe(source, module=0xB101, *, library=None, carried=True, all_params=False):
    """One row per report item, indexed by the log's clock ("time", NaT before
    the log's first date).

    `source` is a log path or an iterable of Items. Columns: line, record,
    code, direction, then one column per parameter in real units (stored value
    divided by its scale), named after the log column that feeds it, in the
    decoder's slot order. With `carried` (the default) a row shows every value
    the parameter holds at that item, as the decoder reports it; without, only
    the values the item's own line set, NaN elsewhere. `all_params` adds a
    column for every parameter the decoder can set, even if the log never
    sets it, so tables of different logs line up.
    """
    import numpy as np
    import pandas as pd

    if isinstance(source, (str, bytes, os.PathLike)):
        with decode_file(source, module, library=library) as items:
            return _build(items, carried, all_params, np, pd)
    return _build(source, carried, all_params, np, pd)


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
