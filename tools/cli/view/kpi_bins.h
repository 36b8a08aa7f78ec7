// Colour classes of a KPI along the route: five equal bins between its
// smallest and largest value, coloured from red (lowest) to green (highest).
#pragma once

#include <string>
#include <vector>

namespace wendrake_cli {

struct KpiBins {
  static constexpr int kCount = 5;
  double low = 0, high = 0;  // the range the bins split; low == high: one value

  // Bins spanning `values` (NaNs ignored); low = high = NaN when none.
  static KpiBins Of(const std::vector<double>& values);
  // Bin of a value, 0..kCount-1; -1 for NaN.
  int Bin(double value) const;
  // Lower and upper edge of a bin.
  double Lower(int bin) const;
  double Upper(int bin) const;
  // "LOW to HIGH" of a bin, both with the same decimals, enough to tell the
  // bins apart; "all VALUE" when the KPI has one value.
  std::string Range(int bin) const;
  // "#RRGGBB" of a bin; grey for -1.
  static std::string Colour(int bin);
};

}  // namespace wendrake_cli
