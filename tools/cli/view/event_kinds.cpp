#include "view/event_kinds.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>

#include "view/kpi_bins.h"

namespace wendrake_cli {
namespace {

// Distinct hues that stay apart from the route's red-to-green bins.
constexpr const char* kEventColours[kEventColourCount] = {"#7b3294", "#e66101", "#0571b0", "#ca0020",
                                                          "#008837", "#b8860b", "#de77ae", "#35978f"};

}  // namespace

std::string EventKindName(std::string_view eventName, uint32_t code) {
  if (!eventName.empty()) return std::string(eventName);
  return fmt::format("event 0x{:04X}", code & 0xFFFF);
}

std::vector<EventKind> RankEventKinds(const std::vector<std::string>& names) {
  std::map<std::string, size_t> counts;
  for (const std::string& name : names) ++counts[name];
  return RankEventKinds(counts);
}

std::vector<EventKind> RankEventKinds(const std::map<std::string, size_t>& counts) {
  std::vector<EventKind> kinds;
  kinds.reserve(counts.size());
  for (const auto& [name, count] : counts) kinds.push_back(EventKind{name, count});
  // The map gives byte order; a stable sort by count keeps it among equals.
  std::stable_sort(kinds.begin(), kinds.end(), [](const EventKind& a, const EventKind& b) { return a.count > b.count; });
  return kinds;
}

std::string EventKindColour(size_t rank) {
  return rank < kEventColourCount ? kEventColours[rank] : KpiBins::NoValueColour();
}

}  // namespace wendrake_cli
