// Rows for a chart or a drawn route, at most a given number, that never hide
// an extreme, taken one at a time in memory bounded by that number.
//
// Rows come in groups (a group is a run of items drawn together, such as the
// items of one GPS fix, or a single item). Each bucket of groups becomes its
// first and last row (or its one row), with each KPI's smallest and largest
// value of the bucket there, in the order they came (the one value in both
// when there is one). A bucket is one group while the rows fit; when they no
// longer do, neighbouring buckets merge two into one and every later bucket
// takes twice as many groups, so the result always holds between about half
// the limit and the limit, spread evenly over the drive, with every dip and
// peak.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wendrake_cli {

// What a drawn row shows besides its KPIs.
struct ThinRow {
  int64_t line = 0;
  int64_t clockMs = 0;
  double latitude = 0, longitude = 0;
  int evdoState = -1;
  int servingCell = -1;  // the row's serving cell, an index into the drive's cells
};

struct ThinnedRows {
  std::vector<ThinRow> rows;
  std::vector<std::vector<double>> kpis;  // kpis[k][row]
  bool thinned = false;                   // buckets were merged
  size_t groups = 0;                      // the groups taken
};

class ExtremeThinner {
 public:
  // At most `limit` rows (at least 2).
  explicit ExtremeThinner(size_t limit);

  // Adds a row, starting a new group or continuing the last one. `kpis`
  // holds `count` values (NaN where none); a later row may have more KPIs
  // than earlier ones, which then had none of the new ones.
  void Add(const ThinRow& row, const double* kpis, size_t count, bool newGroup);

  // The rows, KPIs in the order given; `kpiOrder` picks and orders them.
  ThinnedRows Finish(const std::vector<size_t>& kpiOrder) const;

 private:
  struct Extreme {
    double low, high;
    uint64_t lowAt, highAt;  // the rows' order of arrival
  };
  struct Bucket {
    ThinRow first, last;
    size_t rows = 0, groups = 0;
    std::vector<Extreme> kpis;  // low NaN: no value yet
  };
  static void Merge(Bucket* into, const Bucket& next);
  size_t RowsNeeded() const;

  size_t limit_;
  size_t groupsPerBucket_ = 1;
  size_t groups_ = 0;
  uint64_t arrived_ = 0;
  bool thinned_ = false;
  std::vector<Bucket> buckets_;
  size_t rowsNeeded_ = 0;  // of every bucket: 1 for one row, else 2
};

}  // namespace wendrake_cli
