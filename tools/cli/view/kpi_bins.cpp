#include "view/kpi_bins.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>

namespace wendrake_cli {
namespace {

// Red to green through orange and yellow, worst to best.
constexpr const char* kColours[KpiBins::kCount] = {"#d7191c", "#fdae61", "#ffff40", "#a6d96a", "#1a9641"};

// Bands common in CDMA 1x and EV-DO drive testing: received power and the
// pilot's Ec/Io as coverage and quality, transmit power (high means the
// handset struggles), frame errors, EV-DO SINR and throughput.
constexpr KpiThresholds kDefaults[] = {
    {"Rxagc", {-105, -95, -85, -75}, false},
    {"RxAGC0", {-105, -95, -85, -75}, false},
    {"RxAGC1", {-105, -95, -85, -75}, false},
    {"Total_EcIo", {-15, -12, -9, -6}, false},
    {"MaxEcIo", {-15, -12, -9, -6}, false},
    {"ReferenceEcIo", {-15, -12, -9, -6}, false},
    {"Txpower", {-15, -5, 5, 15}, true},
    {"FFER", {1, 2, 5, 10}, true},
    {"Total_SINR", {-5, 0, 5, 10}, false},
    {"Total_C/I", {-5, 0, 5, 10}, false},
    {"EV_RxRLPThroughput", {100, 300, 600, 1200}, false},
    // A serving cell far away hints at an overshooting cell or a missing
    // neighbour: urban sites stand a few hundred metres apart.
    {kServingDistanceKpi, {500, 1000, 2000, 5000}, true},
};

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool ParseBinMode(std::string_view name, BinMode* mode) {
  if (SameName(name, "thresholds")) *mode = BinMode::kThresholds;
  else if (SameName(name, "range")) *mode = BinMode::kRange;
  else if (SameName(name, "equal-count")) *mode = BinMode::kEqualCount;
  else return false;
  return true;
}

const KpiThresholds* DefaultThresholds(std::string_view kpi) {
  for (const KpiThresholds& defaults : kDefaults) {
    if (SameName(kpi, defaults.kpi)) return &defaults;
  }
  return nullptr;
}

void ValueSketch::Add(double value) {
  if (std::isnan(value)) return;
  if (count_ == 0 || value < low_) low_ = value;
  if (count_ == 0 || value > high_) high_ = value;
  ++count_;
  if (sample_.size() < kSampleSize) {
    sample_.push_back(value);
    return;
  }
  // Keeps the count_-th value with probability kSampleSize / count_, in
  // place of a uniformly chosen one (xorshift: fast, and the same every run).
  random_ ^= random_ << 13;
  random_ ^= random_ >> 7;
  random_ ^= random_ << 17;
  const uint64_t slot = random_ % count_;
  if (slot < kSampleSize) sample_[static_cast<size_t>(slot)] = value;
}

KpiBins KpiBins::Of(const std::vector<double>& values, BinMode mode, std::string_view kpi,
                    const std::vector<double>& edges) {
  ValueSketch sketch;
  for (double value : values) sketch.Add(value);
  return OfSketch(sketch, mode, kpi, edges);
}

KpiBins KpiBins::OfSketch(const ValueSketch& values, BinMode mode, std::string_view kpi,
                          const std::vector<double>& edges) {
  KpiBins bins;
  bins.low = bins.high = std::nan("");
  if (values.count() > 0) bins.low = values.low(), bins.high = values.high();
  const KpiThresholds* defaults = DefaultThresholds(kpi);
  bins.lowIsGood = defaults != nullptr && defaults->lowIsGood;
  if (mode == BinMode::kThresholds && (edges.size() == kCount - 1 || defaults != nullptr)) {
    bins.thresholds = true;
    for (int e = 0; e < kCount - 1; ++e) bins.edges[e] = edges.size() == kCount - 1 ? edges[e] : defaults->edges[e];
  } else if (mode == BinMode::kEqualCount && values.count() > 0) {
    std::vector<double> sorted = values.sample();
    for (int e = 0; e < kCount - 1; ++e) {
      const auto at = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() * (e + 1) / kCount);
      std::nth_element(sorted.begin(), at, sorted.end());
      bins.edges[e] = *at;
    }
  } else {
    for (int e = 0; e < kCount - 1; ++e) bins.edges[e] = bins.low + (bins.high - bins.low) * (e + 1) / kCount;
  }
  return bins;
}

int KpiBins::Bin(double value) const {
  if (std::isnan(value) || (!thresholds && std::isnan(low))) return -1;
  if (single()) return kCount - 1;
  int bin = 0;
  while (bin < kCount - 1 && value >= edges[bin]) ++bin;
  return bin;
}

double KpiBins::Lower(int bin) const { return bin == 0 ? low : edges[bin - 1]; }
double KpiBins::Upper(int bin) const { return bin + 1 >= kCount ? high : edges[bin]; }

std::string KpiBins::Range(int bin) const {
  if (single()) return fmt::format("all {}", low);
  // The same decimals for every bin: as many as the given edges have (up to
  // three), or for computed edges enough to tell them apart.
  int decimals = 0;
  if (thresholds) {
    for (double edge : edges) {
      while (decimals < 3 && std::fabs(edge * std::pow(10, decimals) - std::round(edge * std::pow(10, decimals))) > 1e-9) {
        ++decimals;
      }
    }
  } else {
    double step = edges[kCount - 2] - edges[0];
    step = step > 0 ? step / (kCount - 2) : high - low;
    decimals = step >= 10 ? 0 : step >= 1 ? 1 : step >= 0.1 ? 2 : 3;
  }
  if (thresholds && bin == 0) return fmt::format("below {:.{}f}", edges[0], decimals);
  if (thresholds && bin == kCount - 1) return fmt::format("{:.{}f} and above", edges[kCount - 2], decimals);
  return fmt::format("{:.{}f} to {:.{}f}", Lower(bin), decimals, Upper(bin), decimals);
}

std::string KpiBins::Colour(int bin) const {
  if (bin < 0 || bin >= kCount) return NoValueColour();
  return kColours[lowIsGood ? kCount - 1 - bin : bin];
}

std::string KpiBins::NoValueColour() { return "#808080"; }

}  // namespace wendrake_cli
