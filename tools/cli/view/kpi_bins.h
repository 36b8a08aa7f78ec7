// Colour classes of a KPI along the route: five bins coloured from red
// (worst) to green (best). The bins are either fixed thresholds, the same
// for every drive so that two drives compare (defaults for the usual radio
// KPIs, below), five equal steps between the KPI's smallest and largest
// value, or five bins holding about as many values each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wendrake_cli {

// The numbers are those of the map module's interface (bin_mode).
enum class BinMode { kThresholds = 0, kRange = 1, kEqualCount = 2 };

// "thresholds", "range" or "equal-count" (any case); false for anything else.
bool ParseBinMode(std::string_view name, BinMode* mode);

// The KPI of the distance to the serving cell, in metres (serving_cell.h).
inline constexpr const char* kServingDistanceKpi = "ServingCellDistance";

// The usual thresholds of a KPI: four ascending edges between the five
// bins, and whether low values are the good ones. Null when it has none.
struct KpiThresholds {
  const char* kpi;
  double edges[4];
  bool lowIsGood;
};
const KpiThresholds* DefaultThresholds(std::string_view kpi);

// How the route is coloured: by the KPI named `kpi` ("": the usual choice)
// in bins of `mode`, `edges` overriding that KPI's thresholds.
struct RouteColouring {
  std::string kpi;
  BinMode mode = BinMode::kThresholds;
  std::vector<double> edges;
};

// A KPI's values as bins need them, taken one at a time in bounded memory:
// the count, the exact smallest and largest value, and for equal-count
// edges a uniform sample of at most kSampleSize values (reservoir
// sampling). Up to kSampleSize values the sample is every value, so the
// edges are exact; beyond it they are the sample's quantiles, within a
// fraction of a percent of the true ones, while the legend's outer ends
// stay the true extremes.
class ValueSketch {
 public:
  static constexpr size_t kSampleSize = size_t{1} << 16;

  void Add(double value);  // NaN is ignored
  size_t count() const { return count_; }
  double low() const { return low_; }
  double high() const { return high_; }
  const std::vector<double>& sample() const { return sample_; }

 private:
  size_t count_ = 0;
  double low_ = 0, high_ = 0;
  std::vector<double> sample_;
  uint64_t random_ = 0x9E3779B97F4A7C15u;  // a fixed seed: the same log gives the same file
};

struct KpiBins {
  static constexpr int kCount = 5;
  double low = 0, high = 0;   // the KPI's smallest and largest value; NaN when none
  double edges[kCount - 1] = {};  // bin b holds the values from edges[b - 1] up to edges[b]
  bool thresholds = false;    // fixed edges: the outer bins are open ("below", "and above")
  bool lowIsGood = false;     // the colours run from green (lowest) to red

  // The bins of `values` (NaNs ignored) for KPI `kpi`. In threshold mode,
  // `edges` (four ascending numbers) override the KPI's defaults; a KPI
  // without either gets range bins.
  static KpiBins Of(const std::vector<double>& values, BinMode mode, std::string_view kpi,
                    const std::vector<double>& edges = {});
  static KpiBins OfSketch(const ValueSketch& values, BinMode mode, std::string_view kpi,
                          const std::vector<double>& edges = {});
  // Bin of a value, 0..kCount-1; -1 for NaN.
  int Bin(double value) const;
  // True when every value is one: one bin, kCount - 1, holds them all.
  bool single() const { return !thresholds && !(high > low); }
  // Lower and upper edge of a bin (the KPI's extremes for the outer ones).
  double Lower(int bin) const;
  double Upper(int bin) const;
  // The bin's values as a legend says them: "-95.0 to -85.0", "below -105.0",
  // "-75.0 and above", "all -10"; one number format for every bin.
  std::string Range(int bin) const;
  // "#RRGGBB" of a bin, red for the worst values; grey for -1.
  std::string Colour(int bin) const;
  static std::string NoValueColour();
};

}  // namespace wendrake_cli
