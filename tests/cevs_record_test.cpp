// "CEVS" records through the exported functions: the EV-DO state word, the
// parameter sets that lapse with it, and the item's text and code.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/host.h"
#include "support/random_text.h"

namespace wendrake_test {
namespace {

constexpr uint32_t kStateWord = 0x7F01C103;
constexpr int kUnchanged = -1;

const char kCevsColumns[] =
    "RegReport\tCEVS\tSession_State\tAT_State\tALMP_State\tInit_State\tIdle_State\t"
    "Overhead_State\tConnected_State\tRoute_Update_State\tHDR_HybridMode_State\n";

std::string Cevs(const std::string& at, const std::string& idle, const std::string& route = "0",
                 const std::string& hybrid = "1") {
  return "CEVS\t1\t" + at + "\t0\t0\t" + idle + "\t0\t0\t" + route + "\t" + hybrid + "\n";
}

// The state word the single item of `items` reports; the word always closes
// the current list.
int Word(const std::vector<Item>& items) {
  if (items.size() != 1 || items[0].current.empty()) {
    ADD_FAILURE() << "expected one item with parameters";
    return -2;
  }
  const Param& last = items[0].current.back();
  EXPECT_EQ(last.id, kStateWord);
  EXPECT_EQ(last.state, 1);
  return last.value;
}

TEST(CevsRecordTest, StateWordTable) {
  const struct {
    const char* at;
    const char* idle;
    const char* route;
    int word;
  } kRows[] = {
      {"0", "3", "0", kUnchanged},   {"1", "3", "0", kUnchanged},  {"2", "1", "0", kUnchanged},
      {"3", "0", "1", 0},            {"3", "1", "0", 0},           {"3", "2", "-5", 0},
      {"3", "2", "1.9", 0},          {"3", "2", "2", kUnchanged},  {"3", "0", "100", kUnchanged},
      {"3", "3", "9", 1},            {"3", "4", "0", kUnchanged},  {"3", "255", "0", kUnchanged},
      {"4", "1", "5", 1},            {"4", "3", "0", 1},           {"4", "0", "0", kUnchanged},
      {"4", "2", "0", kUnchanged},   {"4", "4", "0", kUnchanged},  {"5", "0", "0", 2},
      {"5", "9", "9", 2},            {"6", "3", "0", kUnchanged},  {"7", "1", "0", kUnchanged},
      {"255", "3", "0", kUnchanged}, {"abc", "3", "0", kUnchanged},
      // Only the low 8 bits of AT_State and Idle_State count.
      {"261", "0", "0", 2},          {"-251", "0", "0", 2},        {"259", "3", "0", 1},
      {"3", "259", "0", 1},          {"5.9", "0", "0", 2},
  };
  // Lines that leave the word at 0, 1 and 2 before the row's line.
  const char* kPrimes[] = {"", "CEVS\t1\t3\t0\t0\t3\n", "CEVS\t1\t5\n"};
  for (const auto& row : kRows) {
    for (int before = 0; before < 3; ++before) {
      Host host;
      host.Cycle(kCevsColumns);
      if (before > 0) {
        ASSERT_EQ(Word(host.Cycle(kPrimes[before])), before);
      }
      const int expected = row.word == kUnchanged ? before : row.word;
      EXPECT_EQ(Word(host.Cycle(Cevs(row.at, row.idle, row.route))), expected)
          << "AT_State " << row.at << " Idle_State " << row.idle << " Route_Update_State "
          << row.route << " after word " << before;
    }
  }
}

// State columns that a line leaves empty or lacks keep the value of earlier
// lines; the record token inside the line is not a column.
TEST(CevsRecordTest, MissingStateColumnsKeepEarlierValues) {
  Host host;
  host.Cycle(kCevsColumns);
  EXPECT_EQ(Word(host.Cycle("CEVS\t\t\t\t\t3\n")), 0);  // AT_State never set: 0
  EXPECT_EQ(Word(host.Cycle(Cevs("3", "3"))), 1);
  EXPECT_EQ(Word(host.Cycle("CEVS\t\t\t\t\t0\t\t\t0\n")), 0);  // AT_State still 3
  EXPECT_EQ(Word(host.Cycle("CEVS\t\t\t\t\t3\n")), 1);
  EXPECT_EQ(Word(host.Cycle("CEVS\t1\tCEVS\t5\n")), 2);
}

TEST(CevsRecordTest, CurrentListInColumnOrderThenStateWord) {
  Host host;
  host.Cycle("RegReport\tCEVS\tHDR_HybridMode_State\tFoo\tAT_State\tSession_State\tIdle_State\t"
             "AT_State\n");
  std::vector<Item> items = host.Cycle("CEVS\t1\tbar\t3\t2\t3\n");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].current, (std::vector<Param>{{0x7F018309, 1, 1},
                                                  {0x7F018302, 1, 3},
                                                  {0x7F018301, 1, 2},
                                                  {0x7F018305, 1, 3},
                                                  {kStateWord, 1, 1}}));
  // Empty fields store nothing; a column fed twice stands twice with the
  // later value, and that value is the one the state word is derived from.
  items = host.Cycle("CEVS\t0\t\t4\t\t\t5\n");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].current, (std::vector<Param>{{0x7F018309, 1, 0},
                                                  {0x7F018302, 1, 5},
                                                  {0x7F018302, 1, 5},
                                                  {kStateWord, 1, 2}}));
  EXPECT_EQ(Find(items[0].inherited, 0x7F018301)->value, 2);
}

TEST(CevsRecordTest, TextIsTheEnvelopeAndCodeNamesTheModule) {
  for (int module : {WENDRAKE_MODULE_B101, WENDRAKE_MODULE_B200, WENDRAKE_MODULE_B20A,
                     WENDRAKE_MODULE_B20B, WENDRAKE_MODULE_BD00}) {
    Host host(module);
    const std::string line = Cevs("3", "3");
    const std::vector<Item> items = host.Cycle(std::string(kCevsColumns) + line);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, "<message>\n<format>Dtlog</format>\n<content>\n</content>\n</message>\n");
    EXPECT_EQ(items[0].code, static_cast<uint32_t>(module) << 16 | 0x200D);
    EXPECT_EQ(items[0].direction, 2);
    EXPECT_EQ(items[0].raw, line);
    EXPECT_EQ(items[0].current.size(), 10u);
  }
}

// Parameters fed by other records, grouped by the set that drops them.
enum Group { kKept, kHybrid, kTraffic, kEvdo };
const struct {
  uint32_t id;
  Group group;
} kFedParams[] = {
    {0x7F010001, kKept},   {0x7F010003, kKept},    {0x7F01000C, kHybrid}, {0x7F01000D, kHybrid},
    {0x7F01000E, kHybrid}, {0x7F018001, kKept},    {0x7F018004, kEvdo},   {0x7F01800A, kEvdo},
    {0x7F01800C, kKept},   {0x7F010201, kTraffic}, {0x7F018101, kEvdo},   {0x7F018207, kEvdo},
    {0x7F01830A, kKept},   {0x7F018005, kEvdo},
};
const char kFeedParams[] =
    "RegReport\tDM\tRxagc\tTxpower\tTotal_EcIo\tMaxEcIo\tReferenceEcIo\tRxAGC0\tTxPilotPower\t"
    "DRC_Rate\tActivesetcount\n"
    "RegReport\tC1XQI\tRlprx_Rate\tEV_RxRLPThroughput\tEV_TxPER\n"
    "RegReport\tSC\tEV_Revision\n"
    "RegReport\tPCP\tTxOpenLoopPower\n"
    "DM\t-80\t10\t-5\t-4\t-6\t-70\t3\t4\t2\n"
    "C1XQI\t9600\t153\t1\n"
    "SC\t1\n"
    "PCP\t-60\n";

TEST(CevsRecordTest, DropSetsFollowTheStateWordAndHybridMode) {
  const struct {
    const char* why;
    std::string before;  // CEVS lines before the other records are fed
    std::string line;
    std::vector<Group> dropped;
  } kCases[] = {
      {"connected, not hybrid", "", Cevs("5", "0", "0", "0"), {kHybrid, kTraffic}},
      {"connected, hybrid", "", Cevs("5", "0", "0", "1"), {kTraffic}},
      {"connected, hybrid -1", "", Cevs("5", "0", "0", "-1"), {kTraffic}},
      {"AT_State 261", "", Cevs("261", "0", "0", "2"), {kTraffic}},
      {"inactive, not hybrid", "", Cevs("3", "0", "0", "0"), {kHybrid, kEvdo}},
      {"inactive, hybrid", "", Cevs("3", "0", "0", "1"), {kEvdo}},
      {"still inactive", "", Cevs("0", "0", "0", "1"), {kEvdo}},
      {"route update keeps 0", "", Cevs("3", "2", "2", "0"), {kHybrid, kEvdo}},
      {"idle", "", Cevs("3", "3", "0", "0"), {}},
      {"idle kept", Cevs("4", "1"), Cevs("4", "2", "0", "0"), {}},
      {"connected kept", Cevs("5", "0"), Cevs("2", "0", "0", "0"), {}},
      {"hybrid kept from earlier line", Cevs("3", "3", "0", "1"), Cevs("5", "0", "0", ""),
       {kTraffic}},
      {"hybrid never set", "", "CEVS\t1\t5\n", {kHybrid, kTraffic}},
  };
  for (const auto& c : kCases) {
    Host host;
    host.Cycle(std::string(kCevsColumns) + c.before + kFeedParams);
    const std::vector<Item> items = host.Cycle(c.line + "DM\t-81\n");
    ASSERT_EQ(items.size(), 2u) << c.why;
    for (const auto& fed : kFedParams) {
      bool dropped = false;
      for (Group g : c.dropped) dropped |= g == fed.group;
      EXPECT_EQ(Find(items[0].inherited, fed.id) == nullptr, dropped)
          << c.why << ": " << std::hex << fed.id;
      if (fed.id == 0x7F010001) continue;  // the later DM line sets it
      EXPECT_EQ(Find(items[1].inherited, fed.id) == nullptr, dropped)
          << c.why << ", later item: " << std::hex << fed.id;
    }
    // The state columns never lapse.
    EXPECT_NE(Find(items[1].inherited, 0x7F018302), nullptr) << c.why;
  }
}

TEST(CevsRecordTest, DroppedSlotKeepsItsValueWithoutState) {
  Host host;
  host.Cycle(std::string(kCevsColumns) + kFeedParams);
  ASSERT_EQ(host.Cycle(Cevs("5", "0", "0", "0")).size(), 1u);
  const ReportItem* item = GetReportItemProc(host.get(), 0);
  const ParamSlot& ecio = item->paramSlots[11];  // 0x7F01000C
  EXPECT_EQ(ecio.paramId, 0x7F01000Cu);
  EXPECT_EQ(ecio.state, -1);
  EXPECT_EQ(ecio.value, -5000);
}

// The layer-3 traffic messages clear the word that "CEVS" lines set.
TEST(CevsRecordTest, StateWordSharedWithLayer3Records) {
  Host host;
  host.Cycle(std::string(kCevsColumns) + kFeedParams);
  EXPECT_EQ(Word(host.Cycle(Cevs("5", "0"))), 2);
  const std::vector<Item> l3 = host.Cycle("CL3\t1\t3\t100008100102030405060708A1B2C3D4\n");
  ASSERT_EQ(l3.size(), 1u);
  EXPECT_EQ(l3[0].current, (std::vector<Param>{{0x7F01C102, 1, 2}, {kStateWord, 1, 0}}));
  const std::vector<Item> items = host.Cycle(Cevs("0", "0"));
  EXPECT_EQ(Word(items), 0);
  EXPECT_EQ(Find(items[0].inherited, 0x7F018101), nullptr);
}

// Random registrations and random values, numbers or garbage, in every field
// never crash, never print, and keep both blocks within their bounds.
TEST(CevsRecordTest, RandomLinesStayInBounds) {
  static const char* kNames[] = {"Session_State", "AT_State", "ALMP_State", "Init_State",
                                 "Idle_State", "Overhead_State", "Connected_State",
                                 "Route_Update_State", "HDR_HybridMode_State", "Foo", ""};
  RandomText random(19102011);
  auto below = [&random](int n) { return random.Below(n); };
  auto garbage = [&random](int maxLength) { return random.Garbage(maxLength); };
  auto field = [&]() -> std::string {
    switch (below(6)) {
      case 0: return std::to_string(below(8));
      case 1: return std::to_string(static_cast<int32_t>(random.Next()));
      case 2: return std::to_string(below(600) - 300) + "." + std::to_string(below(1000));
      case 3: return "";
      case 4: return "CEVS";
      default: return garbage(below(10) ? 12 : 3000);
    }
  };

  Host host;
  testing::internal::CaptureStdout();
  size_t items = 0;
  for (int batch = 0; batch < 60; ++batch) {
    std::string text;
    if (batch % 10 == 0) {
      text += "RegReport\tCEVS";
      for (int i = below(70); i > 0; --i) text += std::string("\t") + kNames[below(11)];
      text += "\n";
    }
    for (int line = 0; line < 50; ++line) {
      text += "CEVS";
      for (int i = below(80); i > 0; --i) text += "\t" + field();
      text += "\n";
    }
    for (const Item& item : host.Cycle(text)) {
      ++items;
      EXPECT_LE(item.text.size(), 5119u);
      EXPECT_LE(item.raw.size(), 5120u);
      ASSERT_FALSE(item.current.empty());
      EXPECT_EQ(item.current.back().id, kStateWord);
      EXPECT_GE(item.current.back().value, 0);
      EXPECT_LE(item.current.back().value, 2);
    }
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_GT(items, 2000u);
}

}  // namespace
}  // namespace wendrake_test
