// Fills an SQLite R-tree table in one pass from points whose row ids come
// in order, instead of one row at a time through the R-tree module.
//
// Inserting a row into SQLite's R-tree searches the tree and rewrites a
// node (often several): about 10 us a row, most of the time `map` spends on
// a GeoPackage's items. A drive's items come in time order, and consecutive
// items lie at the same or a nearby place, so cutting the sequence into
// full nodes gives leaves with small boxes; the levels above are cut the
// same way. The nodes are written straight into the table's three shadow
// tables in the R-tree module's own layout, which SQLite's rtreecheck()
// verifies; later inserts and deletes go through the module as usual.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "map/spill_array.h"

struct sqlite3;

namespace wendrake_cli {

// A box as the R-tree stores it: single precision, each bound rounded
// outward so that it still holds the double-precision point.
struct RtreeBox {
  float minX, maxX, minY, maxY;

  static RtreeBox OfPoint(double x, double y);
  void Extend(const RtreeBox& other);
};

// The points to index, in row id order, kept as runs of consecutive row ids
// at one place: a drive logs a few dozen items per position fix.
class RtreePoints {
 public:
  // `rowid` must be larger than the last one added.
  void Add(int64_t rowid, double x, double y);
  int64_t count() const { return count_; }

  struct Run {
    int64_t firstRowid;
    int64_t length;
    RtreeBox box;
  };
  const SpillArray<Run>& runs() const { return runs_; }
  // A run could not be kept or read back; error() says why.
  bool failed() const { return runs_.failed(); }
  int error() const { return runs_.error(); }

 private:
  SpillArray<Run> runs_;  // one per GPS fix: in a temporary file on a long drive
  int64_t count_ = 0;
};

// `name` quoted as an SQL identifier.
std::string QuotedSqlName(const std::string& name);

// Fills the empty R-tree virtual table `table` (2 dimensions, as created
// by `CREATE VIRTUAL TABLE t USING rtree(id, minx, maxx, miny, maxy)`) with
// `points`. Runs inside the caller's transaction; false with SQLite's
// message in `error` on failure.
bool FillPackedRtree(sqlite3* db, const std::string& table, const RtreePoints& points, std::string* error);

}  // namespace wendrake_cli
