// The catalogue as a tool sees it: through the table library's exports.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "wendrake/table.h"

namespace {

TEST(CatalogTest, EverySlotDescribesItsParameter) {
  ASSERT_EQ(wendrake_param_count(), WENDRAKE_PARAM_COUNT);
  std::set<uint32_t> ids;
  int named = 0;
  for (int slot = 0; slot < wendrake_param_count(); ++slot) {
    WendrakeParamInfo info{};
    ASSERT_EQ(wendrake_param_info(slot, &info), 0);
    EXPECT_EQ(info.slot, slot);
    EXPECT_EQ(wendrake_param_slot(info.id), slot);
    EXPECT_TRUE(info.scale == 1 || info.scale == 100 || info.scale == 1000) << slot;
    EXPECT_EQ(info.name == nullptr, info.record == nullptr && info.id != WENDRAKE_PARAM_L3_STATE &&
                                        info.id != WENDRAKE_PARAM_EVDO_STATE) << slot;
    ids.insert(info.id);
    if (info.name != nullptr) ++named;
  }
  EXPECT_EQ(ids.size(), static_cast<size_t>(WENDRAKE_PARAM_COUNT));
  EXPECT_EQ(named, 52 + 2);  // the known columns and the two state words
}

TEST(CatalogTest, KnownParameters) {
  WendrakeParamInfo info{};
  ASSERT_EQ(wendrake_param_info(wendrake_param_slot(0x7F010001), &info), 0);
  EXPECT_STREQ(info.name, "Rxagc");
  EXPECT_STREQ(info.record, "DM");
  EXPECT_EQ(info.scale, 1000);
  ASSERT_EQ(wendrake_param_info(wendrake_param_slot(WENDRAKE_PARAM_EVDO_STATE), &info), 0);
  EXPECT_STREQ(info.name, "EvdoState");
  EXPECT_EQ(info.record, nullptr);
  ASSERT_EQ(wendrake_param_info(wendrake_param_slot(WENDRAKE_PARAM_EVENT), &info), 0);
  EXPECT_STREQ(info.name, "Event");
  EXPECT_STREQ(info.record, "EVT");
  EXPECT_EQ(info.scale, 1);
}

// Units follow from what a value is: powers in dBm, their ratios in dB,
// rates of data in kbit/s, of errors in percent; counts, channels and
// state words have none.
TEST(CatalogTest, UnitsOfKnownParameters) {
  const auto unitOf = [](uint32_t id) -> std::string {
    WendrakeParamInfo info{};
    EXPECT_EQ(wendrake_param_info(wendrake_param_slot(id), &info), 0);
    return info.unit != nullptr ? info.unit : "(none)";
  };
  EXPECT_EQ(unitOf(0x7F010001), "dBm");    // Rxagc
  EXPECT_EQ(unitOf(0x7F010003), "dBm");    // Txpower
  EXPECT_EQ(unitOf(0x7F01000C), "dB");     // Total_EcIo
  EXPECT_EQ(unitOf(0x7F010004), "dB");     // Txgainadj
  EXPECT_EQ(unitOf(0x7F018101), "kbit/s"); // EV_RxRLPThroughput
  EXPECT_EQ(unitOf(0x7F010201), "kbit/s"); // Rlprx_Rate
  EXPECT_EQ(unitOf(0x7F010006), "%");      // FFER
  EXPECT_EQ(unitOf(0x7F010012), "(none)"); // Freq, a channel number
  EXPECT_EQ(unitOf(0x7F01800C), "(none)"); // Activesetcount
  EXPECT_EQ(unitOf(WENDRAKE_PARAM_EVDO_STATE), "(none)");
  // Only named parameters have a unit.
  for (int slot = 0; slot < wendrake_param_count(); ++slot) {
    WendrakeParamInfo info{};
    ASSERT_EQ(wendrake_param_info(slot, &info), 0);
    if (info.unit != nullptr) {
      EXPECT_NE(info.name, nullptr) << slot;
    }
  }
}

TEST(CatalogTest, BadArgumentsFailQuietly) {
  WendrakeParamInfo info{};
  EXPECT_EQ(wendrake_param_info(-1, &info), -1);
  EXPECT_EQ(wendrake_param_info(WENDRAKE_PARAM_COUNT, &info), -1);
  EXPECT_EQ(wendrake_param_info(0, nullptr), -1);
  EXPECT_EQ(wendrake_param_slot(0x7F0107D0), -1);
  const std::string version = wendrake_version();
  EXPECT_EQ(version, std::to_string(WENDRAKE_VERSION_MAJOR) + "." +
                         std::to_string(WENDRAKE_VERSION_MINOR) + "." +
                         std::to_string(WENDRAKE_VERSION_PATCH));
  // The number orders releases as the string does: 0.2.0 is 200, 1.10.3 is 11003.
  EXPECT_EQ(wendrake_version_number(), WENDRAKE_VERSION_MAJOR * 10000 + WENDRAKE_VERSION_MINOR * 100 +
                                           WENDRAKE_VERSION_PATCH);
  EXPECT_EQ(wendrake_version_number(), WENDRAKE_VERSION_NUMBER);
}

}  // namespace
