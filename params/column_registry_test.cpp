#include "params/column_registry.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "params/known_columns.h"

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
  for (const auto& [token, type] : tokens) {
    SCOPED_TRACE(token);
    EXPECT_EQ(RecordTypeOf(token), type);
    // A registration walk skips fields equal to the type's own token.
    if (HasColumnRegistration(type)) {
      EXPECT_EQ(RecordToken(type), token);
    }
    std::string lower = token;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(RecordTypeOf(lower), -1);
    EXPECT_EQ(RecordTypeOf(std::string(token) + "X"), -1);
    EXPECT_EQ(RecordTypeOf(std::string(token) + " "), -1);
    EXPECT_EQ(RecordTypeOf(std::string(token).substr(0, std::strlen(token) - 1)), -1);
    EXPECT_EQ(RecordTypeOf(std::string(token) + "\0"s), -1);
  }
  for (const char* other : {"D", "DMX", "FileInfo", "RegReport", "20", "C1X"}) {
    EXPECT_EQ(RecordTypeOf(other), -1) << other;
  }
}

// Registers "RegReport" lines as the dispatcher hands them over: the type is
// that of the line's second whitespace-delimited word.
class RegistrationTest : public testing::Test {
 protected:
  RegistrationTest() : registry_(std::make_unique<ColumnRegistry>()) {}

  // Registers the line and returns its record type.
  int32_t Line(const std::string& text) {
    const size_t start = text.find_first_not_of(" \t\n\v\f\r", text.find_first_of(" \t\n\v\f\r"));
    if (text.find_first_of(" \t\n\v\f\r") == std::string::npos || start == std::string::npos) {
      return kRecordUnknown;
    }
    const size_t end = text.find_first_of(" \t\n\v\f\r", start);
    const int32_t type = RecordTypeOf(std::string_view(text).substr(start, end - start));
    if (HasColumnRegistration(type)) registry_->Register(type, text);
    return type;
  }

  // Slot index a column feeds, or -1.
  int Slot(int32_t type, int column) const {
    const int32_t ref = registry_->Map(type, column);
    if (ref == kNoSlot) return -1;
    EXPECT_EQ(ref % kSlotSize, 0);
    return ref / kSlotSize;
  }
  int SlotOf(uint32_t paramId) const { return SlotOfParam(paramId); }
  std::string Name(int32_t type, int column) const { return registry_->Name(type, column); }

  // Every map entry and name, to show that a line changed nothing.
  std::vector<std::string> Tables() const {
    std::vector<std::string> all;
    for (int type = 0; type < kRecordTypeRows; ++type) {
      for (int column = 0; column < kColumnCount; ++column) {
        all.push_back(std::to_string(registry_->Map(type, column)) + ":" +
                      std::string(registry_->Name(type, column), kColumnNameSize));
      }
    }
    return all;
  }

  std::unique_ptr<ColumnRegistry> registry_;
};

TEST_F(RegistrationTest, KnownNamesMapAndEveryNameIsRegistered) {
  EXPECT_EQ(Line("RegReport\tDM\tTxpower\tFoo\tRxagc"), kRecordDM);
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
  EXPECT_EQ(Name(kRecordSC, 0), "Freq");
  EXPECT_EQ(Name(kRecordSC, 1), "");
  EXPECT_EQ(Slot(kRecordSC, 1), -1);
  EXPECT_EQ(Name(kRecordSC, 2), "RefPN");
  EXPECT_EQ(Slot(kRecordSC, 2), SlotOf(0x7F01000A));
  EXPECT_EQ(Name(kRecordSC, 3), "");

  // Blanks separate nothing: the whole line is the name of column 0.
  EXPECT_EQ(Line("RegReport PCP TxOpenLoopPower TxClosedloopadjust"), kRecordPCP);
  EXPECT_EQ(Name(kRecordPCP, 0), "RegReport PCP TxOpenLoopPower T");  // cut to 31 bytes
  EXPECT_EQ(Slot(kRecordPCP, 0), -1);
  EXPECT_EQ(Name(kRecordPCP, 1), "");
}

TEST_F(RegistrationTest, NamesOnlyTypesNeverMap) {
  for (const char* token : {"HOP", "PSM", "AP", "UI", "ASFI", "C1XSMI"}) {
    const int32_t type = Line("RegReport\t"s + token + "\tRxagc\tEvent\tFreq\tSession_State");
    EXPECT_EQ(type, RecordTypeOf(token));
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
    EXPECT_EQ(Line(line), type) << line;
    EXPECT_EQ(Tables(), before) << line;
  }
  // Without a record token nothing is registered.
  for (const char* line : {"RegReport", "RegReport \t \r"}) {
    EXPECT_EQ(Line(line), kRecordUnknown);
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

TEST_F(RegistrationTest, EveryKnownNameMapsOnlyInItsType) {
  for (const KnownName& known : kKnownNames) {
    SCOPED_TRACE(known.name);
    const std::string name(known.name);
    // Behind an unknown column, so column numbering is exercised too.
    Line("RegReport\t"s + std::string(RecordToken(known.type)) + "\tUnknown\t" + name);
    EXPECT_EQ(Slot(known.type, 0), -1);
    ASSERT_EQ(Slot(known.type, 1), SlotOf(known.paramId));
    EXPECT_EQ(KnownColumnSlot(known.type == kRecordDM ? kRecordSC : kRecordDM, known.name), kNoSlot);
    EXPECT_EQ(KnownColumnName(known.paramId), known.name);
  }
  // A few entries as the log format defines them.
  EXPECT_EQ(KnownColumnSlot(kRecordDM, "Rxagc"), SlotRefOf(0));
  EXPECT_EQ(KnownColumnSlot(kRecordCEVS, "AT_State"), SlotRefOf(85));
  EXPECT_EQ(KnownColumnSlot(kRecordEVT, "Event"), SlotRefOf(277));
  EXPECT_EQ(KnownColumnSlot(kRecordC1XQI, "EV_TxPER"), SlotRefOf(83));
  EXPECT_EQ(std::size(kKnownNames), 52u);
}

}  // namespace
}  // namespace wendrake
