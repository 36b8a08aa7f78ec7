// Neighbour lists, channel lists, channel assignments, status and handoff
// messages built bit by bit from the standards' tables, with a bit writer of
// the test's own; every field is checked against what went in.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fields/message_fields.h"
#include "fields/test_messages.h"

namespace wendrake {
namespace {

constexpr uint16_t kPaging = 0x1007;
constexpr uint16_t kReverseTraffic = 0x1005;
constexpr uint16_t kForwardTraffic = 0x1008;

// A paging channel message addressed to a 4-octet ESN.
BitWriter PagingAddressed(uint64_t msgType) {
  BitWriter w;
  w.Put(msgType, 8).Put({{3, 1}, {3, 2}, {1, 1}, {1, 0}, {3, 1}, {4, 4}, {32, 0x9F3A21C4}});
  return w;
}

// A traffic channel message: MSG_TYPE, ACK_SEQ, MSG_SEQ, ACK_REQ, ENCRYPTION.
BitWriter Traffic(uint64_t msgType) {
  BitWriter w;
  w.Put(msgType, 8).Put({{3, 0}, {3, 1}, {1, 1}, {2, 0}});
  return w;
}

bool Complete(const DecodedMessage& m) { return m.status == DecodedMessage::Status::kComplete; }

TEST(UniversalHandoffDirection, ActiveSetPilotsCodeChannelsAndTheFieldsAfterTheRecord) {
  BitWriter w = Traffic(0x22);
  w.Put({{1, 0}, {2, 1}, {1, 0}, {1, 0}, {1, 0}});  // USE_TIME .. EXTRA_PARMS_INCL
  w.Put({{1, 0}, {1, 0}, {1, 0}, {5, 3}, {1, 0}});  // power step, retry, SCH, FPC, PC time
  // CH_IND '001' (fundamental channel) and a 10-octet record: two pilots with
  // search offsets, the second with a one-octet pilot record, then the 3X and
  // CCSH flags and 6 bits of padding.
  w.Put({{3, 1}, {8, 10}});
  w.Put({{3, 2}, {1, 1}});
  w.Put({{9, 168}, {3, 2}, {1, 0}, {1, 0}, {11, 17}, {2, 0}});
  w.Put({{9, 240}, {3, 5}, {1, 1}, {3, 1}, {3, 1}, {8, 0xA7}, {1, 1}, {11, 2047}, {2, 3}});
  w.Put({{1, 0}, {1, 0}, {6, 0}});
  w.Put({{1, 1}, {1, 1}, {2, 2}, {1, 1}, {2, 3}});  // gating with its delay, 1X reverse link
  const DecodedMessage m = DecodeMessageFields(Logged1x(kForwardTraffic, w));
  ASSERT_TRUE(Complete(m)) << m.fields.back().text;
  EXPECT_EQ(Raw(m, "NUM_PILOTS"), 2u);
  const Field* pilots = Find(m.fields, "PILOTS");
  ASSERT_EQ(pilots->records.size(), 2u);
  EXPECT_EQ(Find(pilots->records[0], "PILOT_PN")->raw, 168u);
  EXPECT_EQ(Find(pilots->records[0], "CODE_CHAN_FCH")->raw, 17u);
  EXPECT_EQ(Find(pilots->records[0], "PILOT_REC_TYPE"), nullptr);
  EXPECT_EQ(Find(pilots->records[1], "SRCH_OFFSET")->raw, 5u);
  EXPECT_EQ(Find(pilots->records[1], "TYPE_SPECIFIC_FIELDS")->text, "A7");
  EXPECT_EQ(Find(pilots->records[1], "CODE_CHAN_FCH")->raw, 2047u);
  EXPECT_EQ(Find(pilots->records[1], "QOF_MASK_ID_FCH")->raw, 3u);
  EXPECT_EQ(Find(pilots->records[1], "CODE_CHAN_DCCH"), nullptr);
  EXPECT_EQ(Raw(m, "CCSH_INCLUDED"), 0u);
  EXPECT_EQ(Find(m.fields, "FUNDICATED_BCMC_IND"), nullptr);
  // The record's padding is skipped: the fields after it read at its end.
  EXPECT_EQ(Raw(m, "ACTIVE_SET_REC_FIELDS"), 0u);
  EXPECT_EQ(Find(m.fields, "ACTIVE_SET_REC_FIELDS")->width, 6);
  EXPECT_EQ(Raw(m, "REV_FCH_GATING_MODE"), 1u);
  EXPECT_EQ(Raw(m, "REV_PWR_CNTL_DELAY"), 2u);
  EXPECT_EQ(Raw(m, "1XRL_FREQ_OFFSET"), 3u);
  // The record's fields, its padding, then the fields after it, in order.
  const std::vector<std::string_view> names = Names(m.fields);
  const std::vector<std::string_view> expected = {
      "CH_IND", "ACTIVE_SET_REC_LEN", "NUM_PILOTS", "SRCH_OFFSET_INCL", "PILOTS",
      "3X_FCH_INFO_INCL", "CCSH_INCLUDED", "ACTIVE_SET_REC_FIELDS", "REV_FCH_GATING_MODE",
      "REV_PWR_CNTL_DELAY_INCL", "REV_PWR_CNTL_DELAY", "3XFL_1XRL_INCL", "1XRL_FREQ_OFFSET"};
  ASSERT_GE(names.size(), expected.size());
  EXPECT_EQ(std::vector<std::string_view>(names.end() - expected.size(), names.end()), expected);
}

TEST(UniversalHandoffDirection, DedicatedControlChannelSupplementalChannelsAndEncryption) {
  BitWriter w = Traffic(0x22);
  w.Put({{1, 0}, {2, 2}, {1, 0}, {1, 0}, {1, 1}});
  w.Put({{8, 4}, {4, 1}, {1, 0}, {1, 0}, {1, 0}, {2, 3}, {1, 0}, {4, 0}, {6, 0}, {1, 0},
         {3, 0}, {5, 1}, {11, 384}, {1, 0}, {1, 0}, {1, 0}, {1, 0}});  // ENCRYPT_MODE 3
  w.Put({{1, 0}, {1, 0}, {1, 1}, {2, 0}, {2, 0}, {5, 3}, {1, 0}});  // SCH_INCL, none assigned
  // CH_IND '010': a 10-octet record with one forward and no reverse
  // supplemental channel, one pilot with a dedicated control channel and one
  // SCH, the 3X DCCH, CCSH and BCMC flags, 6 bits of padding.
  w.Put({{3, 2}, {8, 10}});
  w.Put({{5, 1}, {1, 1}, {4, 9}, {4, 6}, {5, 0}});
  w.Put({{3, 1}, {1, 0}, {9, 300}, {1, 0}, {1, 1}, {11, 33}, {2, 1}});
  w.Put({{5, 1}, {1, 1}, {4, 9}, {1, 1}, {11, 5}, {2, 2}});
  w.Put({{1, 0}, {1, 0}, {1, 0}, {6, 0}});
  w.Put({{3, 5}, {3, 4}, {1, 0}});  // D_SIG_ENCRYPT_MODE, ENC_KEY_SIZE, no gating field
  const DecodedMessage m = DecodeMessageFields(Logged1x(kForwardTraffic, w));
  ASSERT_TRUE(Complete(m)) << m.fields.back().text;
  ASSERT_EQ(Find(m.fields, "FOR_SCH")->records.size(), 1u);
  EXPECT_EQ(Find(Find(m.fields, "FOR_SCH")->records[0], "FOR_SCH_RATE")->raw, 6u);
  const Field* pilots = Find(m.fields, "PILOTS");
  ASSERT_EQ(pilots->records.size(), 1u);
  EXPECT_EQ(Find(pilots->records[0], "CODE_CHAN_FCH"), nullptr);
  EXPECT_EQ(Find(pilots->records[0], "CODE_CHAN_DCCH")->raw, 33u);
  const Field* sch = Find(pilots->records[0], "SCH");
  ASSERT_EQ(sch->records.size(), 1u);
  EXPECT_EQ(Find(sch->records[0], "CODE_CHAN_SCH")->raw, 5u);
  EXPECT_EQ(Raw(m, "FUNDICATED_BCMC_IND"), 0u);
  EXPECT_EQ(Find(m.fields, "REV_FCH_GATING_MODE"), nullptr);
  EXPECT_EQ(Raw(m, "D_SIG_ENCRYPT_MODE"), 5u);
  EXPECT_EQ(Raw(m, "ENC_KEY_SIZE"), 4u);
}

TEST(UniversalHandoffDirection, ARecordShorterThanItsPilotsStopsAtTheRecord) {
  BitWriter w = Traffic(0x22);
  w.Put({{1, 0}, {2, 1}, {1, 0}, {1, 0}, {1, 0}, {1, 0}, {1, 0}, {1, 0}, {5, 3}, {1, 0}});
  w.Put({{3, 1}, {8, 1}, {3, 3}, {1, 0}, {9, 168}, {8, 0}});  // three pilots in one octet
  const DecodedMessage m = DecodeMessageFields(Logged1x(kForwardTraffic, w));
  EXPECT_EQ(m.status, DecodedMessage::Status::kTruncated);
  EXPECT_NE(m.fields.back().text.find("the record ends at ACTIVE_SET_REC_LEN"),
            std::string::npos)
      << m.fields.back().text;
}

TEST(NeighbourAndChannelLists, GeneralNeighborListFieldsFollowItsIncludeFlags) {
  BitWriter w;  // search priority and window, PNs and frequencies, no timing
  w.Put(0x16, 8).Put({{9, 168}, {6, 4}, {4, 4}, {2, 3}, {1, 1}, {1, 1}, {1, 0}, {6, 2}});
  w.Put({{3, 0}, {9, 240}, {2, 2}, {4, 8}, {1, 0}});
  w.Put({{3, 1}, {9, 36}, {2, 1}, {4, 10}, {1, 1}, {5, 1}, {11, 600}});
  w.Put({{3, 1}, {5, 0}, {2, 2}});
  const DecodedMessage m = DecodeMessageFields(Logged1x(kPaging, w));
  ASSERT_TRUE(Complete(m)) << m.fields.back().text;
  EXPECT_EQ(m.message, "General Neighbor List Message");
  const std::vector<std::string_view> order = {
      "MSG_LENGTH", "MSG_TYPE", "PILOT_PN", "CONFIG_MSG_SEQ", "PILOT_INC", "NGHBR_SRCH_MODE",
      "NGHBR_CONFIG_PN_INCL", "FREQ_FIELDS_INCL", "USE_TIMING", "NUM_NGHBR", "NEIGHBORS",
      "NUM_ANALOG_NGHBR", "ANALOG_NEIGHBORS"};
  EXPECT_EQ(Names(m.fields), order);
  const Field* neighbours = Find(m.fields, "NEIGHBORS");
  ASSERT_EQ(neighbours->records.size(), 2u);
  const std::vector<std::string_view> first = {"NGHBR_CONFIG", "NGHBR_PN", "SEARCH_PRIORITY",
                                                "SRCH_WIN_NGHBR", "FREQ_INCL"};
  EXPECT_EQ(Names(neighbours->records[0]), first);
  EXPECT_EQ(Find(neighbours->records[0], "NGHBR_PN")->raw, 240u);
  EXPECT_EQ(Find(neighbours->records[0], "SRCH_WIN_NGHBR")->raw, 8u);
  EXPECT_EQ(Find(neighbours->records[0], "NGHBR_FREQ"), nullptr);
  EXPECT_EQ(Find(neighbours->records[1], "SEARCH_PRIORITY")->raw, 1u);
  EXPECT_EQ(Find(neighbours->records[1], "NGHBR_FREQ")->raw, 600u);
  ASSERT_EQ(Find(m.fields, "ANALOG_NEIGHBORS")->records.size(), 1u);
  EXPECT_EQ(Find(Find(m.fields, "ANALOG_NEIGHBORS")->records[0], "SYS_A_B")->raw, 2u);

  BitWriter t;  // no PNs (the Neighbor List's apply), timing with a global duration
  t.Put(0x16, 8).Put({{9, 168}, {6, 4}, {4, 4}, {2, 0}, {1, 0}, {1, 0}, {1, 1}, {1, 1},
                      {4, 5}, {7, 90}, {6, 2}});
  t.Put({{1, 1}, {7, 12}, {1, 0}, {3, 0}});
  const DecodedMessage timed = DecodeMessageFields(Logged1x(kPaging, t));
  ASSERT_TRUE(Complete(timed)) << timed.fields.back().text;
  const Field* timedNeighbours = Find(timed.fields, "NEIGHBORS");
  ASSERT_EQ(timedNeighbours->records.size(), 2u);
  EXPECT_EQ(Find(timedNeighbours->records[0], "NGHBR_PN"), nullptr);
  EXPECT_EQ(Find(timedNeighbours->records[0], "NGHBR_TX_OFFSET")->raw, 12u);
  EXPECT_EQ(Find(timedNeighbours->records[0], "NGHBR_TX_PERIOD"), nullptr);
  EXPECT_EQ(Raw(timed, "GLOBAL_TX_PERIOD"), 90u);
}

TEST(NeighbourAndChannelLists, ExtendedCdmaChannelListCountsItsChannels) {
  BitWriter w;
  w.Put(0x1B, 8).Put({{9, 168}, {6, 2}, {4, 3}, {11, 283}, {11, 384}, {11, 425}});
  const DecodedMessage m = DecodeMessageFields(Logged1x(kPaging, w));
  ASSERT_TRUE(Complete(m)) << m.fields.back().text;
  const Field* channels = Find(m.fields, "CHANNELS");
  ASSERT_EQ(channels->records.size(), 3u);
  EXPECT_EQ(channels->records[2][0].raw, 425u);
}

TEST(CallSetup, ExtendedChannelAssignmentServiceConnectAndPageRecords) {
  BitWriter e = PagingAddressed(0x15);  // a traffic channel on PCS channel 425, two pilots
  e.Put({{1, 0}, {3, 0}, {3, 0}});
  e.Put({{1, 1}, {3, 0}, {1, 0}, {1, 0}, {3, 1}, {2, 0}, {4, 7}, {2, 0}, {5, 1}, {11, 425}});
  e.Put({{9, 168}, {1, 0}, {8, 12}, {9, 240}, {1, 1}, {8, 20}});
  const DecodedMessage ecam = DecodeMessageFields(Logged1x(kPaging, e));
  ASSERT_TRUE(Complete(ecam)) << ecam.fields.back().text;
  const std::vector<std::string_view> order = {
      "MSG_LENGTH", "MSG_TYPE", "ACK_SEQ", "MSG_SEQ", "ACK_REQ", "VALID_ACK", "ADDR_TYPE",
      "ADDR_LEN", "ADDRESS", "RESERVED_1", "ADD_RECORD_LEN", "ASSIGN_MODE", "ADDITIONAL_FIELDS",
      "FREQ_INCL", "DEFAULT_CONFIG", "BYPASS_ALERT_ANSWER", "RESERVED", "NUM_PILOTS",
      "GRANTED_MODE", "FRAME_OFFSET", "ENCRYPT_MODE", "BAND_CLASS", "CDMA_FREQ", "PILOTS"};
  EXPECT_EQ(Names(ecam.fields), order);
  EXPECT_EQ(Find(ecam.fields, "ADDRESS")->text, "9F3A21C4");
  EXPECT_EQ(Raw(ecam, "FRAME_OFFSET"), 7u);
  EXPECT_EQ(Raw(ecam, "CDMA_FREQ"), 425u);
  const Field* pilots = Find(ecam.fields, "PILOTS");
  ASSERT_EQ(pilots->records.size(), 2u);
  EXPECT_EQ(Find(pilots->records[1], "PILOT_PN")->raw, 240u);
  EXPECT_EQ(Find(pilots->records[1], "CODE_CHAN")->raw, 20u);

  BitWriter s = Traffic(0x14);
  s.Put({{1, 1}, {6, 33}, {3, 5}});
  const DecodedMessage connect = DecodeMessageFields(Logged1x(kForwardTraffic, s));
  ASSERT_TRUE(Complete(connect));
  EXPECT_EQ(Raw(connect, "ACTION_TIME"), 33u);
  EXPECT_EQ(Raw(connect, "SERV_CON_SEQ"), 5u);

  BitWriter g;  // a page for an IMSI_S with EVRC, one with MCC and IMSI_11_12, a broadcast
  g.Put(0x11, 8).Put({{6, 3}, {6, 7}, {1, 1}, {1, 0}, {1, 1}, {1, 0}, {1, 1}, {4, 0}, {3, 0}});
  g.Put({{2, 0}, {2, 0}, {3, 4}, {34, 0x2ABCDEF01ull}, {1, 1}, {16, 3}});
  g.Put({{2, 0}, {2, 3}, {3, 5}, {10, 310}, {7, 0}, {34, 0x123456789ull}, {1, 0}});
  g.Put({{2, 3}, {2, 0}, {6, 1}, {4, 2}, {16, 0xBEEF}});
  const DecodedMessage page = DecodeMessageFields(Logged1x(kPaging, g));
  ASSERT_TRUE(Complete(page)) << page.fields.back().text;
  const Field* records = Find(page.fields, "PAGE_RECORDS");
  ASSERT_EQ(records->records.size(), 3u);
  EXPECT_EQ(Find(records->records[0], "IMSI_S")->raw, 0x2ABCDEF01ull);
  EXPECT_EQ(Find(records->records[0], "SERVICE_OPTION")->raw, 3u);
  EXPECT_EQ(Find(records->records[1], "MCC")->raw, 310u);
  EXPECT_EQ(Find(records->records[1], "SERVICE_OPTION"), nullptr);
  EXPECT_EQ(Find(records->records[2], "BC_ADDR")->text, "BEEF");

  BitWriter t;  // a TMSI page record is not laid out: it and what follows are kept
  t.Put(0x11, 8).Put({{6, 3}, {6, 7}, {1, 1}, {1, 0}, {1, 1}, {1, 0}, {1, 1}, {4, 0}, {3, 0}});
  t.Put({{2, 2}, {2, 0}, {3, 1}, {8, 0x5A}, {1, 0}});
  const DecodedMessage tmsi = DecodeMessageFields(Logged1x(kPaging, t));
  ASSERT_TRUE(Complete(tmsi)) << tmsi.fields.back().text;
  const Field* kept = Find(tmsi.fields, "PAGE_RECORDS");
  ASSERT_EQ(kept->records.size(), 1u);
  EXPECT_NE(Find(kept->records[0], "PAGE_RECORDS_REST"), nullptr);
}

TEST(Status, RequestOnBothChannelsAndTheResponsesRecords) {
  BitWriter p = PagingAddressed(0x0F);  // band class qualification, two record types
  p.Put({{8, 1}, {3, 1}, {5, 1}, {3, 0}, {4, 2}, {8, 0x0A}, {8, 0x0C}});
  const DecodedMessage paging = DecodeMessageFields(Logged1x(kPaging, p));
  ASSERT_TRUE(Complete(paging)) << paging.fields.back().text;
  EXPECT_EQ(Find(paging.fields, "BAND_CLASS")->text, "1.8 to 2.0 GHz PCS");
  const Field* types = Find(paging.fields, "RECORD_TYPES");
  ASSERT_EQ(types->records.size(), 2u);
  EXPECT_EQ(types->records[1][0].raw, 0x0Cu);

  BitWriter f = Traffic(0x10);  // no qualification
  f.Put({{8, 0}, {3, 0}, {4, 1}, {8, 0x03}});
  const DecodedMessage forward = DecodeMessageFields(Logged1x(kForwardTraffic, f));
  ASSERT_TRUE(Complete(forward));
  EXPECT_EQ(Find(forward.fields, "RECORD_TYPES")->records[0][0].raw, 3u);

  BitWriter r = Traffic(0x10);  // band class and operating mode, two records
  r.Put({{8, 2}, {3, 2}, {5, 1}, {8, 4}, {3, 0}});
  r.Put({{8, 0x0A}, {8, 2}, {16, 0x1234}, {8, 0x0C}, {8, 1}, {8, 0x77}});
  const DecodedMessage response = DecodeMessageFields(Logged1x(kReverseTraffic, r));
  ASSERT_TRUE(Complete(response)) << response.fields.back().text;
  EXPECT_EQ(Raw(response, "OP_MODE"), 4u);
  const Field* records = Find(response.fields, "RECORDS");
  ASSERT_EQ(records->records.size(), 2u);
  EXPECT_EQ(Find(records->records[0], "TYPE_SPECIFIC_FIELDS")->text, "1234");
  EXPECT_EQ(Find(records->records[1], "RECORD_TYPE")->raw, 0x0Cu);
}

}  // namespace
}  // namespace wendrake
