"""to_geodataframe: the positioned items of the sample drive as map points."""

import pytest

import wendrake

from conftest import SAMPLE

gpd = pytest.importorskip("geopandas", reason="python3-geopandas is not installed")


def first_gps_fix():
    for line in SAMPLE.read_bytes().split(b"\n"):
        if line.startswith(b"GPS\t"):
            latitude, longitude = line.split(b"\t")[1:3]
            return float(latitude), float(longitude)
    raise AssertionError("the sample has no GPS line")


def test_points_are_the_positioned_items(library, tmp_path):
    frame = wendrake.to_dataframe(SAMPLE, library=library)
    points = wendrake.to_geodataframe(SAMPLE, library=library)
    assert isinstance(points, gpd.GeoDataFrame) and points.crs.to_epsg() == 4326
    # Every item from the first kept fix on has a position (in the sample the
    # first fix comes before the first item).
    assert 0 < len(points) <= len(frame)
    assert list(points.columns[:4]) == ["line", "record", "code", "direction"]
    assert (points["line"].values == frame["line"].values[-len(points):]).all()
    first = points.iloc[0]
    assert (first.geometry.y, first.geometry.x) == first_gps_fix()
    assert (first["latitude"], first["longitude"]) == first_gps_fix()
    assert points["fix_age"].min() >= 0
    assert set(points.loc[points["record"] == "EVT", "event_name"].dropna()) >= {"POWER_UP"}
    assert points.loc[points["record"] == "CL3", "message"].notna().any()
    # What GIS tools open: a GeoPackage written by geopandas reads back.
    path = tmp_path / "points.gpkg"
    points.to_file(path, layer="items", driver="GPKG")
    assert len(gpd.read_file(path, layer="items")) == len(points)
