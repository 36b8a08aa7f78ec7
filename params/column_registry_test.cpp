#include "params/column_registry.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/line_decoder.h"

namespace wendrake {
namespace {

using namespace std::string_literals;

TEST(RecordTypeTest, TokensClassifyExactly) {
  const std::pair<const char*, int32_t> tokens[] = {
      {"DM", 0},     {"SC", 1},      {"HOP", 2},     {"PSM", 3},     {"AP", 4},    {"PCP", 5},
      {"CL3", 6},    {"UI", 7},      {"ASFI", 8},    {"C1XQI", 9},   {"GPS", 10},  {"VOT", 10},
      {"C1XFMI", 11}, {"C1XSMI", 12}, {"DAY", 13},   {"HOUR", 14},   {"MIN", 15},  {"SEC", 16},
      {"EVT", 17},   {"LAB", 18},    {"ENT", 19},    {"CEVS", 21},
  };
  auto decoder = std::make_unique<LineDecoder>(WENDRAKE_MODULE_B101);
  for (const auto& [token, type] : tokens) {
    SCOPED_TRACE(token);
    EXPECT_EQ(RecordTypeOf(token), type);
    decoder->ClassifyRecordType(token);
    EXPECT_EQ(decoder->recordType, type);
    // A registration walk skips fields equal to the type's own token.
    if (HasColumnRegistration(type)) {
      EXPECT_EQ(RecordToken(type), token);
    }
    const std::string lower = [&] {
      std::string s = token;
      for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return s;
    }();
    EXPECT_EQ(RecordTypeOf(lower), -1);
    EXPECT_EQ(RecordTypeOf(std::string(token) + "X"), -1);
    EXPECT_EQ(RecordTypeOf(std::string(token) + " "), -1);
    EXPECT_EQ(RecordTypeOf(std::string(token).substr(0, std::strlen(token) - 1)), -1);
    EXPECT_EQ(RecordTypeOf(std::string(token) + "\0"s), -1);
  }
  for (const char* other : {"D", "DMX", "FileInfo", "RegReport", "20", "C1X"}) {
    EXPECT_EQ(RecordTypeOf(other), -1) << other;
  }

  // An empty token leaves the type of the previous line.
  decoder->ClassifyRecordType("SC");
  decoder->ClassifyRecordType("");
  EXPECT_EQ(decoder->recordType, 1);
  decoder->ClassifyRecordType("nope");
  EXPECT_EQ(decoder->recordType, -1);
}

// Drives registration through the dispatcher, as a log line would.
class RegistrationTest : public testing::Test {
 protected:
  RegistrationTest() : decoder_(std::make_unique<LineDecoder>(WENDRAKE_MODULE_B101)) {}

  void Line(const std::string& text) {
    const std::string line = text + "\n";
    EXPECT_FALSE(decoder_->Dispatch(line.data(), static_cast<int>(line.size())));
  }

  // Slot index a column feeds, or -1.
  int Slot(int32_t type, int column) const {
    const int32_t ref = decoder_->columns.Map(type, column);
    if (ref == kNoSlot) return -1;
    EXPECT_EQ(ref % kSlotSize, 0);
    return ref / kSlotSize;
  }
  int SlotOf(uint32_t paramId) const { return SlotOfParam(paramId); }
  std::string Name(int32_t type, int column) const { return decoder_->columns.Name(type, column); }

  // Every map entry and name, to show that a line changed nothing.
  std::vector<std::string> Tables() const {
    std::vector<std::string> all;
    for (int type = 0; type < kRecordTypeRows; ++type) {
      for (int column = 0; column < kColumnCount; ++column) {
        all.push_back(std::to_string(decoder_->columns.Map(type, column)) + ":" +
                      std::string(decoder_->columns.Name(type, column), kColumnNameSize));
      }
    }
    return all;
  }

  std::unique_ptr<LineDecoder> decoder_;
};

TEST_F(RegistrationTest, KnownNamesMapAndEveryNameIsRegistered) {
  Line("RegReport\tDM\tTxpower\tFoo\tRxagc");
  EXPECT_EQ(decoder_->recordType, kRecordDM);
  EXPECT_EQ(decoder_->columnIndex, 3);
  EXPECT_EQ(Slot(kRecordDM, 0), 2);
  EXPECT_EQ(Slot(kRecordDM, 1), -1);
  EXPECT_EQ(Slot(kRecordDM, 2), 0);
  EXPECT_EQ(Slot(kRecordDM, 3), -1);
  EXPECT_EQ(Name(kRecordDM, 0), "Txpower");
  EXPECT_EQ(Name(kRecordDM, 1), "Foo");
  EXPECT_EQ(Name(kRecordDM, 2), "Rxagc");
  EXPECT_EQ(Name(kRecordDM, 3), "");
}

TEST_F(RegistrationTest, NamesMatchWholeAndCaseSensitively) {
  Line("RegReport\tDM\trxagc\tRxagc \tTotal_Ec\tTotal_EcIo\tTotal_E\tRx\0agc\tTotal_EcIoX"s);
  EXPECT_EQ(Slot(kRecordDM, 0), -1);
  EXPECT_EQ(Slot(kRecordDM, 1), -1);
  EXPECT_EQ(Slot(kRecordDM, 2), SlotOf(0x7F01000F));
  EXPECT_EQ(Slot(kRecordDM, 3), SlotOf(0x7F01000C));
  EXPECT_EQ(Slot(kRecordDM, 4), -1);
  EXPECT_EQ(Slot(kRecordDM, 5), -1);  // a NUL inside a name matches nothing
  EXPECT_EQ(Slot(kRecordDM, 6), -1);
  EXPECT_EQ(Name(kRecordDM, 0), "rxagc");
  EXPECT_EQ(Name(kRecordDM, 1), "Rxagc ");
  EXPECT_EQ(Name(kRecordDM, 5), "Rx");
  // A known name of another type is not known here.
  Line("RegReport\tSC\tRxagc\tFreq");
  EXPECT_EQ(Slot(kRecordSC, 0), -1);
  EXPECT_EQ(Slot(kRecordSC, 1), SlotOf(0x7F010012));
}

TEST_F(RegistrationTest, FieldSplitting) {
  // The carriage return of a CRLF log stays on the last name.
  Line("RegReport\tDM\tTxpower\tRxagc\r");
  EXPECT_EQ(Slot(kRecordDM, 0), 2);
  EXPECT_EQ(Slot(kRecordDM, 1), -1);
  EXPECT_EQ(Name(kRecordDM, 1), "Rxagc\r");

  // The record token and "RegReport" are not counted wherever they stand;
  // empty fields are; a trailing TAB adds no column.
  Line("RegReport\tSC\tFreq\tSC\t\tRegReport\tRefPN\t");
  EXPECT_EQ(decoder_->columnIndex, 3);
  EXPECT_EQ(Name(kRecordSC, 0), "Freq");
  EXPECT_EQ(Name(kRecordSC, 1), "");
  EXPECT_EQ(Slot(kRecordSC, 1), -1);
  EXPECT_EQ(Name(kRecordSC, 2), "RefPN");
  EXPECT_EQ(Slot(kRecordSC, 2), SlotOf(0x7F01000A));

  // Blanks separate nothing: the whole line is the name of column 0.
  Line("RegReport PCP TxOpenLoopPower TxClosedloopadjust");
  EXPECT_EQ(decoder_->recordType, kRecordPCP);
  EXPECT_EQ(Name(kRecordPCP, 0), "RegReport PCP TxOpenLoopPower T");  // cut to 31 bytes
  EXPECT_EQ(Slot(kRecordPCP, 0), -1);
  EXPECT_EQ(Name(kRecordPCP, 1), "");
}

TEST_F(RegistrationTest, NamesOnlyTypesNeverMap) {
  for (const char* token : {"HOP", "PSM", "AP", "UI", "ASFI", "C1XSMI"}) {
    Line("RegReport\t"s + token + "\tRxagc\tEvent\tFreq\tSession_State");
    const int32_t type = RecordTypeOf(token);
    EXPECT_EQ(decoder_->recordType, type);
    EXPECT_EQ(Name(type, 0), "Rxagc") << token;
    EXPECT_EQ(Name(type, 3), "Session_State") << token;
    for (int column = 0; column < kColumnCount; ++column) EXPECT_EQ(Slot(type, column), -1) << token;
  }
}

TEST_F(RegistrationTest, LinesThatRegisterNothing) {
  Line("RegReport\tDM\tRxagc");
  const auto before = Tables();
  const std::pair<const char*, int32_t> lines[] = {
      {"RegReport\tGPS\tRxagc", 10},  {"RegReport\tVOT\tRxagc", 10}, {"RegReport\tCL3\tRxagc", 6},
      {"RegReport\tC1XFMI\tRxagc", 11}, {"RegReport\tLAB\tRxagc", 18}, {"RegReport\tENT\tRxagc", 19},
      {"RegReport\tDAY\tRxagc", 13},  {"RegReport\tSEC\tRxagc", 16}, {"RegReport\tXYZ\tRxagc", -1},
      {"RegReport\tdm\tRxagc", -1},
  };
  for (const auto& [line, type] : lines) {
    Line(line);
    EXPECT_EQ(decoder_->recordType, type) << line;
    EXPECT_EQ(Tables(), before) << line;
  }
  // Without a record token nothing is registered and the type stays.
  for (const char* line : {"RegReport", "RegReport \t \r"}) {
    Line("RegReport\tDM\tRxagc");
    Line(line);
    EXPECT_EQ(decoder_->recordType, kRecordDM);
    EXPECT_EQ(Tables(), before);
  }
}

TEST_F(RegistrationTest, ReRegistrationReplacesEntriesWhole) {
  Line("RegReport\tDM\tTotal_EcIo\tRxagc\tTxpower\tFber");
  Line("RegReport\tDM\tMaxEc\tFoo\t");
  EXPECT_EQ(Name(kRecordDM, 0), "MaxEc");  // no tail of the longer old name
  EXPECT_EQ(Slot(kRecordDM, 0), SlotOf(0x7F010010));
  EXPECT_EQ(Name(kRecordDM, 1), "Foo");
  EXPECT_EQ(Slot(kRecordDM, 1), -1);  // an unknown new name unmaps
  EXPECT_EQ(Name(kRecordDM, 2), "Txpower");  // behind the new line: kept
  EXPECT_EQ(Slot(kRecordDM, 2), 2);
  EXPECT_EQ(Name(kRecordDM, 3), "Fber");

  Line("RegReport\tDM\t\tTxgainadj");  // an empty name replaces too
  EXPECT_EQ(Name(kRecordDM, 0), "");
  EXPECT_EQ(Slot(kRecordDM, 0), -1);
  EXPECT_EQ(Slot(kRecordDM, 1), SlotOf(0x7F010004));
}

TEST_F(RegistrationTest, ColumnsPast60AreIgnored) {
  std::string line = "RegReport\tDM";
  for (int i = 0; i < 60; ++i) line += "\tN" + std::to_string(i);
  Line(line + "\tRxagc\tTxpower\tN62");
  EXPECT_EQ(Name(kRecordDM, 59), "N59");
  EXPECT_EQ(Slot(kRecordDM, 59), -1);
  // The next row is untouched.
  EXPECT_EQ(Name(kRecordSC, 0), "");
  EXPECT_EQ(Slot(kRecordSC, 0), -1);
  EXPECT_EQ(Name(kRecordSC, 1), "");
  EXPECT_EQ(Slot(kRecordSC, 1), -1);
}

TEST_F(RegistrationTest, LongNamesAreCutTo31Bytes) {
  const std::string name31(31, 'a');
  const std::string longName = "Rxagc" + std::string(40, 'b');
  Line("RegReport\tDM\t" + name31 + "\t" + name31 + "Z\t" + longName + "\tTxpower");
  EXPECT_EQ(Name(kRecordDM, 0), name31);
  EXPECT_EQ(Name(kRecordDM, 1), name31);
  EXPECT_EQ(Name(kRecordDM, 2), longName.substr(0, 31));
  EXPECT_EQ(Slot(kRecordDM, 2), -1);
  EXPECT_EQ(Name(kRecordDM, 3), "Txpower");  // the next entry is intact
  EXPECT_EQ(Slot(kRecordDM, 3), 2);
}

TEST_F(RegistrationTest, AllKnownNames) {
  struct Known {
    const char* token;
    const char* name;
    uint32_t paramId;
    int slot;
  };
  const Known known[] = {
      {"DM", "Rxagc", 0x7F010001, 0},
      {"DM", "RxAGC0", 0x7F018001, 54},
      {"DM", "RxAGC1", 0x7F018002, 55},
      {"DM", "Total_C/I", 0x7F018007, 60},
      {"DM", "Total_SINR", 0x7F018008, 61},
      {"DM", "DRC_Cover", 0x7F01800B, 64},
      {"DM", "DRC_Rate", 0x7F01800A, 63},
      {"DM", "TxPilotPower", 0x7F018004, 57},
      {"DM", "Txpower", 0x7F010003, 2},
      {"DM", "Txgainadj", 0x7F010004, 3},
      {"DM", "Total_EcIo", 0x7F01000C, 11},
      {"DM", "Total_Ec", 0x7F01000F, 14},
      {"DM", "ReferenceEcIo", 0x7F01000E, 13},
      {"DM", "ReferenceEc", 0x7F010011, 16},
      {"DM", "MaxEcIo", 0x7F01000D, 12},
      {"DM", "MaxEc", 0x7F010010, 15},
      {"DM", "Fber", 0x7F010005, 4},
      {"DM", "FFER", 0x7F010006, 5},
      {"DM", "Activesetcount", 0x7F01800C, 65},
      {"DM", "Handoffstate", 0x7F010015, 20},
      {"SC", "Freq", 0x7F010012, 17},
      {"SC", "RefPN", 0x7F01000A, 9},
      {"SC", "PRev", 0x7F010016, 21},
      {"SC", "EV_Sector_User_Served", 0x7F01830B, 94},
      {"SC", "EV_Revision", 0x7F01830A, 93},
      {"PCP", "TxOpenLoopPower", 0x7F018005, 58},
      {"PCP", "TxClosedloopadjust", 0x7F018006, 59},
      {"C1XQI", "Rlprx_Rate", 0x7F010201, 37},
      {"C1XQI", "Rlptx_Rate", 0x7F010202, 38},
      {"C1XQI", "Rlperr_Rate", 0x7F010203, 39},
      {"C1XQI", "Rlprtx_Rate", 0x7F010204, 40},
      {"C1XQI", "Physrx_Rate", 0x7F010205, 41},
      {"C1XQI", "Phystx_Rate", 0x7F010206, 42},
      {"C1XQI", "EV_RxRLPThroughput", 0x7F018101, 70},
      {"C1XQI", "EV_TxRLPThroughput", 0x7F018103, 72},
      {"C1XQI", "EV_Duplicate_Rate", 0x7F018105, 74},
      {"C1XQI", "EV_RLPErrorRate", 0x7F018106, 75},
      {"C1XQI", "EV_RLPRtxRate", 0x7F018107, 76},
      {"C1XQI", "EV_RxPacketThroughput", 0x7F018201, 77},
      {"C1XQI", "EV_RxPER", 0x7F018206, 82},
      {"C1XQI", "EV_TxPacketThroughput", 0x7F018204, 80},
      {"C1XQI", "EV_TxPER", 0x7F018207, 83},
      {"CEVS", "Session_State", 0x7F018301, 84},
      {"CEVS", "AT_State", 0x7F018302, 85},
      {"CEVS", "ALMP_State", 0x7F018303, 86},
      {"CEVS", "Init_State", 0x7F018304, 87},
      {"CEVS", "Idle_State", 0x7F018305, 88},
      {"CEVS", "Overhead_State", 0x7F018306, 89},
      {"CEVS", "Connected_State", 0x7F018307, 90},
      {"CEVS", "Route_Update_State", 0x7F018308, 91},
      {"CEVS", "HDR_HybridMode_State", 0x7F018309, 92},
      {"EVT", "Event", 0x7F01C104, 277},
  };
  static_assert(std::size(known) == 52);
  for (const Known& k : known) {
    SCOPED_TRACE(k.name);
    const int32_t type = RecordTypeOf(k.token);
    // Behind an unknown column, so column numbering is exercised too.
    Line("RegReport\t"s + k.token + "\tUnknown\t" + k.name);
    EXPECT_EQ(Slot(type, 0), -1);
    ASSERT_EQ(Slot(type, 1), k.slot);
    EXPECT_EQ(kSlotParamIds[static_cast<size_t>(k.slot)], k.paramId);
    EXPECT_EQ(KnownColumnSlot(type, k.name), SlotRefOf(k.slot));
    EXPECT_EQ(KnownColumnSlot(type == kRecordDM ? kRecordSC : kRecordDM, k.name), kNoSlot);
  }
}

}  // namespace
}  // namespace wendrake
