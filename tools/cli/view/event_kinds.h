// Kinds of event as the report's legend and the map's styles show them: the
// kinds by how often they occur, the most frequent with a colour each, the
// rest sharing grey, so that a kind has the same colour on the page and in
// QGIS.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace wendrake_cli {

// How many kinds get a colour of their own.
constexpr size_t kEventColourCount = 8;

struct EventKind {
  std::string name;
  size_t count = 0;
};

// The name an event goes by: its "EventName", or "event 0xNNNN" (the low
// 16 bits of its code) when it has none.
std::string EventKindName(std::string_view eventName, uint32_t code);

// The kinds among `names`, most frequent first, ties in byte order of the
// name, so that the order never depends on where a kind first occurs.
std::vector<EventKind> RankEventKinds(const std::vector<std::string>& names);
// The same from each kind's count.
std::vector<EventKind> RankEventKinds(const std::map<std::string, size_t>& counts);

// "#RRGGBB" of the kind of rank `rank` in RankEventKinds; grey from rank
// kEventColourCount on.
std::string EventKindColour(size_t rank);

}  // namespace wendrake_cli
