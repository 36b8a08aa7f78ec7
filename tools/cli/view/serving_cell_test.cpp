// The serving cell: the PN the handset last reported, matched to the
// nearest cell with that PN; its distance as a KPI.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "view/serving_cell.h"

namespace wendrake_cli {
namespace {

DriveCell Cell(int technology, int pn, double latitude, double longitude, std::vector<int> neighbours = {}) {
  DriveCell cell;
  cell.technology = technology;
  cell.pilotPn = pn;
  cell.latitude = latitude;
  cell.longitude = longitude;
  cell.neighbours = std::move(neighbours);
  return cell;
}

TEST(ServingCellTest, GroundDistanceMatchesKnownLengths) {
  // One minute of latitude is a nautical mile on the sphere: 1853.2 m at the mean radius.
  EXPECT_NEAR(GroundDistance(30, 120, 30 + 1.0 / 60, 120), 1853.25, 0.01);
  // A degree of longitude shrinks with the cosine of the latitude (the great
  // circle cuts a little inside the parallel).
  EXPECT_NEAR(GroundDistance(60, 10, 60, 11), GroundDistance(0, 10, 0, 11) / 2, 1);
  EXPECT_EQ(GroundDistance(30.2, 120.1, 30.2, 120.1), 0);
  // Antipodes: half the circumference, not NaN from rounding past 1.
  EXPECT_NEAR(GroundDistance(0, 0, 0, 180), M_PI * 6371008.8, 1);
}

TEST(ServingCellTest, NearestCellOfThePnAndTechnology) {
  const std::vector<DriveCell> cells = {
      Cell(WENDRAKE_CELL_1X, 168, 31.0, 120.0),          // far, same PN
      Cell(WENDRAKE_CELL_EVDO, 168, 30.2, 120.1),        // nearest, but EV-DO
      Cell(WENDRAKE_CELL_1X, 168, 30.21, 120.1),         // the one
      Cell(WENDRAKE_CELL_1X, 168, kNoValue, kNoValue),   // no position: never chosen
      Cell(WENDRAKE_CELL_1X, 240, 30.2, 120.1)};
  EXPECT_EQ(NearestCellWithPn(cells, WENDRAKE_CELL_1X, 168, 30.2, 120.1), 2);
  EXPECT_EQ(NearestCellWithPn(cells, WENDRAKE_CELL_EVDO, 168, 30.2, 120.1), 1);
  EXPECT_EQ(NearestCellWithPn(cells, WENDRAKE_CELL_1X, 168, 31.1, 120.0), 0);
  EXPECT_EQ(NearestCellWithPn(cells, WENDRAKE_CELL_1X, 312, 30.2, 120.1), -1);
}

TEST(ServingCellTest, ThePnHoldsUntilTheNextReport) {
  const std::vector<DriveCell> cells = {Cell(WENDRAKE_CELL_1X, 168, 30.21, 120.1), Cell(WENDRAKE_CELL_1X, 240, 30.25, 120.1)};
  ServingCellTracker tracker(cells);
  int cell = 7;
  double distance = 0;
  tracker.Assign(-1, 30.2, 120.1, &cell, &distance);  // before any report: no cell
  EXPECT_EQ(cell, -1);
  EXPECT_TRUE(std::isnan(distance));
  tracker.Assign(168, 30.2, 120.1, &cell, &distance);
  EXPECT_EQ(cell, 0);
  EXPECT_NEAR(distance, 1111.95, 0.01);  // 0.01 degree of latitude
  // The same PN at another position: looked up again, not the cached distance.
  tracker.Assign(168, 30.22, 120.1, &cell, &distance);
  EXPECT_EQ(cell, 0);
  EXPECT_NEAR(distance, 1111.95, 0.01);
  tracker.Assign(240, 30.23, 120.1, &cell, &distance);
  EXPECT_EQ(cell, 1);
  EXPECT_DOUBLE_EQ(distance, GroundDistance(30.23, 120.1, 30.25, 120.1));
  // A PN no cell has: none, never the last one found.
  tracker.Assign(999, 30.24, 120.1, &cell, &distance);
  EXPECT_EQ(cell, -1);
  EXPECT_TRUE(std::isnan(distance));
}

TEST(ServingCellTest, NeighbourPnsLinkToTheNearestCellWithThem) {
  std::vector<DriveCell> cells = {Cell(WENDRAKE_CELL_1X, 168, 30.21, 120.1, {240, 312}),
                                  Cell(WENDRAKE_CELL_1X, 240, 30.25, 120.1, {168}),
                                  Cell(WENDRAKE_CELL_1X, 240, 35.0, 120.1, {}),
                                  Cell(WENDRAKE_CELL_1X, 168, kNoValue, kNoValue, {240})};
  LinkNeighbourCells(&cells);
  EXPECT_EQ(cells[0].neighbourCells, (std::vector<int>{1, -1}));  // the near 240; 312 never heard
  EXPECT_EQ(cells[1].neighbourCells, (std::vector<int>{0}));
  EXPECT_EQ(cells[3].neighbourCells, (std::vector<int>{-1}));     // no position to be near to
}

}  // namespace
}  // namespace wendrake_cli
