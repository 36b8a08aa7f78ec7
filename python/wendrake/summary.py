"""One log summarised in a flat record: counts, time span and KPI figures.

Computed in one streaming pass over the items, without pandas, so a worker
can summarise a log of any length in little memory.
"""

import os

from . import params
from .decoder import decode_file

_RXAGC = params.KNOWN_COLUMNS["DM"]["Rxagc"]
_TXPOWER = params.KNOWN_COLUMNS["DM"]["Txpower"]
_ECIO = params.KNOWN_COLUMNS["DM"]["Total_EcIo"]
_SINR = params.KNOWN_COLUMNS["DM"]["Total_SINR"]
_EV_RLP_RX = params.KNOWN_COLUMNS["C1XQI"]["EV_RxRLPThroughput"]
_RLP_RX = params.KNOWN_COLUMNS["C1XQI"]["Rlprx_Rate"]
_AT_STATE = params.KNOWN_COLUMNS["CEVS"]["AT_State"]
_CONNECTED = 5

# Column order of a summary; decode_many's DataFrame keeps it.
FIELDS = ("path", "lines", "items", "layer3", "events", "start", "end", "duration_s",
          "rx_agc_mean_dbm", "tx_power_max_dbm", "ecio_mean_db", "sinr_mean_db",
          "evdo_rlp_rx_peak_kbps", "rlp_rx_peak_kbps", "evdo_state_changes", "evdo_connected_s")


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
    """A dict with the FIELDS of the log at `path` (None where a figure has no data)."""
    stats = {pid: _Stat() for pid in (_RXAGC, _TXPOWER, _ECIO, _SINR, _EV_RLP_RX, _RLP_RX)}
    count = layer3 = events = changes = 0
    start = end = None
    state = state_since = None
    connected = 0.0
    with decode_file(path, module, library=library) as items:
        for item in items:
            count += 1
            layer3 += item.is_layer3
            events += item.is_event
            when = item.time
            if when is not None:
                start = when if start is None or when < start else start
                end = when if end is None or when > end else end
            for p in item.current:
                stat = stats.get(p.id)
                if stat is not None:
                    stat.add(p.real)
                elif p.id == _AT_STATE and when is not None:
                    value = p.stored & 0xFF
                    if value != state:
                        if state == _CONNECTED:
                            connected += (when - state_since).total_seconds()
                        changes += state is not None
                        state, state_since = value, when
        lines = items.decoder.lines
    if state == _CONNECTED and end is not None:
        connected += (end - state_since).total_seconds()
    return {
        "path": os.fspath(path), "lines": lines, "items": count, "layer3": layer3,
        "events": events, "start": start, "end": end,
        "duration_s": (end - start).total_seconds() if start is not None else None,
        "rx_agc_mean_dbm": stats[_RXAGC].mean(), "tx_power_max_dbm": stats[_TXPOWER].peak,
        "ecio_mean_db": stats[_ECIO].mean(), "sinr_mean_db": stats[_SINR].mean(),
        "evdo_rlp_rx_peak_kbps": stats[_EV_RLP_RX].peak, "rlp_rx_peak_kbps": stats[_RLP_RX].peak,
        "evdo_state_changes": changes, "evdo_connected_s": connected,
    }
