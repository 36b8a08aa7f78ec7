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

void AssignServingCells(DriveView* view) {
  for (DriveCell& cell : view->cells) {
    cell.neighbourCells.clear();
    for (int pn : cell.neighbours) {
      cell.neighbourCells.push_back(
          cell.positioned() ? NearestCellWithPn(view->cells, cell.technology, pn, cell.latitude, cell.longitude) : -1);
    }
  }
  bool anyPositioned = false;
  for (const DriveCell& cell : view->cells) anyPositioned = anyPositioned || cell.positioned();
  if (!anyPositioned) return;
  view->kpiNames.push_back(kServingDistanceKpi);
  view->kpiUnits.push_back("m");
  int pn = -1;
  // Consecutive items at one position with one PN share a cell: looked up once.
  int lastPn = -1, lastCell = -1;
  double lastLatitude = kNoValue, lastLongitude = kNoValue;
  for (DriveItem& item : view->items) {
    if (item.reportedPn >= 0) pn = item.reportedPn;
    item.servingCell = -1;
    double distance = kNoValue;
    if (pn >= 0 && item.positioned()) {
      if (pn != lastPn || item.latitude != lastLatitude || item.longitude != lastLongitude) {
        lastCell = NearestCellWithPn(view->cells, WENDRAKE_CELL_1X, pn, item.latitude, item.longitude);
        lastPn = pn, lastLatitude = item.latitude, lastLongitude = item.longitude;
      }
      item.servingCell = lastCell;
      if (lastCell >= 0) {
        const DriveCell& cell = view->cells[static_cast<size_t>(lastCell)];
        distance = GroundDistance(item.latitude, item.longitude, cell.latitude, cell.longitude);
      }
    }
    item.kpis.push_back(distance);
  }
}

}  // namespace wendrake_cli
