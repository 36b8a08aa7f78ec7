// "CL3" records through the exported functions: message bytes, raw and text
// blocks, the category check and the layer-3 state words.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/host.h"
#include "support/random_text.h"

namespace wendrake_test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kFirstWord = 0x7F01C102;
constexpr uint32_t kSecondWord = 0x7F01C103;
constexpr uint32_t kRxagc = 0x7F010001;
constexpr uint32_t kTxpower = 0x7F010003;
constexpr uint32_t kTxgainadj = 0x7F010004;
constexpr uint32_t kFfer = 0x7F010006;
constexpr uint32_t kTotalEcIo = 0x7F01000C;
constexpr uint32_t kRlprx = 0x7F010201;
constexpr uint32_t kRlperr = 0x7F010203;
constexpr uint32_t kEvRxRlp = 0x7F018101;

// A logged message: length word (the whole message unless `lengthWord` says
// otherwise), log code, 8-byte time stamp, payload.
Bytes Msg(uint16_t logCode, Bytes payload = {0xA1, 0xB2, 0xC3, 0xD4}, int lengthWord = -1) {
  const int length = lengthWord >= 0 ? lengthWord : static_cast<int>(payload.size()) + 12;
  Bytes m = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
             static_cast<uint8_t>(logCode), static_cast<uint8_t>(logCode >> 8),
             1, 2, 3, 4, 5, 6, 7, 8};
  m.insert(m.end(), payload.begin(), payload.end());
  return m;
}

std::string Hex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (uint8_t b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

std::string Str(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string Cl3(const std::string& category, const std::string& hex) {
  return "CL3\t7\t" + category + "\t" + hex + "\n";
}
std::string Cl3(uint16_t logCode, int category, Bytes payload = {0xA1, 0xB2, 0xC3, 0xD4}) {
  return Cl3(std::to_string(category), Hex(Msg(logCode, std::move(payload))));
}

const char kRegistrations[] =
    "RegReport\tDM\tRxagc\tTxpower\tTxgainadj\tFFER\tTotal_EcIo\n"
    "RegReport\tC1XQI\tRlprx_Rate\tRlperr_Rate\tEV_RxRLPThroughput\n";

std::vector<uint32_t> Ids(const std::vector<Param>& list) {
  std::vector<uint32_t> ids;
  for (const Param& p : list) ids.push_back(p.id);
  return ids;
}

// The slot as the item's own copy holds it, listed or not.
ParamSlot SlotIn(Host& host, int i, uint32_t id) {
  const ReportItem* item = GetReportItemProc(host.get(), i);
  for (const ParamSlot& slot : item->paramSlots) {
    if (slot.paramId == id) return slot;
  }
  ADD_FAILURE() << "no slot " << std::hex << id;
  return {};
}

TEST(Cl3RecordTest, SixteenByteAccessMessage) {
  Host host;
  const Bytes msg = Msg(0x1004);
  const std::vector<Item> items = host.Cycle(Cl3("0", Hex(msg)));
  ASSERT_EQ(items.size(), 1u);
  const Item& item = items[0];
  EXPECT_EQ(item.raw.size(), 20u);
  EXPECT_EQ(item.raw.substr(0, 8), std::string("\x10\x00\x10\x00\x10\x00\x04\x10", 8));
  EXPECT_EQ(item.raw.substr(4), Str(msg));
  EXPECT_EQ(item.text, "\xA1\xB2\xC3\xD4");
  EXPECT_EQ(item.current, (std::vector<Param>{{kFirstWord, 1, 1}}));
  EXPECT_TRUE(item.inherited.empty());
  EXPECT_EQ(item.code >> 16, 0x1004u);
  EXPECT_EQ(item.direction, 1);
}

TEST(Cl3RecordTest, DirectionOfEachLogCode) {
  const struct {
    uint16_t logCode;
    int category;
    int direction;
  } kCases[] = {{0x1004, 0, 1}, {0x1007, 1, 0}, {0x1005, 2, 1}, {0x1008, 3, 0}, {0x1006, 4, 0},
                {0x1076, 5, 1}, {0x1077, 6, 1}, {0x1079, 7, 0}, {0x1078, 8, 0}, {0x107C, 9, 0}};
  for (const auto& c : kCases) {
    Host host;
    const std::vector<Item> items = host.Cycle(Cl3(c.logCode, c.category));
    ASSERT_EQ(items.size(), 1u) << std::hex << c.logCode;
    EXPECT_EQ(items[0].code >> 16, c.logCode);
    EXPECT_EQ(items[0].direction, c.direction) << std::hex << c.logCode;
  }
}

// A line that fails the category check yields nothing and leaves the state
// words and the parameter lists as they were: the probe after it inherits
// Txpower (which a 0x1007 handler would drop) and the first word 2.
TEST(Cl3RecordTest, FailedCheckYieldsNoItemAndChangesNoState) {
  const struct {
    const char* why;
    std::string line;
  } kCases[] = {
      {"category mismatch", Cl3("0", Hex(Msg(0x1007)))},
      {"empty category", Cl3("", Hex(Msg(0x1007)))},
      {"category out of range", Cl3("11", Hex(Msg(0x1007)))},
      {"length word one more", Cl3("1", Hex(Msg(0x1007, {1, 2, 3, 4}, 17)))},
      {"length word one less", Cl3("1", Hex(Msg(0x1007, {1, 2, 3, 4}, 15)))},
      {"length word negative", Cl3("1", Hex(Msg(0x1007, {1, 2, 3, 4}, 0xFFFF)))},
      {"unknown log code, empty category", Cl3("", Hex(Msg(0x1234)))},
      {"unknown log code, category -1", Cl3("-1", Hex(Msg(0x1234)))},
      {"no byte", Cl3("2", "5")},
      {"one byte", Cl3("2", "01")},
      {"two bytes", Cl3("2", "0200")},
      // The earlier 0x1005 message left 0x10 in byte 3 of the buffer.
      {"three bytes", Cl3("2", "030005")},
  };
  for (const auto& c : kCases) {
    Host host;
    host.Cycle(std::string(kRegistrations) + "DM\t-80\t10.5\n" + Cl3(0x1005, 2));
    EXPECT_TRUE(host.Cycle(c.line).empty()) << c.why;
    const std::vector<Item> probe = host.Cycle("DM\t-81\n");
    ASSERT_EQ(probe.size(), 1u);
    EXPECT_EQ(probe[0].inherited,
              (std::vector<Param>{{kTxpower, 0, 10500}, {kFirstWord, 0, 2}, {kSecondWord, 0, 0}}))
        << c.why;
  }
}

TEST(Cl3RecordTest, ShortMessagesPassingTheCheckHaveAnEmptyText) {
  for (int size : {4, 5, 11, 12, 13}) {
    Host host;
    Bytes msg = Msg(0x1007, Bytes(static_cast<size_t>(size > 12 ? size - 12 : 0), 0x5A), size);
    msg.resize(static_cast<size_t>(size));
    const std::vector<Item> items = host.Cycle(Cl3("1", Hex(msg)));
    ASSERT_EQ(items.size(), 1u) << size;
    EXPECT_EQ(items[0].text, size == 13 ? "\x5A" : "") << size;
    EXPECT_EQ(items[0].raw.size(), static_cast<size_t>(size + 4));
    EXPECT_EQ(items[0].raw.substr(4), Str(msg));
    EXPECT_EQ(items[0].code >> 16, 0x1007u);
    EXPECT_EQ(items[0].current, (std::vector<Param>{{kFirstWord, 1, 0}}));
  }
}

TEST(Cl3RecordTest, HexPairsReadAsStrtolReadsThem) {
  const Bytes head = Msg(0x1004, {}, 12 + 12);
  // Each two-character pair becomes one body byte.
  const std::string pairs = std::string("0aA0 A-10xzz+FF-x1-z") + std::string("\0A", 2) +
                            std::string("A\0", 2) + "7";  // the lone last digit is dropped
  Host host;
  const std::vector<Item> items = host.Cycle(Cl3("0", Hex(head) + pairs));
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].text, Str({0x0A, 0xA0, 0x0A, 0xFF, 0x00, 0x00, 0x0F, 0x0F, 0x00, 0x00, 0x00, 0x0A}));

  // Lower-case digits and a trailing odd digit give the same item.
  const std::string hex = Hex(Msg(0x1077, {0xAB, 0xCD, 0xEF, 0x12}));
  std::string lower = hex;
  for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  Host upperHost, lowerHost, oddHost;
  const std::vector<Item> upper = upperHost.Cycle(Cl3("6", hex));
  ASSERT_EQ(upper.size(), 1u);
  EXPECT_EQ(lowerHost.Cycle(Cl3("6", lower)), upper);
  EXPECT_EQ(oddHost.Cycle(Cl3("6", hex + "F")), upper);
}

TEST(Cl3RecordTest, CategoryFieldReadAsAtoi) {
  for (const char* category : {"0", " 0", "+0", "0x5", "00", "0 junk"}) {
    Host host;
    EXPECT_EQ(host.Cycle(Cl3(category, Hex(Msg(0x1004)))).size(), 1u) << category;
  }
}

TEST(Cl3RecordTest, EmptyMessageFieldGivesAnItemWithoutMessage) {
  for (const char* line : {"CL3\n", "CL3\t1\n", "CL3\t1\t0\n", "CL3\t1\t0\t\n",
                           "CL3\t1\t0\t\tABCD\n", "CL3\t\t\t\t\t\n"}) {
    Host host;
    host.Cycle(Cl3(0x1004, 0));
    const std::vector<Item> items = host.Cycle(line);
    ASSERT_EQ(items.size(), 1u) << line;
    EXPECT_EQ(items[0].raw, line);
    EXPECT_EQ(items[0].text, "");
    EXPECT_EQ(items[0].code, 0u);
    EXPECT_EQ(items[0].direction, 2);
    EXPECT_TRUE(items[0].current.empty());
    EXPECT_EQ(items[0].inherited, (std::vector<Param>{{kFirstWord, 0, 1}}));
  }
}

TEST(Cl3RecordTest, FieldsAfterTheMessageAreIgnored) {
  std::string many = Cl3(0x1004, 0);
  many.pop_back();
  for (int i = 0; i < 70; ++i) many += "\tx" + std::to_string(i);
  Host plainHost, manyHost;
  const std::vector<Item> plain = plainHost.Cycle(Cl3(0x1004, 0));
  const std::vector<Item> items = manyHost.Cycle(many + "\n");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items, plain);
}

TEST(Cl3RecordTest, StateWordsAcrossHandlers) {
  Host host;
  const struct {
    uint16_t logCode;
    int category;
    std::vector<Param> current;
  } kSteps[] = {
      {0x1076, 5, {}},  // first word already 0: nothing reported
      {0x1004, 0, {{kFirstWord, 1, 1}}},
      {0x1077, 6, {{kFirstWord, 1, 0}}},
      {0x1078, 8, {}},
      {0x1005, 2, {{kFirstWord, 1, 2}, {kSecondWord, 1, 0}}},
      {0x1079, 7, {{kFirstWord, 1, 0}}},
      {0x1008, 3, {{kFirstWord, 1, 2}, {kSecondWord, 1, 0}}},
      {0x107C, 9, {{kFirstWord, 1, 0}}},
      {0x1006, 4, {{kFirstWord, 1, 0}}},  // reported even when unchanged
      {0x1007, 1, {{kFirstWord, 1, 0}}},
  };
  for (const auto& step : kSteps) {
    const std::vector<Item> items = host.Cycle(Cl3(step.logCode, step.category));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].current, step.current) << std::hex << step.logCode;
  }
}

// Categories 1 and 4 to 9 drop the 1x set after the inherited list is
// settled: the dropped parameters leave this item's inherited list and later
// ones, keep their value with state -1, and come back at the end of the list
// when a line sets them again.
TEST(Cl3RecordTest, DropsTheOneXSet) {
  const std::string setup = std::string(kRegistrations) +
                            "DM\t-80\t10.5\t-3\t1.5\t-7.5\n"
                            "C1XQI\t9600\t2.5\t153.6\n";
  const std::vector<uint32_t> survivors = {kRxagc, kTotalEcIo, kEvRxRlp};
  for (const auto& [logCode, category] : {std::pair<uint16_t, int>{0x1007, 1}, {0x1006, 4},
                                         {0x1076, 5}, {0x1077, 6}, {0x1079, 7}, {0x1078, 8},
                                         {0x107C, 9}}) {
    Host host;
    host.Cycle(setup);
    const std::vector<Item> items = host.Cycle(Cl3(logCode, category));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(Ids(items[0].inherited), survivors) << std::hex << logCode;
    for (const auto& [id, value] : {std::pair<uint32_t, int32_t>{kTxpower, 10500},
                                   {kTxgainadj, -3000}, {kFfer, 150}, {kRlprx, 9600},
                                   {kRlperr, 250}}) {
      const ParamSlot slot = SlotIn(host, 0, id);
      EXPECT_EQ(slot.state, -1) << std::hex << id;
      EXPECT_EQ(slot.value, value) << std::hex << id;
    }

    const std::vector<Item> later = host.Cycle("DM\t\t11.25\nC1XQI\t\t\t160\n");
    ASSERT_EQ(later.size(), 2u);
    EXPECT_EQ(later[0].current, (std::vector<Param>{{kTxpower, 1, 11250}}));
    EXPECT_EQ(Find(later[0].inherited, kTxgainadj), nullptr);
    EXPECT_EQ(Find(later[0].inherited, kRlprx), nullptr);
    EXPECT_EQ(Ids(later[1].inherited).back(), kTxpower);
  }
  // Categories 0, 2 and 3 drop nothing.
  for (const auto& [logCode, category] :
       {std::pair<uint16_t, int>{0x1004, 0}, {0x1005, 2}, {0x1008, 3}}) {
    Host host;
    host.Cycle(setup);
    const std::vector<Item> items = host.Cycle(Cl3(logCode, category));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].inherited.size(), 8u) << std::hex << logCode;
  }
}

// Random categories, random hex and random bytes in every field never crash,
// never print, and keep both blocks within their bounds.
TEST(Cl3RecordTest, RandomLinesStayInBounds) {
  static const uint16_t kLogCodes[] = {0x1004, 0x1007, 0x1005, 0x1008, 0x1006,
                                       0x1076, 0x1077, 0x1079, 0x1078, 0x107C};
  RandomText random(20111019);
  auto below = [&random](int n) { return random.Below(n); };
  auto garbage = [&random](int maxLength) { return random.Garbage(maxLength); };
  auto hexDigits = [&random](int maxLength) {
    return random.From("0123456789abcdefABCDEF", maxLength);
  };

  Host host;
  testing::internal::CaptureStdout();
  size_t items = 0;
  for (int batch = 0; batch < 60; ++batch) {
    std::string text;
    for (int line = 0; line < 50; ++line) {
      const int category = below(10);  // also the index of its log code
      std::string message;
      switch (below(4)) {
        case 0: {  // a well-formed message with a random payload
          Bytes payload(static_cast<size_t>(below(below(2) ? 40 : 4000)));
          for (uint8_t& b : payload) b = static_cast<uint8_t>(below(256));
          message = Hex(Msg(kLogCodes[category], payload));
          break;
        }
        case 1: message = hexDigits(below(2) ? 64 : 8100); break;
        case 2: message = garbage(below(2) ? 64 : 8100); break;
        default: message = hexDigits(30) + garbage(10) + hexDigits(30); break;
      }
      const std::string field1 = below(2) ? garbage(20) : "1";
      const std::string field2 = below(3) ? std::to_string(category) : garbage(6);
      text += "CL3\t" + field1 + "\t" + field2 + "\t" + message;
      for (int extra = below(3); extra > 0; --extra) text += "\t" + garbage(20);
      text += "\n";
    }
    for (const Item& item : host.Cycle(text)) {
      ++items;
      EXPECT_LE(item.text.size(), 5119u);
      EXPECT_LE(item.raw.size(), 5120u);
    }
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_GT(items, 300u);
}

}  // namespace
}  // namespace wendrake_test
