// The drive as the map module takes it: the positioned items of each piece
// of the log, with the points of the items layer (the same items, or fewer
// when thinned by distance).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "map/map_module.h"
#include "view/drive_view.h"
#include "view/point_thinner.h"

namespace wendrake_cli {

class MapFeed : public MapSource {
 public:
  // `reader` is open; the first `attributes` of its KPIs are the items'
  // attributes, KPI `colour` (-1: none) colours the route. `minDistance`
  // (metres, > 0) thins the points; 0 keeps every one.
  MapFeed(DriveReader* reader, size_t attributes, int colour, double minDistance);

  // After the last piece, a log with no positioned item is an error that
  // says so: a map of nothing would look like a success.
  bool Next(WendrakeMapPiece* piece, std::string* error) override;

 private:
  WendrakeMapItem ItemOf(const DriveItem& item) const;

  DriveReader* reader_;
  size_t attributes_;
  int colour_;
  std::optional<PointThinner> thinner_;
  bool finished_ = false;
  int64_t positioned_ = 0;
  std::vector<DriveItem> thinned_;
  std::vector<WendrakeMapItem> items_, points_;
};

}  // namespace wendrake_cli
