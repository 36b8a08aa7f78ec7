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

DriveItem Item(double latitude, double longitude, int reportedPn = -1) {
  DriveItem item;
  item.latitude = latitude;
  item.longitude = longitude;
  item.reportedPn = reportedPn;
  return item;
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

TEST(ServingCellTest, ThePnHoldsUntilTheNextReportAndTheDistanceIsAKpi) {
  DriveView view;
  view.kpiNames = {"Rxagc"};
  view.kpiUnits = {"dBm"};
  view.cells = {Cell(WENDRAKE_CELL_1X, 168, 30.21, 120.1, {240, 312}), Cell(WENDRAKE_CELL_1X, 240, 30.25, 120.1, {168})};
  view.items = {Item(30.2, 120.1),        // before any report: no cell
                Item(30.2, 120.1, 168),   // reports 168
                Item(kNoValue, kNoValue), // no position: no line to draw
                Item(30.22, 120.1),       // still 168
                Item(30.23, 120.1, 240),  // now 240
                Item(30.24, 120.1, 999)}; // a PN no cell has: none, not the last one
  for (DriveItem& item : view.items) item.kpis = {-80};
  AssignServingCells(&view);
  ASSERT_EQ(view.kpiNames.back(), kServingDistanceKpi);
  EXPECT_EQ(view.kpiUnits.back(), "m");
  const std::vector<int> expected = {-1, 0, -1, 0, 1, -1};
  for (size_t i = 0; i < view.items.size(); ++i) {
    const DriveItem& item = view.items[i];
    ASSERT_EQ(item.kpis.size(), 2u) << i;
    EXPECT_EQ(item.servingCell, expected[i]) << i;
    if (expected[i] < 0) {
      EXPECT_TRUE(std::isnan(item.kpis[1])) << i;
    } else {
      const DriveCell& cell = view.cells[static_cast<size_t>(expected[i])];
      EXPECT_DOUBLE_EQ(item.kpis[1], GroundDistance(item.latitude, item.longitude, cell.latitude, cell.longitude));
    }
  }
  EXPECT_NEAR(view.items[1].kpis[1], 1111.95, 0.01);  // 0.01 degree of latitude
  // Neighbour PNs resolve to cells the same way; one not heard stays -1.
  EXPECT_EQ(view.cells[0].neighbourCells, (std::vector<int>{1, -1}));
  EXPECT_EQ(view.cells[1].neighbourCells, (std::vector<int>{0}));
}

TEST(ServingCellTest, WithoutPositionedCellsNoKpiIsAdded) {
  DriveView view;
  view.kpiNames = {"Rxagc"};
  view.cells = {Cell(WENDRAKE_CELL_1X, 168, kNoValue, kNoValue, {240})};
  view.items = {Item(30.2, 120.1, 168)};
  view.items[0].kpis = {-80};
  AssignServingCells(&view);
  EXPECT_EQ(view.kpiNames.size(), 1u);
  EXPECT_EQ(view.items[0].kpis.size(), 1u);
  EXPECT_EQ(view.items[0].servingCell, -1);
  EXPECT_EQ(view.cells[0].neighbourCells, (std::vector<int>{-1}));
}

}  // namespace
}  // namespace wendrake_cli
