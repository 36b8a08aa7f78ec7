"""The drive on a map: the items that have a position, as a GeoDataFrame
(geopandas is imported on first use).

    points = wendrake.to_geodataframe("examples/sample_drive.log")
    points.plot(column="Rxagc")
    points.to_file("route.gpkg", layer="items")
"""

import os

from .dataframe import TABLE_COLUMNS, _from_table, is_path

# The table's columns of an item's position, and what else a map shows.
POSITION_COLUMNS = ("latitude", "longitude", "altitude", "speed", "heading", "satellites",
                    "fix_age")
LABEL_COLUMNS = ("event_name", "message")


def to_geodataframe(source, module=0xB101, *, library=None, carried=True):
    """One point per item with a position: the last GPS fix at or before the
    item (fixes that are impossible or jump faster than 300 m/s are left out;
    see include/wendrake/table.h for the GPS layouts read). Columns as
    to_dataframe's, then the position (decimal degrees, WGS 84), fix_age in
    seconds, the event name of "EVT" items and the message name of "CL3"
    items; the geometry is the point (longitude, latitude), CRS EPSG:4326."""
    import geopandas as gpd
    import numpy as np
    import pandas as pd

    if not is_path(source):
        raise TypeError("to_geodataframe: source must be a log path, not %s" % type(source).__name__)
    frame = _from_table(os.fsdecode(source), module, library, carried, False, np, pd,
                        extra=TABLE_COLUMNS + tuple(c for c in POSITION_COLUMNS if c not in TABLE_COLUMNS)
                        + LABEL_COLUMNS)
    placed = frame[frame["latitude"].notna() & frame["longitude"].notna()]
    points = gpd.points_from_xy(placed["longitude"], placed["latitude"], crs="EPSG:4326")
    return gpd.GeoDataFrame(placed, geometry=points, crs="EPSG:4326")
