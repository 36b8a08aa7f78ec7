#include "records/drop_sets.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "params/param_table.h"

namespace wendrake {
namespace {

// Identifiers of the slots a set holds, in slot order.
std::vector<uint32_t> Members(const ParamSet& set) {
  std::vector<uint32_t> ids;
  for (int slot = 0; slot < kParamCount; ++slot) {
    if (set.Contains(SlotRefOf(slot))) ids.push_back(kSlotParamIds[slot]);
  }
  return ids;
}

// The identifiers of inclusive ranges, each of which must exist as a slot.
std::vector<uint32_t> Ids(std::initializer_list<std::pair<uint32_t, uint32_t>> ranges) {
  std::vector<uint32_t> ids;
  for (const auto& [first, last] : ranges) {
    for (uint32_t id = first; id <= last; ++id) {
      EXPECT_GE(SlotOfParam(id), 0) << std::hex << id;
      ids.push_back(id);
    }
  }
  return ids;
}

TEST(DropSetsTest, OneXSetHoldsRadioAndRlpParameters) {
  const std::vector<uint32_t> expected = Ids({{0x7F010002, 0x7F010004},
                                              {0x7F010006, 0x7F010006},
                                              {0x7F010101, 0x7F01010C},
                                              {0x7F010201, 0x7F010206}});
  EXPECT_EQ(expected.size(), 22u);
  EXPECT_EQ(Members(OneXSet()), expected);
}

TEST(DropSetsTest, HybridSetHoldsTheEcIoParameters) {
  EXPECT_EQ(Members(HybridSet()), Ids({{0x7F01000C, 0x7F01000E}}));
}

TEST(DropSetsTest, OneXTrafficSetHoldsTheRlpParameters) {
  const std::vector<uint32_t> expected = Ids({{0x7F010101, 0x7F01010C}, {0x7F010201, 0x7F010206}});
  EXPECT_EQ(expected.size(), 18u);
  EXPECT_EQ(Members(OneXTrafficSet()), expected);
}

TEST(DropSetsTest, EvdoSetHolds131ParametersAndNoStateParameter) {
  // Listed in slot order; the three carrier groups written out one by one.
  const std::vector<uint32_t> expected = Ids({
      {0x7F018003, 0x7F018006}, {0x7F018009, 0x7F01800B}, {0x7F018101, 0x7F018107},
      {0x7F018201, 0x7F018207}, {0x7F018401, 0x7F018408}, {0x7F018501, 0x7F018509},
      {0x7F019103, 0x7F019106}, {0x7F019109, 0x7F01910B}, {0x7F019301, 0x7F019307},
      {0x7F019402, 0x7F019409}, {0x7F019501, 0x7F019509}, {0x7F01A103, 0x7F01A106},
      {0x7F01A109, 0x7F01A10B}, {0x7F01A301, 0x7F01A307}, {0x7F01A402, 0x7F01A409},
      {0x7F01A501, 0x7F01A509}, {0x7F01B103, 0x7F01B106}, {0x7F01B109, 0x7F01B10B},
      {0x7F01B301, 0x7F01B307}, {0x7F01B402, 0x7F01B409}, {0x7F01B501, 0x7F01B509},
  });
  EXPECT_EQ(expected.size(), 131u);
  EXPECT_EQ(Members(EvdoSet()), expected);
  for (uint32_t id = 0x7F018301; id <= 0x7F01830B; ++id) {
    EXPECT_FALSE(EvdoSet().Contains(SlotRefOf(SlotOfParam(id)))) << std::hex << id;
  }
}

}  // namespace
}  // namespace wendrake
