"""One log summarised in a flat record: counts, time span and KPI figures.

Computed in one streaming pass over the items, without pandas, so a worker
can summarise a log of any length in little memory.
"""

import os

from . import params
from .decoder import decode_file
from .header import PARAM_EVDO_STATE

# "AT_State" value of an EV-DO connection.
AT_CONNECTED = 5

# Column order of a summary; decode_many's DataFrame keeps it.
FIELDS = ("path", "lines", "items", "layer3", "events", "start", "end", "duration_s",
          "rx_agc_mean_dbm", "tx_power_max_dbm", "ecio_mean_db", "sinr_mean_db",
          "evdo_rlp_rx_peak_kbps", "rlp_rx_peak_kbps", "evdo_state_changes", "evdo_connected_s")

# Figures taken from logged columns: field -> (record token, column).
_COLUMNS = {"rx_agc": ("DM", "Rxagc"), "tx_power": ("DM", "Txpower"),
            "ecio": ("DM", "Total_EcIo"), "sinr": ("DM", "Total_SINR"),
            "evdo_rlp_rx": ("C1XQI", "EV_RxRLPThroughput"), "rlp_rx": ("C1XQI", "Rlprx_Rate")}


class _Stat:
    __slots__ = ("count", "total", "peak")

    def __init__(self):
        self.count, self.total, self.peak = 0, 0.0, None

    def add(self, value):
        self.count += 1
        self.total += value
        if self.peak is None or value > self.peak:
            self.peak = value

    def mean(self):
        return self.total / self.count if self.count else None


def summarize(path, module=0xB101, *, library=None):
    """A dict with the FIELDS of the log at `path` (None where a figure has no data).

    `lines` counts every physical line from 1, a last line without a newline
    included. `evdo_state_changes` counts EV-DO state changes: an EV-DO state
    change is an item whose current parameter list sets the EV-DO state word
    (header.PARAM_EVDO_STATE, 0x7F01C103) to a value different from the last
    value set before it; the first value set is not a change. The command
    line tool's `stats` counts the same. `evdo_connected_s` adds up the log
    clock's time while the "AT_State" column reports a connection (5).
    """
    with decode_file(path, module, library=library) as items:
        known = params.KNOWN_COLUMNS
        stats = {field: _Stat() for field in _COLUMNS}
        by_id = {known[record][column]: stats[field] for field, (record, column) in _COLUMNS.items()}
        at_state_id = known["CEVS"]["AT_State"]
        count = layer3 = events = changes = 0
        start = end = None
        evdo_state = None
        at_state = at_since = None
        connected = 0.0
        for item in items:
            count += 1
            layer3 += item.is_layer3
            events += item.is_event
            when = item.time
            if when is not None:
                start = when if start is None or when < start else start
                end = when if end is None or when > end else end
            for p in item.current:
                stat = by_id.get(p.id)
                if stat is not None:
                    stat.add(p.real)
                elif p.id == PARAM_EVDO_STATE:
                    changes += evdo_state is not None and p.stored != evdo_state
                    evdo_state = p.stored
                elif p.id == at_state_id and when is not None:
                    value = p.stored & 0xFF
                    if value != at_state:
                        if at_state == AT_CONNECTED:
                            connected += (when - at_since).total_seconds()
                        at_state, at_since = value, when
        lines = items.decoder.lines
    if at_state == AT_CONNECTED and end is not None:
        connected += (end - at_since).total_seconds()
    return {
        "path": os.fspath(path), "lines": lines, "items": count, "layer3": layer3,
        "events": events, "start": start, "end": end,
        "duration_s": (end - start).total_seconds() if start is not None else None,
        "rx_agc_mean_dbm": stats["rx_agc"].mean(), "tx_power_max_dbm": stats["tx_power"].peak,
        "ecio_mean_db": stats["ecio"].mean(), "sinr_mean_db": stats["sinr"].mean(),
        "evdo_rlp_rx_peak_kbps": stats["evdo_rlp_rx"].peak, "rlp_rx_peak_kbps": stats["rlp_rx"].peak,
        "evdo_state_changes": changes, "evdo_connected_s": connected,
    }


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
