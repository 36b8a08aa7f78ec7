#include "l3/message_names.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "l3/l3_msg_code.h"

namespace wendrake {
namespace {

constexpr uint16_t kCdma1xLogCodes[] = {0x1004, 0x1005, 0x1006, 0x1007, 0x1008};
constexpr uint16_t kEvdoLogCodes[] = {0x1076, 0x1077, 0x1078, 0x1079, 0x107C};

// The message type of the Order Message on each order-carrying log code.
uint8_t OrderType(uint16_t logCode) { return logCode == 0x1004 ? 2 : logCode == 0x1007 ? 7 : 1; }

TEST(MessageNames, EveryLayer3LogCodeNamesItsChannel) {
  EXPECT_EQ(LogCodeChannelName(0x1004), "Access Channel");
  EXPECT_EQ(LogCodeChannelName(0x1006), "Sync Channel");
  EXPECT_EQ(LogCodeChannelName(0x1007), "Paging Channel");
  EXPECT_EQ(LogCodeChannelName(0x1079), "EV-DO Forward Traffic Channel");
  std::vector<std::string_view> seen;
  for (uint16_t logCode : kCdma1xLogCodes) seen.push_back(LogCodeChannelName(logCode));
  for (uint16_t logCode : kEvdoLogCodes) seen.push_back(LogCodeChannelName(logCode));
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_FALSE(seen[i].empty()) << i;
    for (size_t j = 0; j < i; ++j) EXPECT_NE(seen[i], seen[j]);
  }
  for (uint16_t other : {0x0000, 0x1003, 0x1009, 0x107A, 0x107B, 0x2001, 0xB101}) {
    EXPECT_TRUE(LogCodeChannelName(other).empty()) << other;
  }
}

// C.S0005 MSG_TYPE values mean different messages on different channels.
TEST(MessageNames, MessageTypesAreNamedPerChannel) {
  EXPECT_EQ(Cdma1xMessageTypeName(0x1006, 0x01), "Sync Channel Message");
  EXPECT_EQ(Cdma1xMessageTypeName(0x1007, 0x01), "System Parameters Message");
  EXPECT_EQ(Cdma1xMessageTypeName(0x1004, 0x01), "Registration Message");
  EXPECT_EQ(Cdma1xMessageTypeName(0x1005, 0x01), "Order Message");
  EXPECT_EQ(Cdma1xMessageTypeName(0x1007, 0x07), "Order Message");
  EXPECT_EQ(Cdma1xMessageTypeName(0x1007, 0x08), "Channel Assignment Message");
  EXPECT_EQ(Cdma1xMessageTypeName(0x1007, 0x15), "Extended Channel Assignment Message");
  EXPECT_EQ(Cdma1xMessageTypeName(0x1004, 0x04), "Origination Message");
  EXPECT_EQ(Cdma1xMessageTypeName(0x1008, 0x1F), "General Handoff Direction Message");
  EXPECT_EQ(Cdma1xMessageTypeName(0x1008, 0x14), "Service Connect Message");
  EXPECT_EQ(Cdma1xMessageTypeName(0x1005, 0x05), "Pilot Strength Measurement Message");
  EXPECT_EQ(Cdma1xMessageTypeName(0x1005, 0x0E), "Service Connect Completion Message");
  for (uint16_t logCode : kCdma1xLogCodes) {
    EXPECT_TRUE(Cdma1xMessageTypeName(logCode, 0x00).empty()) << logCode;  // reserved
    EXPECT_TRUE(Cdma1xMessageTypeName(logCode, 0xFE).empty()) << logCode;
    EXPECT_EQ(Cdma1xMessageTypeName(logCode, OrderType(logCode)) == "Order Message",
              logCode != 0x1006);
  }
  EXPECT_TRUE(Cdma1xMessageTypeName(0x1076, 0x01).empty());
}

// Message code of an order message as the decoder codes it: fields before
// the order code are zero (address length 0), then ORDER, ADD_RECORD_LEN
// and ORDQ.
uint32_t OrderCode(uint16_t logCode, int order, int recordLength, int qualifier) {
  const int headerBits = logCode == 0x1004 ? 8 + 8 + 8 + 3 + 3 + 4 + 2
                       : logCode == 0x1005 ? 8 + 8 + 3 + 3 + 1 + 2
                       : logCode == 0x1007 ? 8 + 8 + 8 + 3 + 4
                                           : 8 + 8 + 8 + 8;
  const uint32_t fields = uint32_t(order) << 11 | uint32_t(recordLength) << 8 | uint32_t(qualifier);
  std::vector<uint8_t> payload((headerBits + 17 + 7) / 8 + 1, 0);
  for (int i = 0; i < 17; ++i) {
    const int bit = headerBits + i;
    if ((fields >> (16 - i)) & 1) payload[bit / 8] |= uint8_t(0x80 >> (bit % 8));
  }
  payload[1] = OrderType(logCode);
  const auto itemLength = static_cast<uint8_t>(payload.size() + 12);
  std::vector<uint8_t> r = {0x10, 0x00, itemLength, 0, itemLength, 0,
                            static_cast<uint8_t>(logCode), static_cast<uint8_t>(logCode >> 8)};
  r.resize(16, 0);
  r.insert(r.end(), payload.begin(), payload.end());
  return MakeL3MsgCode(r.data(), static_cast<int32_t>(r.size()), 0xB101);
}

// Every order the decoder identifies gets a name on its log code, and a
// generic name states the sub-code it stands for.
TEST(MessageNames, EveryIdentifiedOrderIsNamed) {
  EXPECT_EQ(OrderCode(0x1007, 18, 1, 0x20), 0x1007074Au);  // the builder codes as documented
  for (uint16_t logCode : {0x1004, 0x1005, 0x1007, 0x1008}) {
    for (int order = 0; order < 64; ++order) {
      for (int length = 0; length < 3; ++length) {
        for (int q : {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x10, 0x20, 0x30, 0xFF}) {
          const uint32_t code = OrderCode(logCode, order, length, q);
          const auto sub = static_cast<uint8_t>(code);
          if (sub == 0) continue;  // not identified
          const std::string name(Layer3MessageName(code));
          EXPECT_EQ(name, Cdma1xOrderName(logCode, sub));
          EXPECT_FALSE(name.empty()) << std::hex << code;
          if (name.rfind("Order (", 0) == 0) {
            char expected[32];
            std::snprintf(expected, sizeof expected, "Order (sub-code 0x%02X)", sub);
            EXPECT_EQ(name, expected);
          }
        }
      }
    }
  }
}

TEST(MessageNames, OrderNamesFollowTheDirectionAndQualifier) {
  // ORDER 010000 is the acknowledgment of whichever side sends it.
  EXPECT_EQ(Cdma1xOrderName(0x1004, 0x40), "Mobile Station Acknowledgment Order");
  EXPECT_EQ(Cdma1xOrderName(0x1005, 0x40), "Mobile Station Acknowledgment Order");
  EXPECT_EQ(Cdma1xOrderName(0x1007, 0x40), "Base Station Acknowledgment Order");
  EXPECT_EQ(Cdma1xOrderName(0x1008, 0x40), "Base Station Acknowledgment Order");
  EXPECT_EQ(Cdma1xOrderName(0x1008, OrderSubCodeB(21, 0)), "Release Order");
  EXPECT_EQ(Cdma1xOrderName(0x1005, OrderSubCodeA(21, 0)), "Release Order");
  // Qualifier 0010xxxx (variant 1) is Maintenance Required; variant 0 covers
  // both Lock Until Power-Cycled and Unlock.
  EXPECT_EQ(Cdma1xOrderName(0x1007, OrderSubCodeB(18, 1)), "Maintenance Required Order");
  EXPECT_EQ(Cdma1xOrderName(0x1007, OrderSubCodeB(18, 0)), "Order (sub-code 0x49)");
  // Registration ORDQ 1 and 2 are told apart on the Paging Channel only.
  EXPECT_EQ(Cdma1xOrderName(0x1007, OrderSubCodeB(27, 1)), "Registration Request Order");
  EXPECT_EQ(Cdma1xOrderName(0x1007, OrderSubCodeB(27, 2)), "Registration Rejected Order");
  // Long code transition request and response: Reverse Traffic Channel only.
  EXPECT_EQ(Cdma1xOrderName(0x1005, OrderSubCodeA(23, 0)), "Long Code Transition Request Order");
  EXPECT_EQ(Cdma1xOrderName(0x1005, OrderSubCodeA(23, 1)), "Long Code Transition Response Order");
  EXPECT_EQ(Cdma1xOrderName(0x1004, OrderSubCodeA(23, 0)), "Order (sub-code 0x5C)");
  // ORDER 010111 shares sub-code 8 with 000010 on the forward channels.
  EXPECT_EQ(Cdma1xOrderName(0x1008, OrderSubCodeB(23, 0)), "Order (sub-code 0x08)");
  EXPECT_EQ(Cdma1xOrderName(0x1004, OrderSubCodeA(2, 0)), "Base Station Challenge Order");
  for (uint16_t logCode : {0x1004, 0x1005, 0x1006, 0x1007, 0x1008, 0x1079}) {
    EXPECT_TRUE(Cdma1xOrderName(logCode, 0x00).empty()) << logCode;
    EXPECT_TRUE(Cdma1xOrderName(logCode, 0xFF).empty()) << logCode;
  }
}

TEST(MessageNames, WholeCodesOf1xItems) {
  EXPECT_EQ(Layer3MessageName(0x10040100), "Registration Message");
  EXPECT_EQ(Layer3MessageName(0x10070749), "Order (sub-code 0x49)");
  EXPECT_EQ(Layer3MessageName(0x10080154), "Release Order");
  EXPECT_EQ(Layer3MessageName(0x10060100), "Sync Channel Message");
  // An order the decoder could not identify is still an Order Message.
  EXPECT_EQ(Layer3MessageName(0x10070700), "Order Message");
  EXPECT_EQ(Layer3MessageName(0x10050133), "Order Message");
  // Only order messages carry a sub-code.
  EXPECT_TRUE(Layer3MessageName(0x10070801).empty());
  EXPECT_TRUE(Layer3MessageName(0x10065500).empty());
  // Codes of other records: module type or event in the high half, or none.
  for (uint32_t code : {0x00000000u, 0xB1012001u, 0xBD001004u, 0xEE00010Bu, 0x10090100u}) {
    EXPECT_TRUE(Layer3MessageName(code).empty()) << std::hex << code;
  }
}

// An EV-DO record whose payload holds protocol type m at P[11], message ID
// at P[12] and the variant v in the top bits of P[7], coded by the decoder.
uint32_t EvdoCode(uint16_t logCode, uint8_t m, uint8_t id, uint8_t v = 0) {
  std::vector<uint8_t> r = {0x10, 0x00, 30, 0, 30, 0, static_cast<uint8_t>(logCode),
                            static_cast<uint8_t>(logCode >> 8)};
  r.resize(16 + 14, 0);
  r[16 + 7] = static_cast<uint8_t>(v << 5);
  r[16 + 11] = m;
  r[16 + 12] = id;
  return MakeL3MsgCode(r.data(), static_cast<int32_t>(r.size()), 0xB101);
}

TEST(MessageNames, EvdoMessagesAsTheDecoderCodesThem) {
  EXPECT_EQ(Layer3MessageName(EvdoCode(0x1076, 0x11, 0x00)), "UATIRequest");
  EXPECT_EQ(Layer3MessageName(EvdoCode(0x1076, 0x0C, 0x01)), "ConnectionRequest");
  EXPECT_EQ(Layer3MessageName(EvdoCode(0x1078, 0x0E, 0x01, 3)), "TrafficChannelAssignment");
  EXPECT_EQ(Layer3MessageName(EvdoCode(0x1077, 0x12, 0x50)), "ConfigurationRequest");
  EXPECT_EQ(Layer3MessageName(EvdoCode(0x1079, 0x15, 0x51, 2)), "ConfigurationResponse");
  EXPECT_EQ(Layer3MessageName(EvdoCode(0x107C, 0x0F, 0x01)), "SectorParameters");
  EXPECT_EQ(Layer3MessageName(EvdoCode(0x107C, 0x0B, 0x00)), "Sync");
  // Initialization State keeps only the top bits of the message ID.
  EXPECT_TRUE(Layer3MessageName(EvdoCode(0x107C, 0x0B, 0x50)).empty());
  // Reverse Traffic Channel MAC message IDs depend on the subtype.
  EXPECT_TRUE(Layer3MessageName(EvdoCode(0x1077, 0x04, 0x00, 1)).empty());
  EXPECT_TRUE(Layer3MessageName(EvdoCode(0x1079, 0x0D, 0x7F)).empty());
  // Items coded by log code alone name nothing.
  EXPECT_TRUE(Layer3MessageName(0x107C0000).empty());
}

// Every protocol type and variant the decoder puts into a type byte reads
// back as its protocol; other type bytes name none.
TEST(MessageNames, EvdoTypeBytesReadBackAsTheirProtocol) {
  const std::vector<uint8_t> coded = {2, 3, 4, 5, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20, 21, 22, 23};
  std::vector<bool> isTypeByte(256, false);
  for (uint8_t m : coded) {
    const std::string_view protocol = EvdoProtocolName(m);
    EXPECT_FALSE(protocol.empty()) << int{m};
    for (uint8_t v = 0; v < 8; ++v) {
      const auto typeByte = static_cast<uint8_t>(EvdoCode(0x1079, m, 0x01, v) >> 8);
      EXPECT_EQ(EvdoProtocolName(typeByte), protocol) << int{m} << " " << int{v};
      isTypeByte[typeByte] = true;
    }
  }
  EXPECT_EQ(EvdoProtocolName(12), "Idle State Protocol");
  EXPECT_EQ(EvdoProtocolName(17), "Address Management Protocol");
  for (int t = 0; t < 256; ++t) {
    if (!isTypeByte[t]) {
      EXPECT_TRUE(EvdoProtocolName(static_cast<uint8_t>(t)).empty()) << t;
    }
  }
}

}  // namespace
}  // namespace wendrake
