"""Decode parameters: identifiers, the log columns that feed them, their scales.

The decoder stores every parameter as a 32-bit integer, the logged value times
a fixed scale (1000 for values logged in thousandths, 100 for hundredths, 1
otherwise). These tables let Python turn the stored integers back into real
units and label them with the column names an analyst knows from the log.

They are read from the library's own catalogue (libwendrake_table) on first
use, so they are never a copy that could drift:

    SLOT_IDS       parameter identifier of each slot, in slot order
    SCALES         {id: scale} of every parameter whose scale is not 1
    KNOWN_COLUMNS  {record token: {column name: id}}, the columns the decoder reads
    NAMES          {id: name}: the feeding column, or "L3State" / "EvdoState"
    UNITS          {id: unit} of every parameter whose real value has a unit
                   ("dBm", "dB", "kbit/s", "%")
    VALUED_IDS     every parameter the decoder can give a value, in slot order
    EVDO_STATES    the EV-DO states by value of the EvdoState word:
                   ("inactive", "idle", "connected")
"""

import functools

from . import _table
from .header import PARAM_EVDO_STATE as EVDO_STATE
from .header import PARAM_L3_STATE as L3_STATE

__all__ = ["SLOT_IDS", "SCALES", "KNOWN_COLUMNS", "NAMES", "UNITS", "VALUED_IDS", "EVDO_STATES",
           "L3_STATE", "EVDO_STATE", "scale", "name", "unit", "real", "slot_index", "library_version"]

# Units of the table's own columns beside the parameters.
POSITION_UNITS = {"latitude": "deg", "longitude": "deg", "altitude": "m", "speed": "km/h",
                  "heading": "deg", "fix_age": "s"}


class _Catalogue:
    def __init__(self, version, rows, evdo_states):
        self.version = version
        self.evdo_states = evdo_states
        self.slot_ids = tuple(pid for pid, _, _, _, _, _ in rows)
        self.scales = {pid: factor for pid, _, factor, _, _, _ in rows if factor != 1}
        self.names = {pid: label for pid, _, _, label, _, _ in rows if label is not None}
        self.units = {pid: text for pid, _, _, _, _, text in rows if text is not None}
        self.known_columns = {}
        for pid, _, _, label, record, _ in rows:
            if label is not None and record is not None:
                self.known_columns.setdefault(record, {})[label] = pid
        # Logs decoded apart line up when their tables are concatenated.
        self.valued_ids = tuple(pid for pid in self.slot_ids if pid in self.names)
        self.slot_index = {pid: index for index, pid in enumerate(self.slot_ids)}


@functools.lru_cache(maxsize=None)
def _catalogue():
    return _Catalogue(*_table.read_catalogue())


_PUBLIC = {"SLOT_IDS": "slot_ids", "SCALES": "scales", "KNOWN_COLUMNS": "known_columns",
           "NAMES": "names", "UNITS": "units", "VALUED_IDS": "valued_ids", "EVDO_STATES": "evdo_states"}


def __getattr__(attribute):
    # The tables load on first use: importing the package needs no library.
    field = _PUBLIC.get(attribute)
    if field is None:
        raise AttributeError("module %r has no attribute %r" % (__name__, attribute))
    return getattr(_catalogue(), field)


def library_version():
    """The library's version as its catalogue states it ("MAJOR.MINOR.PATCH")."""
    return _catalogue().version


def scale(param_id):
    """The factor the decoder multiplied the logged value by (1, 100 or 1000)."""
    return _catalogue().scales.get(param_id, 1)


def name(param_id):
    """Column name that feeds the parameter, "L3State"/"EvdoState", or "0x7F01xxxx"."""
    known = _catalogue().names.get(param_id)
    return known if known is not None else "0x%08X" % param_id


def unit(param_id):
    """Unit of the parameter's real value ("dBm"), or None when it has none."""
    return _catalogue().units.get(param_id)


def real(param_id, stored):
    """The logged value in real units: stored / scale."""
    return stored / _catalogue().scales.get(param_id, 1)


def slot_index(param_id):
    """Position of the parameter in the decoder's slot order (KeyError if unknown)."""
    return _catalogue().slot_index[param_id]
