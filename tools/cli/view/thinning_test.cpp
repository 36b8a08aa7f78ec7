// Thinning for charts, routes and map points: however hard a drive is
// thinned, a dip of one item still shows, in bounded memory.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "view/extreme_thinner.h"
#include "view/point_thinner.h"

namespace wendrake_cli {
namespace {

double Lowest(const std::vector<double>& values) {
  double low = kNoValue;
  for (double v : values) low = std::isnan(low) || v < low ? v : low;
  return low;
}

double Highest(const std::vector<double>& values) {
  double high = kNoValue;
  for (double v : values) high = std::isnan(high) || v > high ? v : high;
  return high;
}

ThinRow RowAt(size_t i) { return ThinRow{static_cast<int64_t>(i), static_cast<int64_t>(i) * 250, 30, 120, -1}; }

// The extremes, the first and the last item survive any limit; the second
// KPI appears only after the first rows, as a log's later columns do.
TEST(ThinningTest, ThinnerKeepsEveryExtremeAtAnyLimit) {
  for (size_t limit : {2, 3, 100, 5000}) {
    ExtremeThinner thinner(limit);
    double top = kNoValue;
    for (size_t i = 0; i < 10001; ++i) {
      std::vector<double> kpis = {std::sin(static_cast<double>(i) * 0.37) * 10};
      if (i >= 50) kpis.push_back(i % 7 == 0 ? kNoValue : static_cast<double>(i));
      if (i == 4321) kpis[0] = -99.58;
      top = std::isnan(top) || kpis[0] > top ? kpis[0] : top;
      thinner.Add(RowAt(i), kpis.data(), kpis.size(), true);
    }
    const ThinnedRows thin = thinner.Finish({0, 1});
    EXPECT_TRUE(thin.thinned);
    EXPECT_EQ(thin.groups, 10001u);
    EXPECT_LE(thin.rows.size(), limit);
    EXPECT_GE(thin.rows.size(), limit / 2);
    EXPECT_EQ(thin.rows.front().line, 0);
    EXPECT_EQ(thin.rows.back().line, 10000);
    ASSERT_EQ(thin.kpis.size(), 2u);
    EXPECT_EQ(thin.kpis[0].size(), thin.rows.size());
    EXPECT_EQ(thin.kpis[1].size(), thin.rows.size());
    EXPECT_EQ(Lowest(thin.kpis[0]), -99.58) << limit;
    EXPECT_EQ(Highest(thin.kpis[0]), top) << limit;
    EXPECT_EQ(Lowest(thin.kpis[1]), 50) << limit;
    EXPECT_EQ(Highest(thin.kpis[1]), 10000) << limit;
  }
}

// Rows that fit stay as they are; a group of several rows (the items of one
// fix) is drawn as its first and last row with its extremes in the order
// they came, a group of one row as that row.
TEST(ThinningTest, GroupsThatFitKeepTheirRows) {
  ExtremeThinner thinner(5000);
  const double values[] = {1, 9, 2, kNoValue, 7, 5};
  const bool starts[] = {true, false, true, false, true, true};
  for (size_t i = 0; i < 6; ++i) thinner.Add(RowAt(i), &values[i], 1, starts[i]);
  const ThinnedRows drawn = thinner.Finish({0});
  EXPECT_FALSE(drawn.thinned);
  EXPECT_EQ(drawn.groups, 4u);
  std::vector<int64_t> lines;
  for (const ThinRow& row : drawn.rows) lines.push_back(row.line);
  EXPECT_EQ(lines, (std::vector<int64_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(drawn.kpis[0], (std::vector<double>{1, 9, 2, 2, 7, 5}));
  // Picking no KPI leaves the rows.
  EXPECT_TRUE(thinner.Finish({}).kpis.empty());
}

DriveItem PointAt(double metresNorth, double value) {
  DriveItem item;
  item.latitude = 30 + metresNorth / 111195.0;
  item.longitude = 120;
  item.kpis = {value};
  return item;
}

TEST(ThinningTest, DistanceOfPositions) {
  EXPECT_NEAR(DistanceMetres(30, 120, 30.001, 120), 111.2, 0.1);
  EXPECT_NEAR(DistanceMetres(60, 10, 60, 10.002), 111.2, 0.2);  // a degree east is shorter up north
  EXPECT_EQ(DistanceMetres(1, 2, 1, 2), 0);
}

// Points within the distance of a run's first become its first and last,
// carrying the run's lowest and highest value in the order they came.
TEST(ThinningTest, PointsThinnedByDistanceKeepTheirExtremes) {
  PointThinner thinner(100);
  std::vector<DriveItem> out;
  // A run of 50 items 1 m apart with a dip in the middle, then one far away,
  // then one more 500 m on.
  for (int i = 0; i < 50; ++i) thinner.Add(PointAt(i, i == 20 ? -120.5 : -70 - i * 0.1), &out);
  EXPECT_TRUE(out.empty());
  thinner.Add(PointAt(1000, -60), &out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].latitude, PointAt(0, 0).latitude);
  EXPECT_EQ(out[1].latitude, PointAt(49, 0).latitude);
  EXPECT_EQ(out[0].kpis[0], -70);      // the highest came first
  EXPECT_EQ(out[1].kpis[0], -120.5);   // then the dip
  thinner.Add(PointAt(1500, kNoValue), &out);
  thinner.Finish(&out);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[2].kpis[0], -60);  // a run of one item stays as it was
  EXPECT_TRUE(std::isnan(out[3].kpis[0]));
  thinner.Finish(&out);
  EXPECT_EQ(out.size(), 4u);
}

}  // namespace
}  // namespace wendrake_cli
