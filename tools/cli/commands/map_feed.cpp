#include "commands/map_feed.h"

#include <fmt/format.h>

namespace wendrake_cli {

MapFeed::MapFeed(DriveReader* reader, size_t attributes, int colour, double minDistance)
    : reader_(reader), attributes_(attributes), colour_(colour) {
  if (minDistance > 0) thinner_.emplace(minDistance);
}

WendrakeMapItem MapFeed::ItemOf(const DriveItem& item) const {
  // An item of a piece before the last attribute had a value has fewer KPIs.
  const double colour = colour_ >= 0 && static_cast<size_t>(colour_) < item.kpis.size()
                            ? item.kpis[static_cast<size_t>(colour_)]
                            : kNoValue;
  return WendrakeMapItem{item.line,      item.clockMs,   item.record.c_str(), item.message.c_str(),
                         item.eventName.c_str(), item.code, item.event,     item.latitude,
                         item.longitude, item.altitude,  item.speed,          item.heading,
                         item.satellites, item.fixAge,   item.kpis.data(),    colour,
                         item.servingCell, item.servingDistance};
}

bool MapFeed::Next(WendrakeMapPiece* piece, std::string* error) {
  items_.clear();
  points_.clear();
  thinned_.clear();
  if (finished_) return false;
  if (!reader_->Next(error)) {
    if (!error->empty()) return false;
    finished_ = true;
    if (positioned_ == 0) {
      *error = fmt::format("nothing to map: no item of {} has a position ({} GPS fixes kept, {} rejected)",
                           reader_->name(), reader_->fixesAccepted(), reader_->fixesRejected());
      return false;
    }
    if (!thinner_) return false;
    thinner_->Finish(&thinned_);
  } else {
    for (const DriveItem& item : reader_->items()) {
      if (!item.positioned()) continue;
      ++positioned_;
      items_.push_back(ItemOf(item));
      if (thinner_) thinner_->Add(item, &thinned_);
    }
  }
  for (DriveItem& point : thinned_) {
    // The module reads `attributes_` values of every point.
    if (point.kpis.size() < attributes_) point.kpis.resize(attributes_, kNoValue);
    points_.push_back(ItemOf(point));
  }
  const std::vector<WendrakeMapItem>& points = thinner_ ? points_ : items_;
  *piece = WendrakeMapPiece{items_.size(), items_.data(), points.size(), points.data()};
  return true;
}

}  // namespace wendrake_cli
