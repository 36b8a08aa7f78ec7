// The exported functions as a host sees them: handle checks, line assembly,
// the item queue, the accessors and the symbol table of the shared library.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "api/diagnostics.h"
#include "support/host.h"
#include "wendrake/wendrake.h"

namespace wendrake_test {
namespace {

using wendrake::Diagnostic;
const std::string kBadI = wendrake::BoundViolationMessage("i");
const std::string kBadNode = wendrake::BoundViolationMessage("nodeIdx");
const std::string kBadParam = wendrake::BoundViolationMessage("paramIdx");
const std::string kBadModule(wendrake::Message(Diagnostic::kUnknownModuleType));
const std::string kOverflow(wendrake::Message(Diagnostic::kQueueOverflow));

// Runs f and returns what it printed.
template <typename F>
std::string Printed(F f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// n item-yielding lines "DM\t<first + i>\n".
std::string DmLines(int n, int first = 0) {
  std::string out;
  for (int i = 0; i < n; ++i) out += "DM\t" + std::to_string(first + i) + "\n";
  return out;
}

bool Feed(DecoderObject* decoder, const std::string& text) {
  return DecodeMsgProc(decoder, text.data(), static_cast<int>(text.size()));
}

// Registrations, then one line of each decoded kind, with a skipped line
// between them.
const std::string kMixedLog =
    "RegReport\tDM\tRxagc\tTxpower\n"
    "RegReport\tSC\tFreq\tRefPN\n"
    "RegReport\tEVT\tEvent\n"
    "RegReport\tCEVS\tAT_State\tIdle_State\n"
    "DM\t-85.5\t10.25\n"
    "SC\t283\t120\n"
    "EVT\t1A\n"
    "CL3\tx\t0\t10000410000000000000000011223344\n"
    "FileInfo\tsomething\n"
    "CEVS\t5\t1\n"
    "DM\t-80\t-1\n";
constexpr int kMixedItems = 6;

// Accessors taking one item index, each reporting whether it gave its
// failure value (-1 or null).
using IndexProbe = bool (*)(DecoderObject*, int);
constexpr IndexProbe kIndexAccessors[] = {
    [](DecoderObject* d, int i) { return GetReportItemProc(d, i) == nullptr; },
    [](DecoderObject* d, int i) { return GetReportItemMsgCode(d, i) == -1; },
    [](DecoderObject* d, int i) { return GetReportItemMsgDirection(d, i) == -1; },
    [](DecoderObject* d, int i) { return GetReportItemMsgTime(d, i) == nullptr; },
    [](DecoderObject* d, int i) { return GetReportItemBinary(d, i) == nullptr; },
    [](DecoderObject* d, int i) { return GetReportItemBinaryToRCUFilter(d, i) == nullptr; },
    [](DecoderObject* d, int i) { return GetReportItemBinaryToRCUSimple(d, i) == nullptr; },
    [](DecoderObject* d, int i) { return GetReportItemCurDecodeParamCount(d, i) == -1; },
    [](DecoderObject* d, int i) { return GetReportItemInheritDecodeParamCount(d, i) == -1; },
    [](DecoderObject* d, int i) { return GetReportItemCurDecodeStructParamCount(d, i) == -1; },
    [](DecoderObject* d, int i) { return GetReportItemInheritDecodeStructParamCount(d, i) == -1; },
};

// The four list accessors, each reporting whether it gave null.
using ListProbe = bool (*)(DecoderObject*, int, int);
constexpr ListProbe kListAccessors[] = {
    [](DecoderObject* d, int n, int p) { return !GetReportItemCurDecodeParamList(d, n, p); },
    [](DecoderObject* d, int n, int p) { return !GetReportItemInheritDecodeParamList(d, n, p); },
    [](DecoderObject* d, int n, int p) { return !GetReportItemCurDecodeStructParamList(d, n, p); },
    [](DecoderObject* d, int n, int p) { return !GetReportItemInheritDecodeStructParamList(d, n, p); },
};

// --- Handles and module types ---------------------------------------------

TEST(ApiHandleTest, NullHandleGivesNullValuesSilently) {
  DecoderObject* none = nullptr;
  const uint8_t table[4] = {};
  const std::string printed = Printed([&] {
    EXPECT_FALSE(FreeDecoderObjectProc(nullptr));
    EXPECT_FALSE(FreeDecoderObjectProc(&none));
    EXPECT_FALSE(SetDecoderConfiguration(nullptr, 1, table, 4));
    EXPECT_FALSE(DecodeMsgProc(nullptr, "DM\t1\n", 5));
    EXPECT_EQ(GetReportItemCountProc(nullptr), -1);
    EXPECT_FALSE(ClearReportItemsProc(nullptr));
    for (IndexProbe probe : kIndexAccessors) EXPECT_TRUE(probe(nullptr, 0));
    for (ListProbe probe : kListAccessors) EXPECT_TRUE(probe(nullptr, 0, 0));
  });
  EXPECT_EQ(printed, "");
}

TEST(ApiHandleTest, DecodeRefusesMissingTextAndEmptyLengthWithoutChange) {
  Host host;
  ASSERT_TRUE(Feed(host.get(), "DM\t1"));  // pending, not yet a line
  const std::string printed = Printed([&] {
    EXPECT_FALSE(DecodeMsgProc(host.get(), nullptr, 5));
    EXPECT_FALSE(DecodeMsgProc(host.get(), "2\n", 0));
    EXPECT_FALSE(DecodeMsgProc(host.get(), "2\n", -1));
    EXPECT_FALSE(DecodeMsgProc(host.get(), "2\n", INT_MIN));
  });
  EXPECT_EQ(printed, "");
  EXPECT_EQ(GetReportItemCountProc(host.get()), 0);
  // The pending bytes are intact and a fourth argument is ignored.
  ASSERT_TRUE(DecodeMsgProc(host.get(), "2\n", 2, 0x5A5A));
  const std::vector<Item> items = host.Drain();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].raw, "DM\t12\n");
}

TEST(ApiHandleTest, AcceptsExactlyTheFiveModuleTypes) {
  for (int type : {0xB101, 0xB200, 0xB20A, 0xB20B, 0xBD00}) {
    DecoderObject* decoder = nullptr;
    EXPECT_EQ(Printed([&] { decoder = CreateDecoderObjectProc(type); }), "");
    ASSERT_NE(decoder, nullptr) << std::hex << type;
    EXPECT_TRUE(FreeDecoderObjectProc(&decoder));
    EXPECT_EQ(decoder, nullptr);
    EXPECT_FALSE(FreeDecoderObjectProc(&decoder));
  }
  for (int type : {0, -1, 0xB102, 0x1B101, INT_MIN}) {
    DecoderObject* decoder = reinterpret_cast<DecoderObject*>(1);
    EXPECT_EQ(Printed([&] { decoder = CreateDecoderObjectProc(type); }), kBadModule);
    EXPECT_EQ(decoder, nullptr) << std::hex << type;
  }
}

// --- Line assembly ---------------------------------------------------------

std::vector<Item> DecodeInChunks(const std::string& log, const std::vector<size_t>& sizes) {
  Host host;
  size_t at = 0;
  for (size_t size : sizes) {
    EXPECT_TRUE(DecodeMsgProc(host.get(), log.data() + at, static_cast<int>(size)));
    at += size;
  }
  EXPECT_EQ(at, log.size());
  return host.Drain();
}

TEST(ApiLineAssemblyTest, ItemsDoNotDependOnChunkSizes) {
  const std::vector<Item> whole = DecodeInChunks(kMixedLog, {kMixedLog.size()});
  ASSERT_EQ(whole.size(), static_cast<size_t>(kMixedItems));
  EXPECT_EQ(whole[0].raw, "DM\t-85.5\t10.25\n");
  EXPECT_EQ(whole[5].raw, "DM\t-80\t-1\n");

  EXPECT_EQ(DecodeInChunks(kMixedLog, std::vector<size_t>(kMixedLog.size(), 1)), whole);
  std::mt19937 random(20240611);
  for (int round = 0; round < 20; ++round) {
    std::vector<size_t> sizes;
    for (size_t left = kMixedLog.size(); left > 0;) {
      const size_t size = std::min(left, std::uniform_int_distribution<size_t>(1, 40)(random));
      sizes.push_back(size);
      left -= size;
    }
    EXPECT_EQ(DecodeInChunks(kMixedLog, sizes), whole) << "round " << round;
  }
}

TEST(ApiLineAssemblyTest, LineWithoutNewlineWaitsForItsEnd) {
  Host host;
  EXPECT_TRUE(host.Cycle("DM\t1").empty());
  EXPECT_TRUE(host.Cycle("2").empty());
  const std::vector<Item> items = host.Cycle("3\n");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].raw, "DM\t123\n");
}

TEST(ApiLineAssemblyTest, NulAndCarriageReturnAreOrdinaryLineBytes) {
  Host host;
  const std::string line("DM\t4\0" "5\r\n", 8);
  const std::vector<Item> items = host.Cycle(line);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].raw, line);
}

// A "DM" line of `content` bytes, newline not included.
std::string DmLineOf(size_t content) { return "DM\t" + std::string(content - 3, '7'); }

TEST(ApiLineAssemblyTest, LongestLineIsHandledOneMoreByteIsDropped) {
  Host host;
  std::string printed = Printed([&] {
    const std::string longest = DmLineOf(8190) + "\n";
    const std::vector<Item> items = host.Cycle(longest);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].raw, longest.substr(0, WENDRAKE_BLOCK_SIZE));

    // Dropped whole; the next line starts clean.
    EXPECT_TRUE(host.Cycle(DmLineOf(8191) + "\n").empty());
    const std::vector<Item> next = host.Cycle("DM\t2\n");
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0].raw, "DM\t2\n");
  });
  EXPECT_EQ(printed, "");
}

// A line that fills the 8192-byte buffer without a newline is dropped up to
// its newline, whichever chunks carry it: text inside it never becomes a
// record of its own.
TEST(ApiLineAssemblyTest, OverLongLineIsDroppedUpToItsNewline) {
  const std::string longLine = "LAB\t" + std::string(8200, 'x') + "\tDM\t-50.5\tDM\t-51\n";
  const std::string log = longLine + "DM\ttail\n";
  for (size_t chunk : {log.size(), size_t{1}, size_t{100}, size_t{8191}, size_t{8192}, size_t{8193}}) {
    SCOPED_TRACE(chunk);
    Host host;
    std::vector<Item> items;
    for (size_t at = 0; at < log.size(); at += chunk) {
      const std::vector<Item> got = host.Cycle(log.substr(at, chunk));
      items.insert(items.end(), got.begin(), got.end());
    }
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].raw, "DM\ttail\n");
  }
  // Exactly 8192 bytes before the newline, and a line that ends the chunk.
  Host host;
  EXPECT_TRUE(host.Cycle(DmLineOf(8192)).empty());
  EXPECT_TRUE(host.Cycle("\tDM\t-9\n").empty());
  const std::vector<Item> next = host.Cycle("DM\t2\n");
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0].raw, "DM\t2\n");
}

// --- Queue and snapshot ----------------------------------------------------

TEST(ApiQueueTest, TwoHundredItemsOfOneChunkAreAllDelivered) {
  Host host;
  std::vector<Item> items;
  EXPECT_EQ(Printed([&] { items = host.Cycle(DmLines(200)); }), "");
  ASSERT_EQ(items.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(items[i].raw, "DM\t" + std::to_string(i) + "\n");
}

TEST(ApiQueueTest, ItemsBeyondTwoHundredAreLostAndOrderIsKept) {
  Host host;
  std::vector<Item> items;
  EXPECT_EQ(Printed([&] { items = host.Cycle(DmLines(203)); }), Repeat(kOverflow, 3));
  ASSERT_EQ(items.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(items[i].raw, "DM\t" + std::to_string(i) + "\n");

  items = host.Cycle(DmLines(2, 500));
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].raw, "DM\t500\n");
  EXPECT_EQ(items[1].raw, "DM\t501\n");
}

TEST(ApiQueueTest, SecondCountEmptiesTheSnapshot) {
  Host host;
  ASSERT_TRUE(Feed(host.get(), DmLines(2)));
  EXPECT_EQ(GetReportItemCountProc(host.get()), 2);
  EXPECT_EQ(GetReportItemCountProc(host.get()), 0);
  EXPECT_EQ(Printed([&] { EXPECT_EQ(GetReportItemProc(host.get(), 0), nullptr); }), kBadI);
}

TEST(ApiQueueTest, BadIndexesGiveTheirMessagesAndFailureValues) {
  Host host;
  ASSERT_TRUE(Feed(host.get(), kMixedLog));
  const int n = GetReportItemCountProc(host.get());
  ASSERT_EQ(n, kMixedItems);
  for (int i : {-1, n, INT_MIN, INT_MAX}) {
    for (IndexProbe probe : kIndexAccessors) {
      EXPECT_EQ(Printed([&] { EXPECT_TRUE(probe(host.get(), i)); }), kBadI) << i;
    }
    for (ListProbe probe : kListAccessors) {
      EXPECT_EQ(Printed([&] { EXPECT_TRUE(probe(host.get(), i, 0)); }), kBadNode) << i;
    }
  }
  // Item 0 has two current parameters and nothing else in its lists.
  for (int p : {-1, 0, 2}) {
    for (size_t a = 0; a < std::size(kListAccessors); ++a) {
      if (p == 0 && a == 0) continue;  // the one valid entry
      EXPECT_EQ(Printed([&] { EXPECT_TRUE(kListAccessors[a](host.get(), 0, p)); }), kBadParam)
          << "accessor " << a << " paramIdx " << p;
    }
  }
}

TEST(ApiQueueTest, ClearDiscardsItemsNotTaken) {
  Host host;
  ASSERT_TRUE(Feed(host.get(), DmLines(3)));
  EXPECT_TRUE(ClearReportItemsProc(host.get()));
  EXPECT_EQ(GetReportItemCountProc(host.get()), 0);
  const std::vector<Item> items = host.Cycle(DmLines(1, 7));
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].raw, "DM\t7\n");
}

TEST(ApiQueueTest, SnapshotStaysReadableAfterClear) {
  Host host;
  ASSERT_TRUE(Feed(host.get(), DmLines(2)));
  ASSERT_EQ(GetReportItemCountProc(host.get()), 2);
  EXPECT_TRUE(ClearReportItemsProc(host.get()));
  EXPECT_EQ(host.Read(1).raw, "DM\t1\n");
  EXPECT_EQ(host.Read(0).raw, "DM\t0\n");
}

// --- Item contents ----------------------------------------------------------

// Every text byte after textLength reads as zero.
void ExpectTextTailZero(const ReportBlock* text) {
  ASSERT_LE(text->length, static_cast<uint32_t>(WENDRAKE_BLOCK_SIZE));
  for (size_t b = text->length; b < WENDRAKE_BLOCK_SIZE; ++b) {
    ASSERT_EQ(text->bytes[b], 0) << "byte " << b << " of length " << text->length;
  }
}

TEST(ApiItemTest, BlocksHoldWhatAHostMayRelyOn) {
  Host host;
  ASSERT_TRUE(Feed(host.get(), kMixedLog));
  ASSERT_EQ(GetReportItemCountProc(host.get()), kMixedItems);
  for (int i = 0; i < kMixedItems; ++i) {
    const ReportBlock* simple = GetReportItemBinaryToRCUSimple(host.get(), i);
    EXPECT_EQ(simple->length, 0u);
    for (uint8_t byte : simple->bytes) ASSERT_EQ(byte, 0xFF);
    ExpectTextTailZero(GetReportItemBinary(host.get(), i));
    EXPECT_EQ(GetReportItemCurDecodeStructParamCount(host.get(), i), 0);
    EXPECT_EQ(GetReportItemInheritDecodeStructParamCount(host.get(), i), 0);
  }
}

TEST(ApiItemTest, ReusedNodeShowsNoTextOfItsEarlierItem) {
  Host host;
  std::string wide = "RegReport\tDM";
  std::string values = "DM";
  for (int c = 0; c < 40; ++c) {
    wide += "\tColumn" + std::to_string(c);
    values += "\t1234567890";
  }
  // The long item takes node 0; 199 short ones fill the ring, and the next
  // short item lands in node 0 again.
  ASSERT_TRUE(Feed(host.get(), wide + "\n" + values + "\n" + DmLines(199)));
  ASSERT_EQ(GetReportItemCountProc(host.get()), 200);
  const uint32_t longLength = GetReportItemBinary(host.get(), 0)->length;
  ClearReportItemsProc(host.get());
  ASSERT_TRUE(Feed(host.get(), "DM\t5\n"));
  ASSERT_EQ(GetReportItemCountProc(host.get()), 1);
  const ReportBlock* text = GetReportItemBinary(host.get(), 0);
  EXPECT_LT(text->length, longLength);
  ExpectTextTailZero(text);
}

TEST(ApiItemTest, ItemRecordAgreesWithTheAccessors) {
  Host host;
  ASSERT_TRUE(Feed(host.get(), kMixedLog));
  ASSERT_EQ(GetReportItemCountProc(host.get()), kMixedItems);
  DecoderObject* d = host.get();
  for (int i = 0; i < kMixedItems; ++i) {
    ReportItem* item = GetReportItemProc(d, i);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(static_cast<int>(item->msgCode), GetReportItemMsgCode(d, i));
    EXPECT_EQ(item->direction, GetReportItemMsgDirection(d, i));
    EXPECT_EQ(static_cast<void*>(&item->timeSeconds), GetReportItemMsgTime(d, i));
    EXPECT_EQ(static_cast<void*>(&item->textLength), GetReportItemBinary(d, i));
    EXPECT_EQ(static_cast<void*>(&item->rawLength), GetReportItemBinaryToRCUFilter(d, i));
    EXPECT_EQ(static_cast<void*>(&item->simpleLength), GetReportItemBinaryToRCUSimple(d, i));
    ASSERT_EQ(item->curParamCount, GetReportItemCurDecodeParamCount(d, i));
    ASSERT_EQ(item->inheritParamCount, GetReportItemInheritDecodeParamCount(d, i));
    EXPECT_EQ(item->paramCapacity, WENDRAKE_PARAM_COUNT);
    EXPECT_EQ(item->structCapacity, WENDRAKE_STRUCT_LIST_CAPACITY);
    for (int p = 0; p < item->curParamCount; ++p) {
      EXPECT_EQ(&item->paramSlots[item->curParamList[p] / sizeof(ParamSlot)],
                GetReportItemCurDecodeParamList(d, i, p));
    }
    for (int p = 0; p < item->inheritParamCount; ++p) {
      EXPECT_EQ(&item->paramSlots[item->inheritParamList[p] / sizeof(ParamSlot)],
                GetReportItemInheritDecodeParamList(d, i, p));
    }
  }
}

TEST(ApiItemTest, ParamSlotsFollowTheIdentifierTable) {
  struct Block {
    uint32_t first;
    int count;
  };
  constexpr Block kBlocks[] = {
      {0x7F010001, 25}, {0x7F010101, 12}, {0x7F010201, 6},  {0x7F010191, 11}, {0x7F018001, 16},
      {0x7F018101, 7},  {0x7F018201, 7},  {0x7F018301, 12}, {0x7F018401, 8},  {0x7F018501, 15},
      {0x7F019101, 14}, {0x7F019201, 7},  {0x7F019301, 7},  {0x7F019401, 9},  {0x7F019501, 15},
      {0x7F01A101, 14}, {0x7F01A201, 7},  {0x7F01A301, 7},  {0x7F01A401, 9},  {0x7F01A501, 15},
      {0x7F01B101, 14}, {0x7F01B201, 7},  {0x7F01B301, 7},  {0x7F01B401, 9},  {0x7F01B501, 15},
      {0x7F01C102, 3},
  };
  std::vector<uint32_t> expected;
  for (const Block& block : kBlocks) {
    for (int i = 0; i < block.count; ++i) expected.push_back(block.first + i);
  }
  ASSERT_EQ(expected.size(), static_cast<size_t>(WENDRAKE_PARAM_COUNT));

  Host host;
  ASSERT_TRUE(Feed(host.get(), kMixedLog));
  ASSERT_EQ(GetReportItemCountProc(host.get()), kMixedItems);
  const ReportItem* item = GetReportItemProc(host.get(), kMixedItems - 1);
  std::set<size_t> listed;
  for (int p = 0; p < item->curParamCount; ++p) {
    listed.insert(item->curParamList[p] / sizeof(ParamSlot));
  }
  for (int p = 0; p < item->inheritParamCount; ++p) {
    listed.insert(item->inheritParamList[p] / sizeof(ParamSlot));
  }
  // Rxagc, Txpower, Freq, RefPN, Event, AT_State, Idle_State, the two state words.
  EXPECT_EQ(listed.size(), 9u);
  for (size_t s = 0; s < expected.size(); ++s) {
    EXPECT_EQ(item->paramSlots[s].paramId, expected[s]) << "slot " << s;
    if (listed.count(s) == 0) {
      EXPECT_EQ(item->paramSlots[s].state, -1) << "slot " << s;
      EXPECT_EQ(item->paramSlots[s].value, 0) << "slot " << s;
    }
  }
}

// --- Binary interface --------------------------------------------------------

TEST(ApiAbiTest, LibraryDefinesExactlyTheTwentyOneFunctions) {
  const std::set<std::string> expected = {
      "CreateDecoderObjectProc", "FreeDecoderObjectProc", "SetDecoderConfiguration",
      "DecodeMsgProc", "GetReportItemCountProc", "ClearReportItemsProc", "GetReportItemProc",
      "GetReportItemMsgCode", "GetReportItemMsgDirection", "GetReportItemMsgTime",
      "GetReportItemBinary", "GetReportItemBinaryToRCUFilter", "GetReportItemBinaryToRCUSimple",
      "GetReportItemCurDecodeParamCount", "GetReportItemInheritDecodeParamCount",
      "GetReportItemCurDecodeParamList", "GetReportItemInheritDecodeParamList",
      "GetReportItemCurDecodeStructParamCount", "GetReportItemInheritDecodeStructParamCount",
      "GetReportItemCurDecodeStructParamList", "GetReportItemInheritDecodeStructParamList",
  };
  ASSERT_EQ(expected.size(), 21u);
  const std::string command = std::string("nm -D --defined-only '") + WENDRAKE_LIBRARY_PATH + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> functions;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char type = 0;
    char name[400] = {};
    // "<address> <type> <name>"
    if (std::sscanf(line, "%*s %c %399s", &type, name) != 2) continue;
    if (type == 'T' || type == 'W' || type == 'i') functions.insert(name);
  }
  ASSERT_EQ(pclose(pipe), 0) << command;
  EXPECT_EQ(functions, expected);
}

}  // namespace
}  // namespace wendrake_test
