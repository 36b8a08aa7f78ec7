// The tool's side of the map module (map_module_abi.h): `wendrake map`
// finds wendrake_map.so, loads it and hands it the drive; nothing else in
// the tool loads it, so no other command pays for GDAL's libraries.
#pragma once

#include <string>
#include <vector>

#include "map/map_module_abi.h"
#include "view/drive_view.h"
#include "view/kpi_bins.h"

namespace wendrake_cli {

// Where the module writes: `name` is the output as the reader gave it.
struct MapTarget {
  std::string name;
  std::string path;                 // GeoPackage
  WendrakeMapSink sink = nullptr;   // GeoJSON and KML
  void* context = nullptr;
};

class MapModule {
 public:
  // Loads the module: the file WENDRAKE_MAP_MODULE names when it is set and
  // not empty; otherwise the first there is of wendrake_map.so beside the
  // executable's real path (/proc/self/exe; the build tree) and
  // <libdir>/wendrake/wendrake_map.so relative to it (installed). False with
  // a one-line error naming the files tried and the loader's reason; a file
  // that is there but will not load is the error, not a reason to try the
  // next one.
  bool Load(std::string* error);

  // Writes `view` with the GDAL driver `driver` (a GeoPackage into a new
  // file at target.path, GeoJSON and KML through target.sink), the KML route
  // coloured as `colouring` says. False with a one-line `error`; the
  // caller discards what was written.
  bool Write(const DriveView& view, const MapTarget& target, const std::string& driver,
             const RouteColouring& colouring, std::string* error) const;

 private:
  WendrakeMapWrite write_ = nullptr;
};

}  // namespace wendrake_cli
