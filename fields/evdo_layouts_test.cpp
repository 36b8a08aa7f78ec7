// EV-DO records built bit by bit: the handset's record header, then the
// message from the tables of C.S0024.
#include "fields/evdo_layouts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fields/message_fields.h"
#include "fields/test_messages.h"

namespace wendrake {
namespace {

// The record header (channel, PN 300 and channel 75 low octet first, band,
// stream, protocol subtype and protocol, sequence), the message length, then
// the protocol type and the message.
std::vector<uint8_t> EvdoRecord(uint16_t logCode, const BitWriter& message) {
  BitWriter w;
  w.Put({{8, 0}, {8, 0x2C}, {8, 0x01}, {8, 75}, {8, 0}, {8, 1}, {8, 0}, {8, 7}, {8, 0}, {8, 0}});
  const std::vector<uint8_t> bytes = message.Bytes();
  w.Put(bytes.size(), 8);
  for (uint8_t b : bytes) w.Put(b, 8);
  return Logged(logCode, w.Bytes());
}

TEST(Evdo, SectorParametersWithItsChannelAndNeighbourLists) {
  BitWriter m;
  m.Put({{8, 0x0F}, {8, 0x01}, {12, 310}});
  m.Put(0x0123456789ABCDEFull, 64).Put(0x0011223344556677ull, 64);  // SectorID
  m.Put({{8, 104}, {16, 0xBEEF}});
  m.Put(583200, 22).Put(uint64_t(-1069200) & 0x7FFFFF, 23);
  m.Put({{11, 0}, {8, 18}, {11, uint64_t(-300) & 0x7FF}, {2, 0}, {2, 0}, {5, 1},
         {8, 0}, {5, 1}, {11, 400}, {5, 2}, {9, 12}, {9, 24}, {1, 0}, {1, 1}, {8, 0}, {5, 1},
         {11, 425}});
  const DecodedMessage d = DecodeMessageFields(EvdoRecord(0x107C, m));
  EXPECT_EQ(d.message, "SectorParameters");
  EXPECT_EQ(d.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(Raw(d, "PILOT_PN"), 300u);
  EXPECT_EQ(Find(d.fields, "SectorID")->text, "0123456789ABCDEF0011223344556677");
  EXPECT_DOUBLE_EQ(*Find(d.fields, "Latitude")->real, 40.5);
  EXPECT_DOUBLE_EQ(*Find(d.fields, "Longitude")->real, -74.25);
  EXPECT_DOUBLE_EQ(*Find(d.fields, "LocalTimeOffset")->real, -300.0);
  const Field* pns = Find(d.fields, "NeighborPilotPN");
  ASSERT_EQ(pns->records.size(), 2u);
  EXPECT_EQ(pns->records[1][0].raw, 24u);
  const Field* channels = Find(d.fields, "NeighborChannel");
  ASSERT_EQ(channels->records.size(), 2u);
  EXPECT_EQ(channels->records[0].size(), 1u);
  EXPECT_EQ(Find(channels->records[1], "ChannelNumber")->raw, 425u);
}

TEST(Evdo, RouteUpdateAndConnectionMessages) {
  BitWriter ru;  // Route Update Protocol, RouteUpdate: two pilots, one on another channel
  ru.Put({{8, 0x0E}, {8, 0x00}, {8, 9}, {9, 300}, {6, 10}, {1, 1}, {4, 2}});
  ru.Put({{15, 84 * 64}, {1, 0}, {6, 16}, {1, 1}});
  ru.Put({{15, 120 * 64}, {1, 1}, {8, 0}, {5, 1}, {11, 50}, {6, 24}, {1, 0}});
  const DecodedMessage route = DecodeMessageFields(EvdoRecord(0x1077, ru));
  EXPECT_EQ(route.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(route.message, "RouteUpdate");
  EXPECT_DOUBLE_EQ(*Find(route.fields, "ReferencePilotStrength")->real, -5.0);
  const Field* pilots = Find(route.fields, "Pilots");
  ASSERT_EQ(pilots->records.size(), 2u);
  EXPECT_EQ(pilots->records[0].size(), 4u);
  EXPECT_EQ(Find(pilots->records[1], "ChannelNumber")->raw, 50u);
  EXPECT_DOUBLE_EQ(*Find(pilots->records[1], "PilotStrength")->real, -12.0);

  BitWriter cr;  // Idle State Protocol, ConnectionRequest with one preferred channel
  cr.Put({{8, 0x0C}, {8, 0x01}, {8, 3}, {4, 1}, {5, 1}, {8, 0}, {5, 0}, {11, 75}});
  const DecodedMessage request = DecodeMessageFields(EvdoRecord(0x1076, cr));
  EXPECT_EQ(request.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(request.message, "ConnectionRequest");
  EXPECT_EQ(Raw(request, "RequestReason"), 1u);
  EXPECT_EQ(Find(request.fields, "PreferredChannel")->records.size(), 1u);

  BitWriter cc;  // Connected State Protocol, ConnectionClose without suspension
  cc.Put({{8, 0x0D}, {8, 0x00}, {3, 1}, {1, 0}});
  const DecodedMessage close = DecodeMessageFields(EvdoRecord(0x1079, cc));
  EXPECT_EQ(close.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(Raw(close, "CloseReason"), 1u);
  EXPECT_EQ(Find(close.fields, "SuspendTime"), nullptr);
}

TEST(Evdo, SyncTimeAndQuickConfigFlags) {
  BitWriter sync;  // Initialization State Protocol, Sync: SystemTime in 26.666 ms units
  sync.Put({{8, 0x0B}, {8, 0x00}, {8, 1}, {8, 1}, {9, 300}});
  sync.Put(uint64_t{17140} * 86400 * 75 / 2, 37);  // 2026-12-10 00:00:00 GPS
  const DecodedMessage s = DecodeMessageFields(EvdoRecord(0x1078, sync));
  EXPECT_EQ(s.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(Find(s.fields, "SystemTime")->text, "2026-12-10 00:00:00.000 GPS");

  BitWriter qc;  // Overhead Messages Protocol, QuickConfig with three RPC flags
  qc.Put({{8, 0x0F}, {8, 0x00}, {8, 104}, {24, 0xABCDEF}, {16, 1}, {16, 2}, {1, 0}, {6, 3}});
  qc.Put({{1, 1}, {1, 0}, {1, 1}});
  const DecodedMessage q = DecodeMessageFields(EvdoRecord(0x107C, qc));
  EXPECT_EQ(q.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(Raw(q, "SectorID24"), 0xABCDEFu);
  const Field* valid = Find(q.fields, "ForwardTrafficValid");
  ASSERT_EQ(valid->records.size(), 3u);
  EXPECT_EQ(valid->records[1][0].raw, 0u);
}

TEST(Evdo, AccessParametersWithThePersistenceOfEachClass) {
  BitWriter ap;  // Access Channel MAC Protocol, AccessParameters
  ap.Put({{8, 0x02}, {8, 0x01}, {8, 64}, {16, 0x1234}, {8, 80}, {5, 0x1E}, {4, 5}, {4, 2},
          {3, 1}, {4, 2}, {6, 0}, {6, 1}, {6, 2}, {6, 63}});
  const DecodedMessage a = DecodeMessageFields(EvdoRecord(0x1078, ap));
  EXPECT_EQ(a.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(a.message, "AccessParameters");
  EXPECT_DOUBLE_EQ(*Find(a.fields, "ProbeInitialAdjust")->real, -2.0);
  EXPECT_EQ(Raw(a, "APersistence3"), 63u);
}

TEST(Evdo, HeaderOnlyRecordsAndLengthsPastTheRecord) {
  const DecodedMessage bare = DecodeMessageFields(EvdoRecord(0x107C, BitWriter()));
  EXPECT_EQ(bare.status, DecodedMessage::Status::kComplete);
  EXPECT_EQ(Raw(bare, "MESSAGE_LENGTH"), 0u);

  BitWriter qc;
  qc.Put({{8, 0x0F}, {8, 0x00}, {8, 104}});
  std::vector<uint8_t> record = EvdoRecord(0x107C, qc);
  record[12 + 10] = 40;  // MESSAGE_LENGTH says 40 octets; 3 were logged
  record[0] = static_cast<uint8_t>(record.size());
  const DecodedMessage cut = DecodeMessageFields(record);
  EXPECT_EQ(cut.status, DecodedMessage::Status::kTruncated);
  EXPECT_NE(cut.fields.back().text.find("MESSAGE_LENGTH says 40 octets, 3 logged"),
            std::string::npos)
      << cut.fields.back().text;
}

TEST(Evdo, TrafficChannelAssignmentWithItsActiveSet) {
  BitWriter m;  // Route Update Protocol, MessageID 1: a channel, then two pilots
  m.Put({{8, 0x0E}, {8, 0x01}, {8, 4}, {1, 1}, {8, 0}, {5, 1}, {11, 75}});
  m.Put({{4, 3}, {2, 1}, {6, uint64_t(-6) & 0x3F}, {6, 4}, {4, 2}});
  m.Put({{9, 300}, {1, 0}, {6, 10}, {3, 2}, {2, 1}, {3, 5}});
  m.Put({{9, 84}, {1, 1}, {6, 11}, {3, 3}, {2, 0}, {3, 0}});
  const DecodedMessage d = DecodeMessageFields(EvdoRecord(0x107C, m));
  ASSERT_EQ(d.status, DecodedMessage::Status::kComplete) << d.fields.back().text;
  EXPECT_EQ(d.message, "TrafficChannelAssignment");
  EXPECT_EQ(Raw(d, "ChannelNumber"), 75u);
  EXPECT_EQ(Raw(d, "FrameOffset"), 3u);
  EXPECT_DOUBLE_EQ(*Find(d.fields, "DRCChannelGain")->real, -6.0);
  const Field* pilots = Find(d.fields, "Pilots");
  ASSERT_EQ(pilots->records.size(), 2u);
  EXPECT_EQ(Find(pilots->records[0], "MACIndex")->raw, 10u);
  EXPECT_EQ(Find(pilots->records[0], "RABOffset")->raw, 5u);
  EXPECT_EQ(Find(pilots->records[1], "PilotPN")->raw, 84u);
  EXPECT_EQ(Find(pilots->records[1], "SofterHandoff")->raw, 1u);
}

}  // namespace
}  // namespace wendrake
