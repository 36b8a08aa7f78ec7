#include "view/kpi_bins.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

namespace wendrake_cli {
namespace {

// Red to green through orange and yellow; the report page uses the same.
constexpr const char* kColours[KpiBins::kCount] = {"#d7191c", "#fdae61", "#ffff40", "#a6d96a", "#1a9641"};

}  // namespace

KpiBins KpiBins::Of(const std::vector<double>& values) {
  KpiBins bins;
  bins.low = bins.high = std::nan("");
  for (double value : values) {
    if (std::isnan(value)) continue;
    if (std::isnan(bins.low) || value < bins.low) bins.low = value;
    if (std::isnan(bins.high) || value > bins.high) bins.high = value;
  }
  return bins;
}

int KpiBins::Bin(double value) const {
  if (std::isnan(value) || std::isnan(low)) return -1;
  if (high <= low) return kCount - 1;
  const int bin = static_cast<int>((value - low) / (high - low) * kCount);
  return std::clamp(bin, 0, kCount - 1);
}

double KpiBins::Lower(int bin) const { return low + (high - low) * bin / kCount; }
double KpiBins::Upper(int bin) const { return bin + 1 >= kCount ? high : low + (high - low) * (bin + 1) / kCount; }

std::string KpiBins::Range(int bin) const {
  if (!(high > low)) return fmt::format("all {}", low);
  const double step = (high - low) / kCount;
  const int decimals = step >= 10 ? 0 : step >= 1 ? 1 : step >= 0.1 ? 2 : 3;
  return fmt::format("{:.{}f} to {:.{}f}", Lower(bin), decimals, Upper(bin), decimals);
}

std::string KpiBins::Colour(int bin) { return bin >= 0 && bin < kCount ? kColours[bin] : "#808080"; }

}  // namespace wendrake_cli
