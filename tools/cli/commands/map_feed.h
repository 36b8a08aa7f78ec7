// The drive as the map module takes it: the positioned items of each piece
// of the log, with the points of the items layer (the same items, or fewer
// when thinned by distance).
#pragma once

#include <future>
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
  // Waits for the piece being made; the reader is the caller's again.
  ~MapFeed() override;

  // After the last piece, a log with no positioned item is an error that
  // says so: a map of nothing would look like a success. While the module
  // writes the piece handed out, the next one is made on a second thread.
  bool Next(WendrakeMapPiece* piece, std::string* error) override;

 private:
  // A piece and everything its items point into.
  struct Slot {
    std::vector<DriveItem> drive, thinned;
    std::vector<WendrakeMapItem> items, points;
    bool made = false;
    std::string error;
  };
  void Make(Slot* slot);
  WendrakeMapItem ItemOf(const DriveItem& item) const;

  DriveReader* reader_;
  size_t attributes_;
  int colour_;
  std::optional<PointThinner> thinner_;
  bool finished_ = false;
  int64_t positioned_ = 0;
  Slot slots_[2];
  int next_ = 0;              // the slot handed out next
  std::future<void> making_;  // of slots_[next_], once started
};

}  // namespace wendrake_cli
