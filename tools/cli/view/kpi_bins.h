// Colour classes of a KPI along the route: five bins coloured from red
// (worst) to green (best). The bins are either fixed thresholds, the same
// for every drive so that two drives compare (defaults for the usual radio
// KPIs, below), five equal steps between the KPI's smallest and largest
// value, or five bins holding about as many values each.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wendrake_cli {

// The numbers are those of the map module's interface (bin_mode).
enum class BinMode { kThresholds = 0, kRange = 1, kEqualCount = 2 };

// "thresholds", "range" or "equal-count" (any case); false for anything else.
bool ParseBinMode(std::string_view name, BinMode* mode);

// The usual thresholds of a KPI: four ascending edges between the five
// bins, and whether low values are the good ones. Null when it has none.
struct KpiThresholds {
  const char* kpi;
  double edges[4];
  bool lowIsGood;
};
const KpiThresholds* DefaultThresholds(std::string_view kpi);

// How the route is coloured: by KPI `kpi` (an index into the drive's KPIs;
// -1: none) in bins of `mode`, `edges` overriding that KPI's thresholds.
struct RouteColouring {
  int kpi = -1;
  BinMode mode = BinMode::kThresholds;
  std::vector<double> edges;
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
