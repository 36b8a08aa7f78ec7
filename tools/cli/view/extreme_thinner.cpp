#include "view/extreme_thinner.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace wendrake_cli {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

size_t RowsOf(size_t rows) { return std::min<size_t>(rows, 2); }

}  // namespace

ExtremeThinner::ExtremeThinner(size_t limit) : limit_(std::max<size_t>(limit, 2)) {}

void ExtremeThinner::Merge(Bucket* into, const Bucket& next) {
  into->last = next.last;
  into->rows += next.rows;
  into->groups += next.groups;
  if (into->kpis.size() < next.kpis.size()) into->kpis.resize(next.kpis.size(), Extreme{kNaN, kNaN, 0, 0});
  for (size_t k = 0; k < next.kpis.size(); ++k) {
    Extreme& a = into->kpis[k];
    const Extreme& b = next.kpis[k];
    if (std::isnan(b.low)) continue;
    if (std::isnan(a.low) || b.low < a.low) a.low = b.low, a.lowAt = b.lowAt;
    if (std::isnan(a.high) || b.high > a.high) a.high = b.high, a.highAt = b.highAt;
  }
}

void ExtremeThinner::Add(const ThinRow& row, const double* kpis, size_t count, bool newGroup) {
  const uint64_t at = arrived_++;
  if (newGroup || buckets_.empty()) {
    ++groups_;
    if (buckets_.empty() || buckets_.back().groups >= groupsPerBucket_) {
      buckets_.push_back(Bucket{row, row, 0, 0, {}});
    }
    ++buckets_.back().groups;
  }
  Bucket& bucket = buckets_.back();
  rowsNeeded_ -= RowsOf(bucket.rows);
  if (bucket.rows == 0) bucket.first = row;
  bucket.last = row;
  ++bucket.rows;
  rowsNeeded_ += RowsOf(bucket.rows);
  if (bucket.kpis.size() < count) bucket.kpis.resize(count, Extreme{kNaN, kNaN, 0, 0});
  for (size_t k = 0; k < count; ++k) {
    const double value = kpis[k];
    if (std::isnan(value)) continue;
    Extreme& e = bucket.kpis[k];
    if (std::isnan(e.low) || value < e.low) e.low = value, e.lowAt = at;
    if (std::isnan(e.high) || value > e.high) e.high = value, e.highAt = at;
  }
  // Too many rows: merge neighbours, and let later buckets take twice the groups.
  while (rowsNeeded_ > limit_ && buckets_.size() > 1) {
    thinned_ = true;
    groupsPerBucket_ *= 2;
    std::vector<Bucket> merged;
    merged.reserve(buckets_.size() / 2 + 1);
    for (size_t b = 0; b < buckets_.size(); b += 2) {
      merged.push_back(std::move(buckets_[b]));
      if (b + 1 < buckets_.size()) Merge(&merged.back(), buckets_[b + 1]);
    }
    buckets_ = std::move(merged);
    rowsNeeded_ = 0;
    for (const Bucket& b : buckets_) rowsNeeded_ += RowsOf(b.rows);
  }
}

ThinnedRows ExtremeThinner::Finish(const std::vector<size_t>& kpiOrder) const {
  ThinnedRows out;
  out.thinned = thinned_;
  out.groups = groups_;
  out.kpis.assign(kpiOrder.size(), {});
  for (const Bucket& bucket : buckets_) {
    const bool single = bucket.rows == 1;
    out.rows.push_back(bucket.first);
    if (!single) out.rows.push_back(bucket.last);
    for (size_t k = 0; k < kpiOrder.size(); ++k) {
      std::vector<double>& values = out.kpis[k];
      const size_t kpi = kpiOrder[k];
      const Extreme e = kpi < bucket.kpis.size() ? bucket.kpis[kpi] : Extreme{kNaN, kNaN, 0, 0};
      if (std::isnan(e.low)) {
        values.insert(values.end(), single ? 1 : 2, kNaN);
      } else if (single) {
        values.push_back(e.low);
      } else {
        values.push_back(e.lowAt <= e.highAt ? e.low : e.high);
        values.push_back(e.lowAt <= e.highAt ? e.high : e.low);
      }
    }
  }
  return out;
}

}  // namespace wendrake_cli
