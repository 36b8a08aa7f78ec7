#include "params/param_scales.h"

#include <gtest/gtest.h>

#include "params/param_table.h"

namespace wendrake {
namespace {

TEST(ParamScaleTest, ScaleTable) {
  int thousands = 0;
  int hundreds = 0;
  for (uint32_t id = 0x7F010000; id <= 0x7F01FFFF; ++id) {
    int32_t scale = ParamScale(id);
    if (scale == 1000) ++thousands;
    else if (scale == 100) ++hundreds;
    else EXPECT_EQ(scale, 1) << std::hex << id;
  }
  EXPECT_EQ(thousands, 75);
  EXPECT_EQ(hundreds, 33);

  EXPECT_EQ(ParamScale(0x7F010001), 1000);  // Rxagc
  EXPECT_EQ(ParamScale(0x7F010003), 1000);  // Txpower
  EXPECT_EQ(ParamScale(0x7F010005), 100);
  EXPECT_EQ(ParamScale(0x7F01000B), 1);
  EXPECT_EQ(ParamScale(0x7F01850F), 1000);
  EXPECT_EQ(ParamScale(0x7F01B409), 100);
  EXPECT_EQ(ParamScale(0x7F01C104), 1);
  EXPECT_EQ(ParamScale(0x00010001), 1);
  EXPECT_EQ(ParamScale(0xFFFFFFFF), 1);
}

TEST(ParamScaleTest, SlotScalesFollowTheIdentifiers) {
  for (int slot = 0; slot < kParamCount; ++slot) {
    EXPECT_EQ(SlotScale(slot), ParamScale(kSlotParamIds[slot])) << slot;
  }
}

}  // namespace
}  // namespace wendrake
