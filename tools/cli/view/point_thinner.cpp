#include "view/point_thinner.h"

#include <cmath>

namespace wendrake_cli {

double DistanceMetres(double latitude1, double longitude1, double latitude2, double longitude2) {
  constexpr double kEarthRadius = 6371008.8, kRadians = 3.14159265358979323846 / 180;
  const double x = (longitude2 - longitude1) * kRadians * std::cos((latitude1 + latitude2) / 2 * kRadians);
  const double y = (latitude2 - latitude1) * kRadians;
  return kEarthRadius * std::sqrt(x * x + y * y);
}

void PointThinner::Add(const DriveItem& item, std::vector<DriveItem>* out) {
  if (size_ > 0 && !(DistanceMetres(first_.latitude, first_.longitude, item.latitude, item.longitude) < metres_)) {
    Finish(out);
  }
  const uint64_t at = arrived_++;
  if (size_ == 0) {
    first_ = item;
    extremes_.clear();
  } else {
    last_ = item;
  }
  ++size_;
  if (extremes_.size() < item.kpis.size()) extremes_.resize(item.kpis.size(), Extreme{kNoValue, kNoValue, 0, 0});
  for (size_t k = 0; k < item.kpis.size(); ++k) {
    const double value = item.kpis[k];
    if (std::isnan(value)) continue;
    Extreme& e = extremes_[k];
    if (std::isnan(e.low) || value < e.low) e.low = value, e.lowAt = at;
    if (std::isnan(e.high) || value > e.high) e.high = value, e.highAt = at;
  }
}

void PointThinner::Finish(std::vector<DriveItem>* out) {
  if (size_ == 0) return;
  if (size_ == 1) {
    out->push_back(first_);
    size_ = 0;
    return;
  }
  out->push_back(first_);
  out->push_back(last_);
  DriveItem& first = (*out)[out->size() - 2];
  DriveItem& last = out->back();
  first.kpis.resize(extremes_.size(), kNoValue);
  last.kpis.resize(extremes_.size(), kNoValue);
  for (size_t k = 0; k < extremes_.size(); ++k) {
    const Extreme& e = extremes_[k];
    const bool lowFirst = e.lowAt <= e.highAt;
    first.kpis[k] = lowFirst ? e.low : e.high;
    last.kpis[k] = lowFirst ? e.high : e.low;
  }
  size_ = 0;
}

}  // namespace wendrake_cli
