#include "view/serving_cell.h"

#include <cmath>
#include <limits>

namespace wendrake_cli {

double GroundDistance(double latitude1, double longitude1, double latitude2, double longitude2) {
  constexpr double kEarthRadius = 6371008.8;  // metres, the mean radius
  constexpr double kRadians = M_PI / 180;
  const double dLat = (latitude2 - latitude1) * kRadians;
  const double dLon = (longitude2 - longitude1) * kRadians;
  // Haversine: stays accurate for the short distances of a drive.
  const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                   std::cos(latitude1 * kRadians) * std::cos(latitude2 * kRadians) * std::sin(dLon / 2) * std::sin(dLon / 2);
  return 2 * kEarthRadius * std::asin(std::sqrt(std::fmin(1.0, a)));
}

int NearestCellWithPn(const std::vector<DriveCell>& cells, int technology, int pn, double latitude, double longitude) {
  int nearest = -1;
  double best = std::numeric_limits<double>::infinity();
  for (size_t c = 0; c < cells.size(); ++c) {
    const DriveCell& cell = cells[c];
    if (cell.pilotPn != pn || cell.technology != technology || !cell.positioned()) continue;
    const double distance = GroundDistance(latitude, longitude, cell.latitude, cell.longitude);
    if (distance < best) {
      best = distance;
      nearest = static_cast<int>(c);
    }
  }
  return nearest;
}

void LinkNeighbourCells(std::vector<DriveCell>* cells) {
  for (DriveCell& cell : *cells) {
    cell.neighbourCells.clear();
    for (int pn : cell.neighbours) {
      cell.neighbourCells.push_back(
          cell.positioned() ? NearestCellWithPn(*cells, cell.technology, pn, cell.latitude, cell.longitude) : -1);
    }
  }
}

void ServingCellTracker::Assign(int pn, double latitude, double longitude, int* cell, double* distance) {
  if (pn < 0) {
    *cell = -1;
    *distance = kNoValue;
    return;
  }
  if (pn != lastPn_ || latitude != lastLatitude_ || longitude != lastLongitude_) {
    lastCell_ = NearestCellWithPn(cells_, WENDRAKE_CELL_1X, pn, latitude, longitude);
    lastDistance_ = kNoValue;
    if (lastCell_ >= 0) {
      const DriveCell& found = cells_[static_cast<size_t>(lastCell_)];
      lastDistance_ = GroundDistance(latitude, longitude, found.latitude, found.longitude);
    }
    lastPn_ = pn, lastLatitude_ = latitude, lastLongitude_ = longitude;
  }
  *cell = lastCell_;
  *distance = lastDistance_;
}

}  // namespace wendrake_cli
