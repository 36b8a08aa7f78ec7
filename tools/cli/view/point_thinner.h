// Fewer points for a map, by distance, hiding no extreme: consecutive
// positioned items within a given distance of the first of them form a
// bucket, and a bucket becomes its first and last item (or its one item),
// each KPI's smallest and largest value of the bucket put on those two in
// the order they came (the one value on both when there is one). A dip the
// analyst looks for thus stays on the map, at most the distance away from
// where it was measured. Memory is one bucket's, whatever the drive's size.
#pragma once

#include <cstdint>
#include <vector>

#include "view/drive_view.h"

namespace wendrake_cli {

// Metres between two positions (an equirectangular approximation, good to
// well under one per cent over the short distances thinning uses).
double DistanceMetres(double latitude1, double longitude1, double latitude2, double longitude2);

class PointThinner {
 public:
  explicit PointThinner(double metres) : metres_(metres) {}

  // Takes the next positioned item; a bucket it ends is appended to *out.
  void Add(const DriveItem& item, std::vector<DriveItem>* out);
  // Appends the last bucket to *out.
  void Finish(std::vector<DriveItem>* out);

 private:
  struct Extreme {
    double low, high;
    uint64_t lowAt, highAt;
  };

  double metres_;
  uint64_t arrived_ = 0;
  size_t size_ = 0;  // items in the bucket; 0: none yet
  DriveItem first_, last_;
  std::vector<Extreme> extremes_;
};

}  // namespace wendrake_cli
