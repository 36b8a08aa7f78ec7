// Messages are built here bit by bit from the standards' tables, with a bit
// writer of the test's own, and every field is checked against what went in.
#include "fields/message_fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fields/cdma1x_layouts.h"
#include "fields/evdo_layouts.h"
#include "fields/field_catalogue.h"
#include "fields/field_values.h"
#include "fields/field_writers.h"
#include "fields/test_messages.h"

namespace wendrake {
namespace {

// System Parameters Message with every field of the standard's table.
BitWriter SystemParameters(bool laterFlags) {
  BitWriter w;
  w.Put(1, 8);  // MSG_TYPE
  w.Put({{9, 168}, {6, 5}, {15, 4139}, {16, 1}, {12, 44}, {3, 1}, {3, 2}, {1, 0}, {1, 0},
         {16, 11281}, {4, 1}, {3, 1}, {3, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1},
         {7, 58}});
  w.Put(583200, 22);                             // BASE_LAT: 40.5 degrees N
  w.Put(uint64_t(-1069200) & 0x7FFFFF, 23);      // BASE_LONG: 74.25 degrees W
  w.Put({{11, 0}, {4, 8}, {4, 10}, {4, 10}, {4, 0}, {5, 0}, {4, 0}, {1, 0}, {1, 0}, {5, 0},
         {1, 0}, {6, 28}, {6, 32}, {4, 5}, {4, 3}, {1, 1}});
  if (laterFlags) w.Put({{1, 0}, {1, 1}, {1, 0}, {1, 0}, {1, 0}, {1, 0}, {1, 1}});
  return w;
}

TEST(SystemParameters, EveryFieldInTheStandardsOrderWithItsUnit) {
  const DecodedMessage m = DecodeMessageFields(Logged1x(0x1007, SystemParameters(true)));
  EXPECT_EQ(m.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(m.message, "System Parameters Message");
  EXPECT_EQ(m.channel, "Paging Channel");
  const std::vector<std::string_view> expected = {
      "MSG_LENGTH", "MSG_TYPE", "PILOT_PN", "CONFIG_MSG_SEQ", "SID", "NID", "REG_ZONE",
      "TOTAL_ZONES", "ZONE_TIMER", "MULT_SIDS", "MULT_NIDS", "BASE_ID", "BASE_CLASS",
      "PAGE_CHAN", "MAX_SLOT_CYCLE_INDEX", "HOME_REG", "FOR_SID_REG", "FOR_NID_REG",
      "POWER_UP_REG", "POWER_DOWN_REG", "PARAMETER_REG", "REG_PRD", "BASE_LAT", "BASE_LONG",
      "REG_DIST", "SRCH_WIN_A", "SRCH_WIN_N", "SRCH_WIN_R", "NGHBR_MAX_AGE", "PWR_REP_THRESH",
      "PWR_REP_FRAMES", "PWR_THRESH_ENABLE", "PWR_PERIOD_ENABLE", "PWR_REP_DELAY", "RESCAN",
      "T_ADD", "T_DROP", "T_COMP", "T_TDROP", "EXT_SYS_PARAMETER", "EXT_NGHBR_LIST",
      "GEN_NGHBR_LIST", "GLOBAL_REDIRECT", "PRI_NGHBR_LIST", "USER_ZONE_ID",
      "EXT_GLOBAL_REDIRECT", "EXT_CHAN_LIST"};
  EXPECT_EQ(Names(m.fields), expected);
  EXPECT_EQ(Raw(m, "PILOT_PN"), 168u);
  EXPECT_EQ(Raw(m, "SID"), 4139u);
  EXPECT_EQ(Raw(m, "BASE_ID"), 11281u);
  ASSERT_NE(FindField(m, "BASE_ID"), nullptr);
  EXPECT_EQ(FindField(m, "BASE_ID")->raw, 11281u);
  EXPECT_EQ(FindField(m, "NGHBR_PN"), nullptr);
  EXPECT_EQ(Raw(m, "GEN_NGHBR_LIST"), 1u);
  EXPECT_EQ(Raw(m, "EXT_CHAN_LIST"), 1u);
  // PILOT_PN follows the 12-octet log header, MSG_LENGTH and MSG_TYPE.
  EXPECT_EQ(Find(m.fields, "PILOT_PN")->bitOffset, 12 * 8 + 16);
  EXPECT_EQ(Find(m.fields, "PILOT_PN")->width, 9);
  EXPECT_DOUBLE_EQ(*Find(m.fields, "BASE_LAT")->real, 40.5);
  EXPECT_DOUBLE_EQ(*Find(m.fields, "BASE_LONG")->real, -74.25);
  EXPECT_EQ(Find(m.fields, "BASE_LONG")->unit, "deg");
  EXPECT_DOUBLE_EQ(*Find(m.fields, "T_ADD")->real, -14.0);
  EXPECT_DOUBLE_EQ(*Find(m.fields, "T_DROP")->real, -16.0);
  EXPECT_DOUBLE_EQ(*Find(m.fields, "T_COMP")->real, 2.5);
  EXPECT_EQ(Find(m.fields, "T_ADD")->unit, "dB");
}

TEST(SystemParameters, AnOlderMessageEndingBeforeTheLaterFlagsIsComplete) {
  const DecodedMessage m = DecodeMessageFields(Logged1x(0x1007, SystemParameters(false)));
  EXPECT_EQ(m.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(Find(m.fields, std::string(kTruncatedField)), nullptr);
  EXPECT_EQ(Raw(m, "EXT_SYS_PARAMETER"), 1u);
}

// Bad input: fields are decoded up to the first that does not fit, then the
// marker says where and why.
TEST(Truncation, AMessageShorterThanItsFieldsEndsWithTheMarker) {
  BitWriter w = SystemParameters(true);
  std::vector<uint8_t> bytes = w.Bytes();
  bytes.resize(16);  // ends inside BASE_LAT (bits 113..134 after MSG_LENGTH)
  BitWriter cut;
  for (uint8_t b : bytes) cut.Put(b, 8);
  const DecodedMessage m = DecodeMessageFields(Logged1x(0x1007, cut));
  EXPECT_EQ(m.status, DecodedMessage::Status::kTruncated);
  ASSERT_FALSE(m.fields.empty());
  const Field& marker = m.fields.back();
  EXPECT_EQ(marker.name, kTruncatedField);
  EXPECT_EQ(marker.kind, Field::Kind::kTruncated);
  EXPECT_EQ(m.fields[m.fields.size() - 2].name, "REG_PRD");
  EXPECT_EQ(marker.bitOffset, 12 * 8 + 8 + 113);
  EXPECT_NE(marker.text.find("BASE_LAT needs 22 bits"), std::string::npos) << marker.text;
  EXPECT_NE(marker.text.find("MSG_LENGTH (17 octets)"), std::string::npos) << marker.text;
}

TEST(Truncation, ALengthPastTheLoggedBodyIsReported) {
  BitWriter w;
  w.Put(1, 8).Put(168, 9);  // a System Parameters Message cut after PILOT_PN
  const DecodedMessage m = DecodeMessageFields(Logged1x(0x1007, w, 20));
  EXPECT_EQ(m.status, DecodedMessage::Status::kTruncated);
  EXPECT_EQ(Raw(m, "PILOT_PN"), 168u);
  EXPECT_NE(m.fields.back().text.find("MSG_LENGTH says 24 octets, 4 logged"), std::string::npos)
      << m.fields.back().text;
}

TEST(Truncation, ACountThatOverrunsTheBodyStopsInsideTheRecords) {
  BitWriter w;
  w.Put(4, 8).Put({{3, 0}, {3, 1}, {1, 1}, {1, 0}, {3, 0}, {3, 0}, {4, 0}, {2, 0}});  // header
  w.Put({{1, 0}, {3, 1}, {8, 6}, {8, 0xEA}, {3, 1}, {1, 0}, {1, 0}, {1, 0}, {1, 0}, {8, 200}});
  for (int digit : {5, 5, 5, 1}) w.Put(digit, 4);
  const DecodedMessage m = DecodeMessageFields(Logged1x(0x1004, w));
  EXPECT_EQ(m.status, DecodedMessage::Status::kTruncated);
  const Field* digits = Find(m.fields, "CHARi");
  ASSERT_NE(digits, nullptr);
  ASSERT_GE(digits->records.size(), 4u);
  EXPECT_EQ(digits->records[3][0].raw, 1u);
  EXPECT_EQ(m.fields.back().name, kTruncatedField);
}

TEST(Truncation, WhatIsNotALoggedMessageGivesNoFields) {
  EXPECT_EQ(DecodeMessageFields(std::vector<uint8_t>{0x10, 0, 0x07}).status,
            DecodedMessage::Status::kNotMessage);
  const DecodedMessage unknown = DecodeMessageFields(Logged(0x1234, {1, 2, 3}));
  EXPECT_EQ(unknown.status, DecodedMessage::Status::kNotMessage);
  EXPECT_TRUE(unknown.fields.empty());
  // A paging channel item without a message: MSG_LENGTH itself does not fit.
  const DecodedMessage empty = DecodeMessageFields(Logged(0x1007, {}));
  EXPECT_EQ(empty.status, DecodedMessage::Status::kTruncated);
  EXPECT_EQ(empty.fields.back().name, kTruncatedField);
  // A length word shorter than the bytes logged bounds the message.
  std::vector<uint8_t> padded = Logged1x(0x1007, SystemParameters(true));
  const size_t real = padded.size();
  padded.resize(real + 20, 0xFF);
  const DecodedMessage bounded = DecodeMessageFields(padded);
  EXPECT_EQ(bounded.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(Raw(bounded, "EXT_CHAN_LIST"), 1u);
}

TEST(SyncChannel, SystemTimeAndLocalOffsetInTheirUnits) {
  BitWriter w;
  w.Put(1, 8).Put({{8, 6}, {8, 1}, {15, 4139}, {16, 1}, {9, 168}, {42, 0x2A5F0C1B3D7}});
  w.Put(18511200000ull / 1000 * 1000, 36);  // 2026-12-10 00:00:00 in 80 ms units
  w.Put({{8, 18}, {6, 54}, {1, 0}, {2, 1}, {11, 283}, {11, 0}});  // LTM_OFF -10: -5 hours
  const DecodedMessage m = DecodeMessageFields(Logged1x(0x1006, w));
  EXPECT_EQ(m.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(m.message, "Sync Channel Message");
  EXPECT_EQ(Find(m.fields, "SYS_TIME")->text, "2026-12-10 00:00:00.000 GPS");
  EXPECT_DOUBLE_EQ(*Find(m.fields, "LTM_OFF")->real, -300.0);
  EXPECT_EQ(Raw(m, "LC_STATE"), 0x2A5F0C1B3D7u);
  EXPECT_EQ(Raw(m, "CDMA_FREQ"), 283u);
}

TEST(NeighborLists, NeighboursFillTheMessageAsRecords) {
  BitWriter w;
  w.Put(3, 8).Put({{9, 480}, {6, 3}, {4, 4}});
  for (uint64_t pn : {132, 372, 168}) w.Put(0, 3).Put(pn, 9);
  const DecodedMessage m = DecodeMessageFields(Logged1x(0x1007, w));
  EXPECT_EQ(m.status, DecodedMessage::Status::kComplete);
  const Field* list = Find(m.fields, "NEIGHBORS");
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->records.size(), 3u);
  EXPECT_EQ(Raw(m, "PILOT_INC"), 4u);
  EXPECT_EQ(list->records[1][1].name, "NGHBR_PN");
  EXPECT_EQ(list->records[1][1].raw, 372u);

  BitWriter e;  // Extended Neighbor List: a frequency only where FREQ_INCL says so
  e.Put(0x0E, 8).Put({{9, 480}, {6, 3}, {4, 4}});
  e.Put({{3, 0}, {9, 132}, {2, 1}, {1, 0}});
  e.Put({{3, 0}, {9, 372}, {2, 3}, {1, 1}, {5, 1}, {11, 600}});
  const DecodedMessage x = DecodeMessageFields(Logged1x(0x1007, e));
  const Field* extended = Find(x.fields, "NEIGHBORS");
  ASSERT_NE(extended, nullptr);
  ASSERT_EQ(extended->records.size(), 2u);
  EXPECT_EQ(extended->records[0].size(), 4u);
  EXPECT_EQ(Find(extended->records[1], "NGHBR_FREQ")->raw, 600u);
  EXPECT_EQ(Find(extended->records[1], "NGHBR_BAND")->text, "1.8 to 2.0 GHz PCS");
}

TEST(PagingOverhead, AccessParametersChannelListExtendedParametersAndGeneralPage) {
  BitWriter apm;  // AUTH 1 brings RAND; PSIST_EMG follows its include flag
  apm.Put(2, 8).Put({{9, 168}, {6, 7}, {5, 1}, {4, 15}, {5, 30}, {3, 3}, {4, 4}, {3, 4}, {4, 3},
                     {6, 0}, {3, 0}, {3, 0}, {3, 0}, {3, 0}, {3, 0}, {3, 0}, {3, 1}, {3, 2},
                     {4, 8}, {4, 3}, {4, 2}, {4, 1}, {4, 2}, {4, 2}, {2, 1}, {32, 0xCAFEF00D},
                     {1, 0}, {1, 1}, {3, 5}});
  const DecodedMessage a = DecodeMessageFields(Logged1x(0x1007, apm));
  EXPECT_EQ(a.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(a.message, "Access Parameters Message");
  EXPECT_DOUBLE_EQ(*Find(a.fields, "NOM_PWR")->real, -1.0);
  EXPECT_DOUBLE_EQ(*Find(a.fields, "INIT_PWR")->real, -2.0);
  EXPECT_EQ(Raw(a, "RAND"), 0xCAFEF00Du);
  EXPECT_EQ(Raw(a, "PSIST_EMG"), 5u);

  BitWriter cclm;  // channels fill the message
  cclm.Put(4, 8).Put({{9, 168}, {6, 2}, {11, 283}, {11, 384}});
  const DecodedMessage c = DecodeMessageFields(Logged1x(0x1007, cclm));
  ASSERT_EQ(Find(c.fields, "CHANNELS")->records.size(), 2u);
  EXPECT_EQ(Find(c.fields, "CHANNELS")->records[1][0].raw, 384u);

  BitWriter espm;  // a two-octet TMSI zone; EC_THRESH only when RESELECT_INCLUDED
  espm.Put(0x0D, 8).Put({{9, 168}, {6, 2}, {1, 0}, {1, 1}, {2, 3}, {10, 310}, {7, 0}, {4, 2},
                         {16, 0xA5A5}, {3, 0}, {1, 1}, {8, 6}, {8, 2}, {6, 10}, {6, 4}, {6, 6},
                         {8, 17}, {3, 2}, {1, 0}, {1, 1}});
  const DecodedMessage e = DecodeMessageFields(Logged1x(0x1007, espm));
  EXPECT_EQ(e.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(Find(e.fields, "TMSI_ZONE")->text, "A5A5");
  EXPECT_EQ(Raw(e, "MCC"), 310u);
  EXPECT_EQ(Raw(e, "P_REV"), 6u);
  EXPECT_EQ(Find(e.fields, "EC_THRESH"), nullptr);
  EXPECT_EQ(Raw(e, "PILOT_REPORT"), 1u);

  BitWriter gpm;  // the fields before the page records
  gpm.Put(0x11, 8).Put({{6, 3}, {6, 7}, {1, 1}, {1, 0}, {1, 1}, {1, 0}, {1, 1}, {4, 0}, {3, 1},
                        {8, 0x42}});
  const DecodedMessage g = DecodeMessageFields(Logged1x(0x1007, gpm));
  EXPECT_EQ(Raw(g, "ACC_MSG_SEQ"), 7u);
  EXPECT_EQ(Find(g.fields, "ADD_PFIELD")->text, "42");
}

TEST(Orders, QualifierAddressAndNames) {
  BitWriter p;  // paging channel, addressed by a 4-octet ESN
  p.Put(7, 8).Put({{3, 1}, {3, 2}, {1, 1}, {1, 0}, {3, 1}, {4, 4}, {32, 0x9F3A21C4}});
  p.Put({{6, 18}, {3, 1}, {8, 0x20}});
  const DecodedMessage paging = DecodeMessageFields(Logged1x(0x1007, p));
  EXPECT_EQ(paging.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(Find(paging.fields, "ADDRESS")->text, "9F3A21C4");
  EXPECT_EQ(Raw(paging, "ORDER"), 18u);
  EXPECT_EQ(Raw(paging, "ORDQ"), 0x20u);
  EXPECT_FALSE(Find(paging.fields, "ORDER")->text.empty());

  BitWriter r;  // reverse traffic: Service Option Request Order for EVRC
  r.Put(1, 8).Put({{3, 0}, {3, 1}, {1, 1}, {2, 0}, {6, 19}, {3, 3}, {8, 0}, {16, 3}});
  const DecodedMessage reverse = DecodeMessageFields(Logged1x(0x1005, r));
  EXPECT_EQ(reverse.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(Find(reverse.fields, "SERVICE_OPTION")->text, "Enhanced Variable Rate Codec (EVRC)");

  BitWriter f;  // forward traffic: USE_TIME and ACTION_TIME come first
  f.Put(1, 8).Put({{3, 0}, {3, 1}, {1, 1}, {2, 0}, {1, 1}, {6, 9}, {6, 21}, {3, 0}});
  const DecodedMessage forward = DecodeMessageFields(Logged1x(0x1008, f));
  EXPECT_EQ(Raw(forward, "ACTION_TIME"), 9u);
  EXPECT_EQ(Raw(forward, "ORDER"), 21u);
  EXPECT_EQ(Find(forward.fields, "ORDQ"), nullptr);
  EXPECT_EQ(Find(forward.fields, "ORDER")->text, "Release Order");
}

// The access channel header, then a Registration Message with MOB_P_REV.
BitWriter Registration(uint64_t mobPRev, uint64_t regType = 1) {
  BitWriter w;
  w.Put(1, 8).Put({{3, 0}, {3, 1}, {1, 1}, {1, 0}, {3, 0}, {3, 1}, {4, 4}, {32, 0x12345678},
                   {2, 0}});
  w.Put({{4, regType}, {3, 2}, {8, mobPRev}, {8, 0xEA}, {1, 1}});
  if (mobPRev >= 4) w.Put(0, 4);
  if (mobPRev >= 6) w.Put({{1, 1}, {1, 1}, {1, 1}, {16, 777}});
  if (mobPRev >= 7) w.Put({{1, 1}, {3, 2}});
  return w;
}

TEST(Registration, TheProtocolRevisionDecidesTheFields) {
  const DecodedMessage old = DecodeMessageFields(Logged1x(0x1004, Registration(3)));
  EXPECT_EQ(old.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(Find(old.fields, "RETURN_CAUSE"), nullptr);
  EXPECT_EQ(Find(old.fields, "REG_TYPE")->text, "Power-up");
  EXPECT_EQ(Find(old.fields, "MSID")->text, "12345678");

  const DecodedMessage recent = DecodeMessageFields(Logged1x(0x1004, Registration(7)));
  EXPECT_EQ(recent.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(Raw(recent, "UZID"), 777u);
  EXPECT_EQ(Raw(recent, "GEO_LOC_TYPE"), 2u);

  // A reserved registration type keeps its value and gets no name.
  const DecodedMessage reserved = DecodeMessageFields(Logged1x(0x1004, Registration(6, 13)));
  EXPECT_EQ(reserved.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(Raw(reserved, "REG_TYPE"), 13u);
  EXPECT_TRUE(Find(reserved.fields, "REG_TYPE")->text.empty());

  // The revision in use, when the caller knows it, wins over MOB_P_REV.
  const DecodedMessage capped =
      DecodeMessageFields(Logged1x(0x1004, Registration(7)), FieldOptions{4});
  EXPECT_EQ(Find(capped.fields, "QPCH_SUPPORTED"), nullptr);
  EXPECT_NE(Find(capped.fields, "RETURN_CAUSE"), nullptr);
}

TEST(Origination, DialledDigitsAndAlternativeServiceOptions) {
  BitWriter w;
  w.Put(4, 8).Put({{3, 0}, {3, 1}, {1, 1}, {1, 0}, {3, 0}, {3, 1}, {4, 0}, {2, 0}});
  w.Put({{1, 0}, {3, 1}, {8, 5}, {8, 0xEA}, {3, 1}, {1, 1}, {16, 3}, {1, 0}, {1, 0}, {1, 0},
         {8, 3}, {4, 5}, {4, 1}, {4, 10}, {1, 0}, {1, 0}, {4, 0}, {1, 0}, {1, 0}, {3, 2},
         {16, 17}, {16, 0x8000}});
  const DecodedMessage m = DecodeMessageFields(Logged1x(0x1004, w));
  EXPECT_EQ(m.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(Raw(m, "SERVICE_OPTION"), 3u);
  const Field* digits = Find(m.fields, "CHARi");
  ASSERT_EQ(digits->records.size(), 3u);
  EXPECT_EQ(digits->records[2][0].raw, 10u);
  EXPECT_EQ(digits->records[2][0].width, 4);
  const Field* alternatives = Find(m.fields, "ALT_SO");
  ASSERT_EQ(alternatives->records.size(), 2u);
  EXPECT_EQ(alternatives->records[1][0].text, "13K Voice (QCELP)");
}

TEST(TrafficChannels, MeasurementReportsAndHandoffCompletion) {
  BitWriter psmm;  // reverse traffic header, reference pilot, two more pilots
  psmm.Put(5, 8).Put({{3, 0}, {3, 1}, {1, 1}, {2, 0}});
  psmm.Put({{9, 168}, {6, 14}, {1, 1}, {15, 240 * 64}, {6, 18}, {1, 1}, {15, 36 * 64 + 3},
            {6, 30}, {1, 0}});
  const DecodedMessage m = DecodeMessageFields(Logged1x(0x1005, psmm));
  EXPECT_EQ(m.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(Raw(m, "REF_PN"), 168u);
  EXPECT_DOUBLE_EQ(*Find(m.fields, "PILOT_STRENGTH")->real, -7.0);
  const Field* pilots = Find(m.fields, "PILOTS");
  ASSERT_EQ(pilots->records.size(), 2u);
  EXPECT_EQ(pilots->records[1][0].raw, 36u * 64 + 3);
  EXPECT_DOUBLE_EQ(*pilots->records[1][1].real, -15.0);

  BitWriter pmrm;  // NUM_PILOTS strengths
  pmrm.Put(6, 8).Put({{3, 0}, {3, 1}, {1, 1}, {2, 0}});
  pmrm.Put({{5, 2}, {10, 50}, {2, 1}, {4, 3}, {6, 10}, {6, 12}, {6, 20}});
  const DecodedMessage p = DecodeMessageFields(Logged1x(0x1005, pmrm));
  EXPECT_EQ(p.status, DecodedMessage::Status::kComplete);
  ASSERT_EQ(Find(p.fields, "PILOTS")->records.size(), 3u);
  EXPECT_EQ(Find(p.fields, "PILOTS")->records[2][0].raw, 20u);

  BitWriter sccm;
  sccm.Put(0x0E, 8).Put({{3, 0}, {3, 1}, {1, 1}, {2, 0}, {1, 0}, {3, 5}});
  EXPECT_EQ(Raw(DecodeMessageFields(Logged1x(0x1005, sccm)), "SERV_CON_SEQ"), 5u);

  BitWriter hcm;  // the active set fills the message
  hcm.Put(10, 8).Put({{3, 0}, {3, 1}, {1, 1}, {2, 0}, {2, 1}, {9, 168}, {9, 240}});
  const DecodedMessage h = DecodeMessageFields(Logged1x(0x1005, hcm));
  EXPECT_EQ(h.status, DecodedMessage::Status::kComplete);
  ASSERT_EQ(Find(h.fields, "PILOTS")->records.size(), 2u);
  EXPECT_EQ(Find(h.fields, "PILOTS")->records[1][0].raw, 240u);
}

TEST(TrafficChannels, ExtendedHandoffDirectionWithThresholdsAndPilots) {
  BitWriter w;
  w.Put(0x11, 8).Put({{3, 0}, {3, 1}, {1, 1}, {2, 0}});
  w.Put({{1, 0}, {6, 0}, {2, 1}, {1, 1}, {4, 8}, {6, 28}, {6, 32}, {4, 5}, {4, 3}, {1, 0},
         {3, 0}});
  w.Put({{9, 168}, {1, 0}, {8, 12}, {9, 240}, {1, 1}, {8, 20}});
  const DecodedMessage m = DecodeMessageFields(Logged1x(0x1008, w));
  EXPECT_EQ(m.status, DecodedMessage::Status::kComplete);
  EXPECT_DOUBLE_EQ(*Find(m.fields, "T_ADD")->real, -14.0);
  EXPECT_EQ(Find(m.fields, "FRAME_OFFSET"), nullptr);
  const Field* pilots = Find(m.fields, "PILOTS");
  ASSERT_EQ(pilots->records.size(), 2u);
  EXPECT_EQ(Find(pilots->records[1], "CODE_CHAN")->raw, 20u);
}

TEST(Truncation, ARecordLengthPastTheMessageStopsAtTheRecord) {
  BitWriter w;  // Alert With Information: a Signal record claiming 9 octets
  w.Put(3, 8).Put({{3, 0}, {3, 1}, {1, 1}, {2, 0}});
  w.Put({{8, 5}, {8, 9}, {2, 1}, {2, 0}, {6, 7}, {6, 0}});
  const DecodedMessage m = DecodeMessageFields(Logged1x(0x1008, w));
  EXPECT_EQ(m.status, DecodedMessage::Status::kTruncated);
  EXPECT_NE(m.fields.back().text.find("TYPE_SPECIFIC_FIELDS needs 72 bits"), std::string::npos)
      << m.fields.back().text;

  BitWriter o;  // an order whose record is shorter than its ORDQ and service option
  o.Put(1, 8).Put({{3, 0}, {3, 1}, {1, 1}, {2, 0}, {6, 19}, {3, 1}, {8, 0}, {16, 3}});
  const DecodedMessage order = DecodeMessageFields(Logged1x(0x1005, o));
  EXPECT_EQ(order.status, DecodedMessage::Status::kTruncated);
  EXPECT_EQ(Raw(order, "ORDQ"), 0u);
  EXPECT_NE(order.fields.back().text.find("the record ends at ADD_RECORD_LEN"),
            std::string::npos)
      << order.fields.back().text;

  BitWriter u;  // unknown order-specific octets are kept, and decoding goes on after them
  u.Put(1, 8).Put({{3, 0}, {3, 1}, {1, 1}, {2, 0}, {6, 21}, {3, 3}, {8, 2}, {16, 0xBEEF}});
  const DecodedMessage release = DecodeMessageFields(Logged1x(0x1005, u));
  EXPECT_EQ(release.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(Find(release.fields, "ORDER_SPECIFIC")->text, "BEEF");
}

TEST(Layouts, EveryBlockIsClosedAndEveryConditionReadsAnEarlierField) {
  for (const MessageLayout& layout : Cdma1xLayouts()) {
    int depth = 0;
    std::vector<std::string_view> seen = {"MSG_TYPE", "AUTH_MODE", "MSID_LEN", kPRevInUse};
    for (const Step& step : layout.body) {
      if (step.op == Op::kIf || step.op == Op::kWithin ||
          (step.op == Op::kRepeat && !step.ref.empty()) ||
          (step.op == Op::kField && !step.ref.empty())) {
        EXPECT_NE(std::find(seen.begin(), seen.end(), step.ref), seen.end())
            << layout.reference << ": " << step.ref;
      }
      if (step.op == Op::kField) seen.push_back(step.name);
      if (step.op == Op::kIf || step.op == Op::kRepeat || step.op == Op::kWithin) ++depth;
      if (step.op == Op::kEndIf || step.op == Op::kEndRepeat || step.op == Op::kEndWithin) --depth;
      EXPECT_GE(depth, 0) << layout.reference;
    }
    EXPECT_EQ(depth, 0) << layout.reference;
  }
}

TEST(Layouts, AFieldNameHasOneUnitWhereverItAppears) {
  std::vector<std::pair<std::string_view, std::string_view>> seen;
  auto check = [&](Layout layout) {
    for (const Step& step : layout) {
      if (step.op != Op::kField) continue;
      const std::string_view unit = UnitOf(step.conv);
      for (const auto& [name, other] : seen) {
        if (name == step.name) {
          EXPECT_EQ(unit, other) << name;
        }
      }
      seen.emplace_back(step.name, unit);
    }
  };
  for (const MessageLayout& layout : Cdma1xLayouts()) check(layout.body);
  for (const EvdoLayout& layout : EvdoLayouts()) check(layout.body);

  const std::vector<FieldInfo> catalogue = FieldCatalogue();
  auto unitOf = [&](std::string_view name) -> std::string_view {
    for (const FieldInfo& info : catalogue) {
      if (info.name == name) return info.unit;
    }
    ADD_FAILURE() << name << " is not in the catalogue";
    return {};
  };
  EXPECT_EQ(unitOf("BASE_LAT"), "deg");
  EXPECT_EQ(unitOf("T_ADD"), "dB");
  EXPECT_EQ(unitOf("NEIGHBORS"), "");
  EXPECT_EQ(unitOf("Latitude"), "deg");
  EXPECT_EQ(catalogue.front().name, "MSG_LENGTH");
  EXPECT_EQ(catalogue.back().name, kTruncatedField);
}

TEST(Writers, JsonObjectsArraysAndTheTextLines) {
  BitWriter w;
  w.Put(3, 8).Put({{9, 480}, {6, 3}, {4, 4}, {3, 0}, {9, 132}, {3, 1}, {9, 372}});
  const DecodedMessage m = DecodeMessageFields(Logged1x(0x1007, w));
  const std::string json = FieldsToJson(m);
  EXPECT_NE(json.find("\"status\":\"complete\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"NEIGHBORS\":[{\"NGHBR_CONFIG\":0,\"NGHBR_PN\":132},"
                      "{\"NGHBR_CONFIG\":1,\"NGHBR_PN\":372}]"),
            std::string::npos)
      << json;
  const std::string text = FieldsToText(m);
  EXPECT_EQ(text.rfind("Neighbor List Message [Paging Channel, complete]\n", 0), 0u) << text;
  EXPECT_NE(text.find("  NEIGHBORS (2)\n    [0]\n      NGHBR_CONFIG = 0\n"), std::string::npos)
      << text;

  const DecodedMessage spm = DecodeMessageFields(Logged1x(0x1007, SystemParameters(true)));
  EXPECT_NE(FieldsToText(spm).find("  T_ADD = 28 (-14 dB)\n"), std::string::npos);
  EXPECT_NE(FieldsToJson(spm).find("\"BASE_LAT\":{\"raw\":583200,\"value\":40.5,\"unit\":\"deg\"}"),
            std::string::npos);

  std::vector<uint8_t> cut = Logged1x(0x1007, SystemParameters(true));
  cut.resize(20);
  const std::string truncated = FieldsToJson(DecodeMessageFields(cut));
  EXPECT_NE(truncated.find("\"<truncated>\":{\"bit\":"), std::string::npos) << truncated;
}

}  // namespace
}  // namespace wendrake
