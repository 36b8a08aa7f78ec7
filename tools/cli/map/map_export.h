// Geodata files of a drive through GDAL/OGR: GeoPackage, GeoJSON and KML.
// Built into the map module only (map_module_abi.h), never into the tool.
//
// Layers (GeoPackage and KML; GeoJSON holds one feature collection, so there
// the three kinds share it and a "feature" attribute says which is which):
//   items   a point per positioned item: line, time, record, code, message,
//           event name, the fix's altitude, speed, heading, satellites and
//           age, and every KPI; in KML with a <TimeStamp> (so the events)
//   route   the track as a line; in KML and GeoPackage, line pieces by the
//           chosen KPI's bin with the value each is coloured by; in KML
//           coloured, after a legend placemark whose description is a table
//           of the bins
// A GeoPackage also holds each layer's default QGIS style (qgis_styles.h).
//   events  a point per positioned event item, named by its event name
#pragma once

#include <string>

#include "map/map_module_abi.h"

namespace wendrake_cli {

// Writes the layers into a new file at drive.path with drive.driver
// ("GPKG", "GeoJSON" or "KML"), colouring the KML route by KPI drive.kpi.
// False with a one-line `error` on any failure; the caller removes the file.
bool WriteMap(const WendrakeMapDrive& drive, std::string* error);

}  // namespace wendrake_cli
