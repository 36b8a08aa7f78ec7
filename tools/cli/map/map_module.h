// The tool's side of the map module (map_module_abi.h): `wendrake map`
// finds wendrake_map.so, loads it and hands it the drive; nothing else in
// the tool loads it, so no other command pays for GDAL's libraries.
#pragma once

#include <string>
#include <vector>

#include "map/map_module_abi.h"
#include "view/drive_cells.h"
#include "view/kpi_bins.h"

namespace wendrake_cli {

// Where the module writes: `name` is the output as the reader gave it.
struct MapTarget {
  std::string name;
  std::string path;                 // GeoPackage
  WendrakeMapSink sink = nullptr;   // GeoJSON and KML
  void* context = nullptr;
};

// What the items layer holds and how the route is coloured.
struct MapLayout {
  std::vector<std::string> attributes;  // the KPIs written as the items' attributes
  std::string colourKpi;                // "" for an uncoloured route
  RouteColouring colouring;             // its bins
  std::vector<DriveCell> cells;         // the cells the drive heard (the items' serving cells index them)
};

// The drive, piece by piece, for the module.
class MapSource {
 public:
  virtual ~MapSource() = default;
  // The next piece into *piece (valid until the next call): false after the
  // last one with `error` empty, or with a one-line `error`.
  virtual bool Next(WendrakeMapPiece* piece, std::string* error) = 0;
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

  // Writes the drive `source` hands out with the GDAL driver `driver` (a
  // GeoPackage into a new file at target.path, GeoJSON and KML through
  // target.sink), as `layout` says. False with a one-line `error` (the
  // source's own when reading failed); the caller discards what was written.
  bool Write(const MapLayout& layout, MapSource* source, const MapTarget& target, const std::string& driver,
             std::string* error) const;

 private:
  WendrakeMapWrite write_ = nullptr;
};

}  // namespace wendrake_cli
