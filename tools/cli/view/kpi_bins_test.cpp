// The route's colour bins: fixed bands that compare drives, bins of equal
// counts, one value, and colours that put the worst values in red.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "view/kpi_bins.h"

namespace wendrake_cli {
namespace {

constexpr const char* kRed = "#d7191c";
constexpr const char* kGreen = "#1a9641";

std::array<int, KpiBins::kCount> Counts(const KpiBins& bins, const std::vector<double>& values) {
  std::array<int, KpiBins::kCount> counts{};
  for (double v : values) ++counts[static_cast<size_t>(bins.Bin(v))];
  return counts;
}

TEST(KpiBinsTest, ThresholdsAreTheSameForEveryDrive) {
  const KpiBins weak = KpiBins::Of({-110, -100, -99}, BinMode::kThresholds, "rxagc");
  const KpiBins strong = KpiBins::Of({-70, -60}, BinMode::kThresholds, "Rxagc");
  for (int b = 0; b < KpiBins::kCount; ++b) EXPECT_EQ(weak.Range(b), strong.Range(b));
  EXPECT_EQ(weak.Range(0), "below -105");
  EXPECT_EQ(weak.Range(2), "-95 to -85");
  EXPECT_EQ(weak.Range(4), "-75 and above");
  EXPECT_EQ(weak.Bin(-105.01), 0);
  EXPECT_EQ(weak.Bin(-105), 1);  // an edge belongs to the bin above it
  EXPECT_EQ(weak.Bin(-20), 4);
  EXPECT_EQ(weak.Bin(std::nan("")), -1);
  EXPECT_EQ(weak.Colour(0), kRed);
  // A KPI whose high values are the bad ones: red at the top.
  const KpiBins power = KpiBins::Of({0}, BinMode::kThresholds, "Txpower");
  EXPECT_EQ(power.Colour(power.Bin(20)), kRed);
  EXPECT_EQ(power.Colour(power.Bin(-20)), kGreen);
  // Given edges win; a KPI without bands or edges gets range bins.
  const KpiBins given = KpiBins::Of({1}, BinMode::kThresholds, "Rxagc", {-90, -80, -70.5, -60});
  EXPECT_EQ(given.Range(2), "-80.0 to -70.5");
  const KpiBins other = KpiBins::Of({0, 10}, BinMode::kThresholds, "Freq");
  EXPECT_FALSE(other.thresholds);
  EXPECT_EQ(other.Range(0), "0.0 to 2.0");
  // Thresholds colour a drive without values in range too (a fixed legend).
  EXPECT_TRUE(KpiBins::Of({}, BinMode::kThresholds, "Total_EcIo").thresholds);
}

TEST(KpiBinsTest, RangeAndEqualCountBins) {
  std::vector<double> skewed;
  for (int i = 0; i < 1000; ++i) skewed.push_back(i < 900 ? -70 + i * 0.001 : -100 + i * 0.01);
  const KpiBins range = KpiBins::Of(skewed, BinMode::kRange, "Rxagc");
  EXPECT_EQ(range.Lower(0), range.low);
  EXPECT_EQ(range.Upper(KpiBins::kCount - 1), range.high);
  EXPECT_EQ(Counts(range, skewed)[0], 100);
  const KpiBins equal = KpiBins::Of(skewed, BinMode::kEqualCount, "Rxagc");
  for (int count : Counts(equal, skewed)) EXPECT_EQ(count, 200);
  // Every legend number has the same decimals.
  for (int b = 0; b < KpiBins::kCount; ++b) EXPECT_NE(equal.Range(b).find('.'), std::string::npos) << equal.Range(b);
}

TEST(KpiBinsTest, OneValueIsOneBin) {
  for (BinMode mode : {BinMode::kRange, BinMode::kEqualCount}) {
    const KpiBins bins = KpiBins::Of({-10, -10, std::nan("")}, mode, "Freq");
    EXPECT_TRUE(bins.single());
    EXPECT_EQ(bins.Bin(-10), KpiBins::kCount - 1);
    EXPECT_EQ(bins.Range(KpiBins::kCount - 1), "all -10");
  }
  const KpiBins none = KpiBins::Of({std::nan("")}, BinMode::kRange, "Freq");
  EXPECT_EQ(none.Bin(1), -1);
  EXPECT_EQ(KpiBins::NoValueColour(), none.Colour(-1));
}

// Far more values than the sketch keeps: the extremes stay exact (a single
// dip reaches the legend) and equal-count bins stay close to even, in a
// sample of bounded size.
TEST(KpiBinsTest, SketchOfManyValuesKeepsExtremesAndQuantiles) {
  ValueSketch sketch;
  const size_t n = ValueSketch::kSampleSize * 8;
  std::vector<double> values;
  for (size_t i = 0; i < n; ++i) {
    const double value = i == n / 3 ? -130.25 : -90 + static_cast<double>((i * 7919) % 1000) * 0.03;
    sketch.Add(value);
    values.push_back(value);
  }
  sketch.Add(std::nan(""));
  EXPECT_EQ(sketch.count(), n);
  EXPECT_EQ(sketch.sample().size(), ValueSketch::kSampleSize);
  EXPECT_EQ(sketch.low(), -130.25);
  const KpiBins equal = KpiBins::OfSketch(sketch, BinMode::kEqualCount, "Rxagc");
  EXPECT_EQ(equal.low, -130.25);
  for (int count : Counts(equal, values)) EXPECT_NEAR(count, static_cast<double>(n) / KpiBins::kCount, n * 0.01);
  const KpiBins range = KpiBins::OfSketch(sketch, BinMode::kRange, "Rxagc");
  EXPECT_EQ(range.Bin(-130.25), 0);
}

TEST(KpiBinsTest, ModeNames) {
  BinMode mode = BinMode::kRange;
  EXPECT_TRUE(ParseBinMode("Equal-Count", &mode));
  EXPECT_EQ(mode, BinMode::kEqualCount);
  EXPECT_TRUE(ParseBinMode("thresholds", &mode));
  EXPECT_EQ(mode, BinMode::kThresholds);
  EXPECT_FALSE(ParseBinMode("quantiles", &mode));
}

}  // namespace
}  // namespace wendrake_cli
