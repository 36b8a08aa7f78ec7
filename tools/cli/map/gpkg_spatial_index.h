// The GeoPackage spatial index (the "gpkg_rtree_index" extension) of a
// point layer, added to a written file in one transaction: its R-tree
// filled by packing (packed_rtree.h), the triggers that keep it in step
// with later edits, and the extension's registration. GDAL's own index,
// filled one row at a time, costs more than writing the whole layer.
#pragma once

#include <string>

#include "map/packed_rtree.h"

namespace wendrake_cli {

struct GpkgLayerNames {
  std::string table, geometry, fid;
};

// Adds the index of `layer`, a table without one, in the closed GeoPackage
// at `path`; `points` holds every feature's row id and point. False with
// SQLite's message in `error` and the system's error number of the last
// failed file operation (0: none) in `systemError`, the file then unchanged.
bool AddGpkgSpatialIndex(const std::string& path, const GpkgLayerNames& layer, const RtreePoints& points,
                         std::string* error, int* systemError);

}  // namespace wendrake_cli
