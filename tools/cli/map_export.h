// Geodata files of a drive through GDAL/OGR: GeoPackage, GeoJSON and KML.
//
// Layers (GeoPackage and KML; GeoJSON holds one feature collection, so there
// the three kinds share it and a "feature" attribute says which is which):
//   items   a point per positioned item: line, time, record, code, message,
//           event name, the fix's altitude, speed, heading, satellites and
//           age, and every KPI
//   route   the track as a line; in KML, line pieces coloured by the chosen
//           KPI's bin, after a legend placemark whose description is a table
//           of the bins
//   events  a point per positioned event item, named by its event name
#pragma once

#include <string>

#include "drive_view.h"

namespace wendrake_cli {

// The OGR driver for a format name ("gpkg", "geojson", "kml", any case) or,
// when `format` is empty, for the extension of `path`; "" when neither says.
std::string MapDriverFor(const std::string& path, const std::string& format);

// Writes the layers into a new file at `path` with `driver` ("GPKG",
// "GeoJSON" or "KML"), colouring the KML route by KPI `kpi` (-1: none).
// False with a one-line `error` on any failure; the caller removes `path`.
bool WriteMap(const DriveView& view, const std::string& path, const std::string& driver, int kpi,
              std::string* error);

}  // namespace wendrake_cli
