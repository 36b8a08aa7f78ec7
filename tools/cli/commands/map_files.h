// Where the map command's file goes. A GeoPackage is written by SQLite,
// which seeks, so only into a regular file: under a temporary name beside
// it, renamed over it once whole. GeoJSON and KML stream through an Output:
// to standard output, into a pipe or a device in place, or into a file the
// same way as a GeoPackage. Through a symbolic link, the file it points to
// is written and the link stays.
#pragma once

#include <string>

#include "io/log_reader.h"
#include "map/map_module.h"

namespace wendrake_cli {

// False with a one-line `error`, the old file (if any) as it was.
bool WriteGeoPackageFile(const MapModule& module, const MapLayout& layout, MapSource* source,
                         const std::string& output, std::string* error);

// `driver` is "GeoJSON" or "KML"; the output may not be the file `input`.
bool WriteStreamedFile(const MapModule& module, const MapLayout& layout, MapSource* source,
                       const std::string& output, const FileIdentity& input, const std::string& driver,
                       std::string* error);

}  // namespace wendrake_cli
