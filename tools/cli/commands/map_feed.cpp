#include "commands/map_feed.h"

#include <fmt/format.h>

namespace wendrake_cli {

MapFeed::MapFeed(DriveReader* reader, size_t attributes, int colour, double minDistance)
    : reader_(reader), attributes_(attributes), colour_(colour) {
  if (minDistance > 0) thinner_.emplace(minDistance);
}

MapFeed::~MapFeed() {
  if (making_.valid()) making_.wait();
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

// The next piece into `slot`: made false after the last one, with `error`
// when reading failed or the log has nothing to map.
void MapFeed::Make(Slot* slot) {
  slot->items.clear();
  slot->points.clear();
  slot->thinned.clear();
  slot->error.clear();
  slot->made = false;
  if (finished_) return;
  if (!reader_->Next(&slot->error)) {
    if (!slot->error.empty()) return;
    finished_ = true;
    if (positioned_ == 0) {
      slot->error = fmt::format("nothing to map: no item of {} has a position ({} GPS fixes kept, {} rejected)",
                                reader_->name(), reader_->fixesAccepted(), reader_->fixesRejected());
      return;
    }
    if (!thinner_) return;
    thinner_->Finish(&slot->thinned);
  } else {
    // The items stay in the slot while the module writes them; the reader
    // fills the slot's older ones next.
    reader_->TakeItems(&slot->drive);
    for (const DriveItem& item : slot->drive) {
      if (!item.positioned()) continue;
      ++positioned_;
      slot->items.push_back(ItemOf(item));
      if (thinner_) thinner_->Add(item, &slot->thinned);
    }
  }
  for (DriveItem& point : slot->thinned) {
    // The module reads `attributes_` values of every point.
    if (point.kpis.size() < attributes_) point.kpis.resize(attributes_, kNoValue);
    slot->points.push_back(ItemOf(point));
  }
  slot->made = true;
}

bool MapFeed::Next(WendrakeMapPiece* piece, std::string* error) {
  Slot& slot = slots_[next_];
  if (making_.valid()) making_.get();  // the module is done with the other slot
  else Make(&slot);
  if (!slot.made) {
    *error = slot.error;
    return false;
  }
  next_ = 1 - next_;
  making_ = std::async(std::launch::async, [this, other = &slots_[next_]] { Make(other); });
  const std::vector<WendrakeMapItem>& points = thinner_ ? slot.points : slot.items;
  *piece = WendrakeMapPiece{slot.items.size(), slot.items.data(), points.size(), points.data()};
  return true;
}

}  // namespace wendrake_cli
