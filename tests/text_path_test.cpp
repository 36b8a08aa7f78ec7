// The text path end to end: column registration, dispatch, column records,
// message codes and the clock, driven through the exported functions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "api/diagnostics.h"
#include "support/host.h"
#include "support/time_zone.h"

namespace {

using namespace std::string_literals;
using wendrake::Diagnostic;
using wendrake::Message;
using wendrake_test::Host;
using wendrake_test::Item;
using wendrake_test::Param;
using wendrake_test::ScopedTimeZone;

constexpr uint32_t kRxagc = 0x7F010001;    // DM "Rxagc", scale 1000
constexpr uint32_t kTxpower = 0x7F010003;  // DM "Txpower", scale 1000
constexpr uint32_t kFber = 0x7F010005;     // DM "Fber", scale 100
constexpr uint32_t kHandoff = 0x7F010015;  // DM "Handoffstate", scale 1
constexpr uint32_t kEvent = 0x7F01C104;    // EVT "Event", hexadecimal

std::string Envelope(const std::string& elements) {
  return "<message>\n<format>Dtlog</format>\n<content>\n" + elements + "</content>\n</message>\n";
}

// Runs `body` and returns what it printed to standard output.
template <typename Body>
std::string Printed(Body&& body) {
  testing::internal::CaptureStdout();
  body();
  return testing::internal::GetCapturedStdout();
}

TEST(TextPathTest, WorkedExample) {
  Host host;
  const auto items = host.Cycle("RegReport\tDM\tRxagc\tTxpower\nDM\t-85.5\t10.25\n");
  ASSERT_EQ(items.size(), 1u);
  const Item& item = items[0];
  EXPECT_EQ(item.text,
            "<message>\n<format>Dtlog</format>\n<content>\n<Rxagc>-85.5</Rxagc>\n"
            "<Txpower>10.25</Txpower>\n</content>\n</message>\n");
  EXPECT_EQ(item.text.size(), 111u);
  EXPECT_EQ(item.raw, "DM\t-85.5\t10.25\n");
  EXPECT_EQ(item.code, 0xB1012001u);
  EXPECT_EQ(item.direction, 2);
  EXPECT_EQ(item.current, (std::vector<Param>{{kRxagc, 1, -85500}, {kTxpower, 1, 10250}}));
  EXPECT_TRUE(item.inherited.empty());
}

TEST(TextPathTest, ColumnRecordFields) {
  const struct {
    const char* what;
    std::string line;
    std::string elements;
    std::vector<Param> current;
  } cases[] = {
      {"empty field counts as a column", "DM\t-80\t\t5\n", "<Rxagc>-80</Rxagc>\n<Txpower>5</Txpower>\n",
       {{kRxagc, 1, -80000}, {kTxpower, 1, 5000}}},
      {"leading tab is an empty column 0", "\tDM\t1\t2\n", "<Foo>1</Foo>\n<Txpower>2</Txpower>\n",
       {{kTxpower, 1, 2000}}},
      {"trailing tab", "DM\t1\t2\t3\t\n", "<Rxagc>1</Rxagc>\n<Foo>2</Foo>\n<Txpower>3</Txpower>\n",
       {{kRxagc, 1, 1000}, {kTxpower, 1, 3000}}},
      {"CR LF ends the line, not the last field", "DM\t-80\t\t7.5\r\n",
       "<Rxagc>-80</Rxagc>\n<Txpower>7.5</Txpower>\n", {{kRxagc, 1, -80000}, {kTxpower, 1, 7500}}},
      {"only the CR before the newline goes", "DM\t-80\t\t7.5\r\r\n",
       "<Rxagc>-80</Rxagc>\n<Txpower>7.5\r</Txpower>\n", {{kRxagc, 1, -80000}, {kTxpower, 1, 7500}}},
      {"a CR elsewhere is an ordinary byte", "DM\t-8\r0\t\t7\n",
       "<Rxagc>-8\r0</Rxagc>\n<Txpower>7</Txpower>\n", {{kRxagc, 1, -8000}, {kTxpower, 1, 7000}}},
      {"an empty last field stays empty before CR LF", "DM\t-80\t\t\r\n",
       "<Rxagc>-80</Rxagc>\n", {{kRxagc, 1, -80000}}},
      {"token later in the line is skipped", "DM\t1\tDM\t2\t3\n",
       "<Rxagc>1</Rxagc>\n<Foo>2</Foo>\n<Txpower>3</Txpower>\n", {{kRxagc, 1, 1000}, {kTxpower, 1, 3000}}},
      {"token with more in its field is column 0", "DM 5\t1\t2\n",
       "<Rxagc>DM 5</Rxagc>\n<Foo>1</Foo>\n<Txpower>2</Txpower>\n", {{kRxagc, 1, 0}, {kTxpower, 1, 2000}}},
      {"unregistered column has an empty name", "DM\t\t\t\t4\n", "<>4</>\n", {}},
      {"word in a mapped column stores 0", "DM\tn/a\n", "<Rxagc>n/a</Rxagc>\n", {{kRxagc, 1, 0}}},
      {"NUL ends numbers and values; NUL-only field is not empty", "DM\t1\0" "9\t\t\0\0\n"s,
       "<Rxagc>1</Rxagc>\n<Txpower></Txpower>\n", {{kRxagc, 1, 1000}, {kTxpower, 1, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Host host;
    const auto items = host.Cycle("RegReport\tDM\tRxagc\tFoo\tTxpower\n" + c.line);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, Envelope(c.elements));
    EXPECT_EQ(items[0].raw, c.line);
    EXPECT_EQ(items[0].current, c.current);
    EXPECT_EQ(items[0].code, 0xB1012001u);
  }
}

TEST(TextPathTest, ColumnValuesAreScaled) {
  Host host;
  const auto items = host.Cycle(
      "RegReport\tDM\tRxagc\tFber\tHandoffstate\n"
      "DM\t1.2345\t1.2345\t1.2345\n"
      "DM\t-0.0015\t-0.0015\t-3.7\n"
      "DM\t12.5\t12.5\t1e3\n");
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].current, (std::vector<Param>{{kRxagc, 1, 1234}, {kFber, 1, 123}, {kHandoff, 1, 1}}));
  EXPECT_EQ(items[1].current, (std::vector<Param>{{kRxagc, 1, -1}, {kFber, 1, 0}, {kHandoff, 1, -3}}));
  EXPECT_EQ(items[2].current, (std::vector<Param>{{kRxagc, 1, 12500}, {kFber, 1, 1250}, {kHandoff, 1, 1000}}));
}

TEST(TextPathTest, TwoColumnsFeedingOneSlot) {
  Host host;
  const auto items = host.Cycle("RegReport\tDM\tRxagc\tRxagc\nDM\t1\t2\n");
  ASSERT_EQ(items.size(), 1u);
  // Both entries name the one slot, which holds the later value.
  EXPECT_EQ(items[0].current, (std::vector<Param>{{kRxagc, 1, 2000}, {kRxagc, 1, 2000}}));
  EXPECT_EQ(items[0].text, Envelope("<Rxagc>1</Rxagc>\n<Rxagc>2</Rxagc>\n"));
}

TEST(TextPathTest, EventValuesAreHexadecimal) {
  const struct {
    const char* field;
    int32_t value;
  } cases[] = {{"1A", 26}, {"0x1A", 26}, {"zz", 0}, {"FFFFFFFF", 2147483647}, {"12345", 0x12345}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    Host host;
    const auto items = host.Cycle("RegReport\tEVT\tEvent\nEVT\t"s + c.field + "\n");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].current, (std::vector<Param>{{kEvent, 1, c.value}}));
    EXPECT_EQ(items[0].code, 0xEE000000u | (static_cast<uint32_t>(c.value) & 0xFFFF));
    EXPECT_EQ(items[0].direction, 2);
  }
}

TEST(TextPathTest, C1xsmiIsDecodedAndC1xfmiIsNot) {
  Host host;
  const auto items = host.Cycle(
      "RegReport\tC1XSMI\tA\tB\nRegReport\tC1XFMI\tA\tB\n"
      "C1XFMI\t1\t2\nC1XSMI\t1\t2\nC1XFMI\t3\n");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].code, 0xB101200Bu);
  EXPECT_EQ(items[0].text, Envelope("<A>1</A>\n<B>2</B>\n"));
  EXPECT_TRUE(items[0].current.empty());
}

TEST(TextPathTest, CurrentAndInheritedLists) {
  const std::string head = "RegReport\tDM\tRxagc\tTxpower\tFber\nDM\t1\t2\t3\nHOP\tx\n";
  const std::string last = "DM\t\t5\n";
  // Lines that yield no item change nothing between two data lines.
  const std::string noise =
      "RegReport\tSC\tFreq\nFileInfo\tx\n\n \t \r\nGPS\t1\nXYZ\t1\nRegReport\nRegReport\tHOP\tRxagc\n";

  Host plain;
  const auto items = plain.Cycle(head + last);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].current, (std::vector<Param>{{kRxagc, 1, 1000}, {kTxpower, 1, 2000}, {kFber, 1, 300}}));
  EXPECT_TRUE(items[0].inherited.empty());
  // A line of a type whose columns feed nothing carries everything over.
  EXPECT_TRUE(items[1].current.empty());
  EXPECT_EQ(items[1].inherited, (std::vector<Param>{{kRxagc, 0, 1000}, {kTxpower, 0, 2000}, {kFber, 0, 300}}));
  EXPECT_EQ(items[1].code, 0xB1012003u);
  EXPECT_EQ(items[2].current, (std::vector<Param>{{kTxpower, 1, 5000}}));
  EXPECT_EQ(items[2].inherited, (std::vector<Param>{{kRxagc, 0, 1000}, {kFber, 0, 300}}));

  Host noisy;
  std::vector<Item> noisyItems;
  const std::string printed = Printed([&] { noisyItems = noisy.Cycle(head + noise + last); });
  EXPECT_EQ(noisyItems, items);
  EXPECT_EQ(printed, "");
}

TEST(TextPathTest, LinesWithoutItemsArePassedSilently) {
  const std::string lines[] = {
      "GPS\t1\t2\n",         "VOT\t1\n",         "C1XFMI\t1\n",   "LAB\tx\n",
      "ENT\tx\n",            "DAY 2011 10 19\n", "HOUR 12\n",     "MIN 0\n",
      "SEC 0 250\n",         "XYZ\t1\n",         "dm\t1\n",       "DM\0\t1\n"s,
      "\n",                  "\r\n",             " \t \v\f\n",    "FileInfo\tx\n",
      "RegReport\tDM\tRxagc\n", "RegReport\n",    "RegReport GPS\n", "RegReport\0\tDM\n"s,
  };
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    Host host;
    std::vector<Item> items;
    EXPECT_EQ(Printed([&] { items = host.Cycle("RegReport\tGPS\tA\n" + line); }), "");
    EXPECT_TRUE(items.empty());
  }
}

TEST(TextPathTest, MessageCodesOnEveryModuleType) {
  const std::string log =
      "RegReport\tEVT\tEvent\n"
      "DM\t1\nSC\t1\nHOP\t1\nPSM\t1\nAP\t1\nPCP\t1\nUI\t1\nASFI\t1\nC1XQI\t1\nC1XSMI\t1\nCEVS\t1\n"
      "EVT\t12345\n";
  const uint16_t lowHalves[] = {0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006,
                                0x2007, 0x2008, 0x2009, 0x200B, 0x200D};
  for (const int module : {WENDRAKE_MODULE_B101, WENDRAKE_MODULE_B200, WENDRAKE_MODULE_B20A,
                           WENDRAKE_MODULE_B20B, WENDRAKE_MODULE_BD00}) {
    SCOPED_TRACE(module);
    Host host(module);
    const auto items = host.Cycle(log);
    ASSERT_EQ(items.size(), std::size(lowHalves) + 1);
    for (size_t i = 0; i < std::size(lowHalves); ++i) {
      EXPECT_EQ(items[i].code, static_cast<uint32_t>(module) << 16 | lowHalves[i]) << i;
      EXPECT_EQ(items[i].direction, 2);
    }
    EXPECT_EQ(items.back().code, 0xEE002345u);
    EXPECT_EQ(items.back().direction, 2);
  }
}

// Each test starts in UTC and may set another time zone; the process's own
// is restored afterwards.
class ClockTest : public testing::Test {
 protected:
  static void Zone(const char* tz) { ScopedTimeZone::Set(tz); }

  static constexpr const char* kNoon = "DAY 2011 10 19\nHOUR 12\nMIN 0\nSEC 0 250\n";
  static constexpr uint32_t kNoonUtc = 1319025600;  // 2011-10-19 12:00:00 UTC

 private:
  ScopedTimeZone zone_{"UTC0"};
};

TEST_F(ClockTest, StampIsTheClockReadAsLocalStandardTimePlusEightHours) {
  Zone("CST-8");
  {
    Host host;
    const auto items = host.Cycle(kNoon + "DM\t1\n"s);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].seconds, kNoonUtc);
    EXPECT_EQ(items[0].micros, 250000u);
  }
  Zone("UTC0");
  Host host;
  const auto items = host.Cycle(kNoon + "DM\t1\n"s);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].seconds, kNoonUtc + 28800);
}

TEST_F(ClockTest, ClockRecordsReachLaterLinesOnly) {
  Host host;
  const auto items = host.Cycle(
      "DM\t1\n"                                 // before any "DAY"
      "DAY\t2011\t10\t19\r\nHOUR 12\nMIN 0\n"   // any white space separates clock values
      "DM\t2\n"
      "SEC 5 500\nDM\t3\n"
      "SEC 7\nDM\t4\n"                          // one value: milliseconds 0
      "DAY 2011 11\nDM\t5\n"                    // day 0 is the last day of October
      "DAY 2040 1 1\nDM\t6\n");
  ASSERT_EQ(items.size(), 6u);
  const uint32_t noon = kNoonUtc + 28800;
  const std::pair<uint32_t, uint32_t> expected[] = {
      {28799, 0},      {noon, 0}, {noon + 5, 500000}, {noon + 7, 0},
      {noon + 12 * 86400 + 7, 0},  // 2011-10-31 12:00:07
      {28799, 0},      // beyond the 32-bit range of seconds
  };
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].seconds, expected[i].first) << i;
    EXPECT_EQ(items[i].micros, expected[i].second) << i;
  }
}

TEST(ConfigurationTest, BuffersAreCheckedAndChangeNoResult) {
  Host host;
  auto configure = [&](int type, std::vector<int32_t> words, int size) {
    std::vector<uint8_t> buffer(words.size() * 4 + 16);
    for (size_t i = 0; i < words.size(); ++i) {
      for (int b = 0; b < 4; ++b) buffer[i * 4 + b] = static_cast<uint8_t>(static_cast<uint32_t>(words[i]) >> (8 * b));
    }
    std::string printed;
    bool ok = false;
    printed = Printed([&] { ok = SetDecoderConfiguration(host.get(), type, buffer.data(), size); });
    return std::make_pair(ok, printed);
  };
  EXPECT_EQ(configure(1, {0}, 4), std::make_pair(true, ""s));
  EXPECT_EQ(configure(2, {2, 1, 2, 3, 4}, 19),
            std::make_pair(false, std::string(Message(Diagnostic::kScaleBuffer))));
  std::vector<int32_t> many(1 + 101 * 2, 7);
  many[0] = 101;
  EXPECT_EQ(configure(1, many, 812),
            std::make_pair(false, std::string(Message(Diagnostic::kFilterCount))));
  EXPECT_EQ(configure(7, {-5}, 1), std::make_pair(true, ""s));
  EXPECT_EQ(configure(1, {-1}, -4),
            std::make_pair(false, std::string(Message(Diagnostic::kFilterBuffer))));
  EXPECT_EQ(configure(2, {-1}, -4),
            std::make_pair(false, std::string(Message(Diagnostic::kScaleBuffer))));

  // A filter naming the DM code and a scale table for Rxagc change nothing.
  const std::string log = "RegReport\tDM\tRxagc\tTxpower\nDM\t-85.5\t10.25\nEVT\t5\nHOP\t1\n";
  const auto expected = Host().Cycle(log);
  EXPECT_EQ(configure(1, {2, static_cast<int32_t>(0xB1012001), 0, static_cast<int32_t>(0xEE000005), 0}, 20).first, true);
  EXPECT_EQ(configure(2, {1, static_cast<int32_t>(kRxagc), 1}, 12).first, true);
  EXPECT_EQ(host.Cycle(log), expected);
}

TEST(TextBoundsTest, LongRecordsKeepTheTextInItsBlock) {
  // 60 columns; the known names stand last, so their elements are cut.
  const char* known[] = {"Rxagc", "RxAGC0", "RxAGC1", "Total_C/I", "Total_SINR", "DRC_Cover", "DRC_Rate",
                         "TxPilotPower", "Txpower", "Txgainadj", "Total_EcIo", "Total_Ec", "ReferenceEcIo",
                         "ReferenceEc", "MaxEcIo", "MaxEc", "Fber", "FFER", "Activesetcount", "Handoffstate"};
  std::string reg = "RegReport\tDM";
  for (int i = 0; i < 40; ++i) reg += "\tLongColumnName" + std::to_string(i);
  for (const char* name : known) reg += "\t"s + name;
  const std::string value = "7." + std::string(120, '0');
  std::string line = "DM";
  for (int i = 0; i < 60; ++i) line += "\t" + value;
  line += "\n";

  Host host;
  const auto items = host.Cycle(reg + "\n" + line);
  ASSERT_EQ(items.size(), 1u);
  const std::string& text = items[0].text;
  EXPECT_LE(text.size(), 5119u);
  EXPECT_TRUE(text.ends_with("</content>\n</message>\n"));
  // Whole elements only, and the next one would not have fitted.
  const std::string open = Envelope("").substr(0, Envelope("").size() - 22);
  ASSERT_TRUE(text.starts_with(open));
  std::string elements;
  int written = 0;
  for (; written < 60; ++written) {
    const std::string name = written < 40 ? "LongColumnName" + std::to_string(written) : known[written - 40];
    const std::string element = "<" + name + ">" + value + "</" + name + ">\n";
    if (open.size() + elements.size() + element.size() + 22 > 5119) break;
    elements += element;
  }
  EXPECT_LT(written, 40);
  EXPECT_EQ(text, Envelope(elements));
  // Every parameter is stored whatever the text holds.
  ASSERT_EQ(items[0].current.size(), 20u);
  for (const Param& p : items[0].current) {
    EXPECT_EQ(p.state, 1);
    EXPECT_TRUE(p.value == 7000 || p.value == 700 || p.value == 7) << std::hex << p.id << " " << std::dec << p.value;
  }
}

TEST(TextBoundsTest, LongLineKeeps5120RawBytes) {
  const std::string field = "-85.5" + std::string(7995, '0');
  const std::string line = "DM\t" + field + "\t10.25\n";
  Host host;
  const auto items = host.Cycle("RegReport\tDM\tRxagc\tTxpower\n" + line);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].raw, line.substr(0, 5120));
  // The 8000-byte element cannot fit; once it is left out, so are the others.
  EXPECT_EQ(items[0].text, Envelope(""));
  EXPECT_EQ(items[0].current, (std::vector<Param>{{kRxagc, 1, -85500}, {kTxpower, 1, 10250}}));
}

TEST(TextRobustnessTest, NulBytesAreOrdinaryBytes) {
  Host host;
  const std::string reg = "RegReport\tDM\tRx\0agc\tTxpower\n"s;
  const std::string line = "DM\t1\t2\0\n"s;
  const auto items = host.Cycle(reg + line + "DM\0\t3\t4\n"s);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].raw, line);
  EXPECT_EQ(items[0].text, Envelope("<Rx>1</Rx>\n<Txpower>2</Txpower>\n"));
  EXPECT_EQ(items[0].current, (std::vector<Param>{{kTxpower, 1, 2000}}));
}

TEST(TextRobustnessTest, BinaryGarbageNeitherCrashesNorPrints) {
  Host host;
  std::mt19937 random(20111019);
  std::string garbage(1 << 18, '\0');
  for (char& c : garbage) {
    const uint32_t r = random();
    // Frequent TABs and newlines give many short fields and lines.
    c = (r & 0xF00) == 0 ? '\n' : (r & 0xF000) == 0 ? '\t' : static_cast<char>(r & 0xFF);
  }
  const std::string printed = Printed([&] {
    for (size_t at = 0; at < garbage.size();) {
      const size_t chunk = std::min<size_t>(random() % 4096 + 1, garbage.size() - at);
      EXPECT_TRUE(DecodeMsgProc(host.get(), garbage.data() + at, static_cast<int>(chunk)));
      host.Drain();
      at += chunk;
    }
  });
  EXPECT_EQ(printed, "");
  // The decoder still works afterwards.
  const auto items = host.Cycle("\nRegReport\tDM\tRxagc\tTxpower\nDM\t-85.5\t10.25\n");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].text, Envelope("<Rxagc>-85.5</Rxagc>\n<Txpower>10.25</Txpower>\n"));
}

}  // namespace
