"""wendrake: CDMA 1x / EV-DO drive-test logs as Python objects and pandas tables.

    import wendrake
    df = wendrake.to_dataframe("examples/sample_drive.log")      # one row per item
    df["Rxagc"].describe()
    for item in wendrake.decode_file("examples/sample_drive.log"):
        ...

The package is a ctypes binding of the libwendrake shared library, found from
the `library=` argument, the WENDRAKE_LIBRARY environment variable, the source
tree's build directories, or the usual system locations. pandas, matplotlib
and dask are imported only by the functions that need them.
"""

from . import header
from ._native import MODULE_TYPES, WendrakeError, WendrakeWarning
from .decoder import Decoder, Item, Param, decode_file, log_clock
from .dataframe import notes, to_dataframe
from .messages import cells, messages

__all__ = ["Decoder", "Item", "Param", "WendrakeError", "WendrakeWarning", "MODULE_TYPES", "decode_file",
           "log_clock", "notes", "to_dataframe", "messages", "cells", "to_geodataframe", "plot_kpis", "decode_many"]

__version__ = "%d.%d.%d" % (header.VERSION_MAJOR, header.VERSION_MINOR, header.VERSION_PATCH)


def plot_kpis(*args, **kwargs):
    """See wendrake.plot.plot_kpis (imports matplotlib)."""
    from .plot import plot_kpis as plot
    return plot(*args, **kwargs)


def to_geodataframe(*args, **kwargs):
    """See wendrake.geo.to_geodataframe (imports geopandas)."""
    from .geo import to_geodataframe as points
    return points(*args, **kwargs)


def decode_many(*args, **kwargs):
    """See wendrake.dask.decode_many (imports dask and distributed)."""
    from .dask import decode_many as many
    return many(*args, **kwargs)
