// The kinds of event rank the same on the page and in the map's styles,
// whatever order the log gives them in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "view/event_kinds.h"
#include "view/kpi_bins.h"

namespace wendrake_cli {
namespace {

std::vector<std::string> Names(const std::vector<EventKind>& kinds) {
  std::vector<std::string> names;
  for (const EventKind& kind : kinds) names.push_back(kind.name);
  return names;
}

TEST(EventKindsTest, MostFrequentFirstTiesByName) {
  const std::vector<EventKind> kinds = RankEventKinds({"b", "DROP", "a", "b", "DROP", "\xC3\xA9", "a", "DROP"});
  EXPECT_EQ(Names(kinds), (std::vector<std::string>{"DROP", "a", "b", "\xC3\xA9"}));
  EXPECT_EQ(kinds[0].count, 3u);
  // The same kinds given in another order rank the same.
  EXPECT_EQ(Names(RankEventKinds({"\xC3\xA9", "b", "a", "DROP", "DROP", "b", "a", "DROP"})), Names(kinds));
  EXPECT_TRUE(RankEventKinds(std::vector<std::string>{}).empty());
}

TEST(EventKindsTest, ColoursAreDistinctThenGrey) {
  for (size_t a = 0; a < kEventColourCount; ++a) {
    for (size_t b = a + 1; b < kEventColourCount; ++b) EXPECT_NE(EventKindColour(a), EventKindColour(b));
    EXPECT_NE(EventKindColour(a), KpiBins::NoValueColour());
  }
  EXPECT_EQ(EventKindColour(kEventColourCount), KpiBins::NoValueColour());
  EXPECT_EQ(EventKindName("", 0x12345678), "event 0x5678");
  EXPECT_EQ(EventKindName("DROP", 1), "DROP");
}

}  // namespace
}  // namespace wendrake_cli
