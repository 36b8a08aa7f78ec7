#include "l3/l3_msg_code.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace wendrake {
namespace {

constexpr int32_t kModule = 0xBD00;  // its shifted value does not fit int32_t

// Builds a payload field by field, most significant bit first.
class BitWriter {
 public:
  BitWriter& Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (bitCount_ % 8 == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= 0x80 >> (bitCount_ % 8);
      ++bitCount_;
    }
    return *this;
  }
  int bitCount() const { return bitCount_; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int bitCount_ = 0;
};

// A record as the record decoder lays it out around a logged item.
std::vector<uint8_t> MakeRecord(uint16_t logCode, const std::vector<uint8_t>& payload,
                                int itemLength = -1) {
  if (itemLength < 0) itemLength = static_cast<int>(payload.size()) + 12;
  std::vector<uint8_t> r = {0x10, 0x00,
                            static_cast<uint8_t>(itemLength), static_cast<uint8_t>(itemLength >> 8),
                            static_cast<uint8_t>(itemLength), static_cast<uint8_t>(itemLength >> 8),
                            static_cast<uint8_t>(logCode), static_cast<uint8_t>(logCode >> 8)};
  r.resize(16, 0x77);  // time stamp
  r.insert(r.end(), payload.begin(), payload.end());
  return r;
}

// Decodes the first len bytes of a record from an exactly sized heap block,
// so that any read past len is caught by the address sanitizer.
uint32_t CodeOf(const std::vector<uint8_t>& record, int32_t len = -1) {
  if (len < 0) len = static_cast<int32_t>(record.size());
  std::unique_ptr<uint8_t[]> exact(new uint8_t[len]);
  std::copy(record.begin(), record.begin() + len, exact.get());
  return MakeL3MsgCode(exact.get(), len, kModule);
}

uint32_t Code(uint32_t logCode, uint32_t type, uint32_t sub) {
  return logCode << 16 | type << 8 | sub;
}

// One order message. Skipped fields are all ones and address bytes 0xA5, so
// a field read from the wrong position shows.
struct Order {
  uint16_t logCode;
  int order;
  int recordLength;
  int qualifier = 0;
  int addressLength = 0;  // 0x1004 and 0x1007 only
  int type = -1;          // -1: the order message type of the log code
};

struct BuiltOrder {
  std::vector<uint8_t> record;
  // Record lengths from which the order code, the additional record length
  // and the qualifier are complete.
  int32_t orderEnd, lengthEnd, qualifierEnd;
};

BuiltOrder Build(const Order& o) {
  const uint32_t ones = 0xFFFFFFFF;
  int type = o.type;
  if (type < 0) type = o.logCode == 0x1004 ? 2 : o.logCode == 0x1007 ? 7 : 1;
  BitWriter w;
  w.Put(ones, 8).Put(type, 8);
  auto address = [&] {
    w.Put(o.addressLength, 4);
    for (int i = 0; i < o.addressLength; ++i) w.Put(0xA5, 8);
  };
  switch (o.logCode) {
    case 0x1004: w.Put(ones, 8).Put(ones, 3).Put(ones, 3); address(); w.Put(ones, 2); break;
    case 0x1005: w.Put(ones, 3).Put(ones, 3).Put(ones, 1).Put(ones, 2); break;
    case 0x1007: w.Put(ones, 8).Put(ones, 3); address(); break;
    case 0x1008: w.Put(ones, 8).Put(ones, 8); break;
  }
  auto recordBytes = [&] { return 16 + (w.bitCount() + 7) / 8; };
  BuiltOrder b;
  w.Put(o.order, 6);
  b.orderEnd = recordBytes();
  w.Put(o.recordLength, 3);
  b.lengthEnd = recordBytes();
  w.Put(o.qualifier, 8);
  b.qualifierEnd = recordBytes();
  b.record = MakeRecord(o.logCode, w.bytes());
  return b;
}

uint32_t OrderTypeByte(uint16_t logCode) {
  return logCode == 0x1004 ? 2 : logCode == 0x1007 ? 7 : 1;
}

std::string Describe(const Order& o) {
  char text[96];
  snprintf(text, sizeof text, "log 0x%X order %d length %d q 0x%X address %d", o.logCode,
           o.order, o.recordLength, o.qualifier, o.addressLength);
  return text;
}

// The sub-code tables as hosts know them; unlisted entries and variants that
// never occur are 0.
using Rows = std::map<int, std::vector<int>>;
const Rows kTableA = {
    {2, {8, 8, 8}},      {3, {12, 13, 0}},       {5, {20, 20, 20}},      {11, {44, 45, 46}},
    {16, {64, 64, 64}},  {19, {76, 76, 76}},     {20, {80, 80, 80}},     {21, {84, 84, 84}},
    {23, {92, 94, 0}},   {24, {96, 96, 96}},     {25, {100, 100, 100}},  {29, {116, 116, 116}},
    {30, {120, 120, 120}}, {31, {124, 124, 124}},
};
const Rows kTableB = {
    {1, {4, 4, 4}},      {2, {8, 8, 8}},         {3, {12, 12, 12}},      {4, {16, 16, 16}},
    {5, {20, 20, 20}},   {6, {24, 24, 24}},      {9, {36, 36, 36}},      {10, {40, 40, 40}},
    {16, {64, 64, 64}},  {17, {68, 69, 0}},      {18, {73, 74, 0}},      {19, {76, 76, 76}},
    {20, {80, 80, 80}},  {21, {84, 84, 84}},     {23, {8, 8, 8}},        {25, {100, 100, 100}},
    {26, {104, 104, 104}}, {27, {108, 109, 110}},
};

int Expected(const Rows& rows, int order, int variant) {
  const auto it = rows.find(order);
  return it == rows.end() ? 0 : it->second[variant];
}

TEST(OrderSubCodeTest, TablesHoldEveryEntry) {
  for (int order = 0; order < 64; ++order) {
    for (int variant = 0; variant < 3; ++variant) {
      EXPECT_EQ(OrderSubCodeA(order, variant), Expected(kTableA, order, variant)) << order;
      EXPECT_EQ(OrderSubCodeB(order, variant), Expected(kTableB, order, variant)) << order;
    }
  }
  for (auto [order, variant] : {std::pair{-1, 0}, {64, 0}, {1000, 0}, {2, -1}, {2, 3}}) {
    EXPECT_EQ(OrderSubCodeA(order, variant), 0);
    EXPECT_EQ(OrderSubCodeB(order, variant), 0);
  }
}

// Every order code, sent plainly, comes out of each log code's decoder with
// its variant-0 sub-code, whatever the address length.
TEST(OrderSubCodeTest, EveryOrderCodeThroughEveryDecoder) {
  for (uint16_t logCode : {0x1004, 0x1005, 0x1007, 0x1008}) {
    const Rows& rows = logCode <= 0x1005 ? kTableA : kTableB;
    for (int order = 0; order < 64; ++order) {
      for (int address : {0, 1, 15}) {
        const Order o{logCode, order, 0, 0, address};
        const BuiltOrder b = Build(o);
        EXPECT_EQ(CodeOf(b.record), Code(logCode, OrderTypeByte(logCode), Expected(rows, order, 0)))
            << Describe(o);
      }
    }
  }
}

TEST(OrderSubCodeTest, VariantsFromRecordLengthAndQualifier) {
  struct Case { Order order; uint8_t sub; };
  const Case cases[] = {
      {{0x1004, 3, 0}, 12}, {{0x1004, 3, 1}, 13}, {{0x1004, 3, 7}, 13},
      {{0x1004, 11, 1, 1}, 44}, {{0x1004, 23, 1, 2}, 92},  // no qualifier here

      {{0x1005, 3, 0}, 12}, {{0x1005, 3, 2}, 13},
      {{0x1005, 11, 0, 1}, 44}, {{0x1005, 11, 1, 1}, 45}, {{0x1005, 11, 1, 2}, 46},
      {{0x1005, 11, 1, 3}, 44}, {{0x1005, 11, 1, 0}, 44}, {{0x1005, 11, 2, 1}, 44},
      {{0x1005, 11, 7, 2}, 44},
      {{0x1005, 23, 1, 2}, 94}, {{0x1005, 23, 1, 3}, 94}, {{0x1005, 23, 1, 1}, 92},
      {{0x1005, 23, 1, 4}, 92}, {{0x1005, 23, 0, 2}, 92}, {{0x1005, 23, 2, 3}, 92},

      {{0x1007, 18, 0, 0x20}, 74}, {{0x1007, 18, 0, 0x30}, 73}, {{0x1007, 18, 0, 0x10}, 73},
      {{0x1007, 18, 0, 0x00}, 73}, {{0x1007, 18, 0, 0xEF}, 74}, {{0x1007, 18, 3, 0x20}, 74},
      {{0x1007, 27, 0, 1}, 108}, {{0x1007, 27, 1, 1}, 109}, {{0x1007, 27, 1, 2}, 110},
      {{0x1007, 27, 1, 3}, 108}, {{0x1007, 27, 2, 1}, 108}, {{0x1007, 17, 1}, 68},

      {{0x1008, 17, 0}, 68}, {{0x1008, 17, 1}, 69}, {{0x1008, 17, 7}, 69},
      {{0x1008, 18, 0, 0x20}, 74}, {{0x1008, 18, 0, 0x30}, 73}, {{0x1008, 18, 5, 0}, 73},
      {{0x1008, 27, 1, 1}, 108}, {{0x1008, 23, 0}, 8},
  };
  for (const Case& c : cases) {
    for (int address : {0, 2, 15}) {
      Order o = c.order;
      o.addressLength = address;
      EXPECT_EQ(CodeOf(Build(o).record), Code(o.logCode, OrderTypeByte(o.logCode), c.sub))
          << Describe(o);
    }
  }
}

TEST(OrderSubCodeTest, ExamplesFromTheField) {
  EXPECT_EQ(CodeOf(Build({0x1007, 18, 0, 0x20}).record), 0x1007074Au);
  EXPECT_EQ(CodeOf(Build({0x1007, 18, 0, 0x30}).record), 0x10070749u);
  // Only the low six bits of the access message type count.
  EXPECT_EQ(CodeOf(Build({.logCode = 0x1004, .order = 2, .recordLength = 0, .type = 0x42}).record),
            0x10040208u);
  EXPECT_EQ(CodeOf(Build({.logCode = 0x1004, .order = 2, .recordLength = 0, .type = 0xC3}).record),
            0x10040300u);
  // Other message types carry no order.
  for (auto [logCode, type] : {std::pair{0x1005, 2}, {0x1007, 6}, {0x1008, 0}, {0x1008, 0x81}}) {
    const Order o{.logCode = static_cast<uint16_t>(logCode), .order = 2, .recordLength = 0,
                  .type = type};
    EXPECT_EQ(CodeOf(Build(o).record), Code(logCode, type, 0)) << Describe(o);
  }
  EXPECT_EQ(CodeOf(MakeRecord(0x1006, {0x00, 0x55, 0x01})), 0x10065500u);
}

// Cut at every length, a message yields what its remaining bytes hold: no
// marker, a partial log code, no type, no order, or an order whose later
// fields count as 0.
TEST(OrderSubCodeTest, TruncatedMessages) {
  struct Case { Order order; uint8_t full, withoutQualifier, withoutLength; };
  const Case cases[] = {
      {{0x1004, 3, 1, 0, 2}, 13, 13, 12},
      {{0x1005, 11, 1, 2}, 46, 44, 44},
      {{0x1007, 18, 0, 0x20, 3}, 74, 73, 73},
      {{0x1008, 17, 1}, 69, 69, 68},
  };
  for (const Case& c : cases) {
    const BuiltOrder b = Build(c.order);
    const uint16_t logCode = c.order.logCode;
    for (int32_t len = 0; len <= static_cast<int32_t>(b.record.size()); ++len) {
      uint32_t expected;
      if (len == 0) expected = 0;
      else if (len < 7) expected = static_cast<uint32_t>(kModule) << 16;
      else if (len == 7) expected = static_cast<uint32_t>(kModule) << 16 | (logCode & 0xFF);
      else if (len < 18) expected = Code(logCode, 0, 0);
      else if (len < b.orderEnd) expected = Code(logCode, OrderTypeByte(logCode), 0);
      else if (len < b.lengthEnd) expected = Code(logCode, OrderTypeByte(logCode), c.withoutLength);
      else if (len < b.qualifierEnd) expected = Code(logCode, OrderTypeByte(logCode), c.withoutQualifier);
      else expected = Code(logCode, OrderTypeByte(logCode), c.full);
      EXPECT_EQ(CodeOf(b.record, len), expected) << Describe(c.order) << " cut to " << len;
    }
  }
}

TEST(OrderSubCodeTest, DecodersReadNothingOfAnEmptyPayload) {
  const std::vector<uint8_t> header = MakeRecord(0x1007, {});
  for (auto decode : {DecodeOrder1004, DecodeOrder1005, DecodeOrder1007, DecodeOrder1008}) {
    EXPECT_EQ(decode(nullptr, 0), 0);
    EXPECT_EQ(decode(nullptr, 40), 0);
    EXPECT_EQ(decode(header.data(), -5), 0);
    for (int32_t len = 0; len <= 16; ++len) {
      std::unique_ptr<uint8_t[]> exact(new uint8_t[len]);
      std::copy(header.begin(), header.begin() + len, exact.get());
      EXPECT_EQ(decode(exact.get(), len), 0) << len;
    }
  }
}

// Payload of the identified-message log codes: P[7] carries v in its top
// three bits, P[11] the selector m, P[12] the id.
std::vector<uint8_t> IdRecord(uint16_t logCode, uint8_t p7, uint8_t p11, uint8_t p12,
                              int itemLength = -1) {
  std::vector<uint8_t> payload(13, 0xFF);
  payload[7] = p7;
  payload[11] = p11;
  payload[12] = p12;
  return MakeRecord(logCode, payload, itemLength);
}

TEST(IdentifiedMessageCodeTest, Examples) {
  EXPECT_EQ(CodeOf(IdRecord(0x1078, 0x20, 4, 0x10)), 0x10782410u);
  EXPECT_EQ(CodeOf(IdRecord(0x1079, 0x00, 11, 0xC5)), 0x10790B03u);
  EXPECT_EQ(CodeOf(IdRecord(0x107C, 0x00, 2, 0x33, 23)), 0x107C0000u);
}

TEST(IdentifiedMessageCodeTest, EverySelectorAndV) {
  const std::vector<int> plain = {2, 3, 5, 10, 13, 15, 16, 17, 18, 20};
  const std::vector<int> withV = {12, 14, 21, 22, 23};
  auto in = [](const std::vector<int>& set, int m) {
    return std::find(set.begin(), set.end(), m) != set.end();
  };
  const uint8_t id = 0xC5;
  for (uint16_t logCode : {0x1076, 0x1077, 0x1078, 0x1079, 0x107C}) {
    for (int m = 0; m < 128; ++m) {
      for (int v = 0; v < 8; ++v) {
        uint32_t expected = static_cast<uint32_t>(logCode) << 16;
        if (in(plain, m)) expected = Code(logCode, m, id);
        if (in(withV, m)) expected = Code(logCode, m + 16 * v, id);
        if (m == 4) expected = Code(logCode, v == 0 ? 0x04 : 4 + 16 * (v + 1), id);
        if (m == 11) expected = Code(logCode, 11, 3);
        // The low bits of P[7] and the top bit of P[11] play no part.
        const uint8_t p11 = static_cast<uint8_t>(m | (v % 2 ? 0x80 : 0));
        const auto record = IdRecord(logCode, static_cast<uint8_t>(v << 5 | 0x1F), p11, id);
        EXPECT_EQ(CodeOf(record), expected) << std::hex << logCode << " m " << m << " v " << v;
      }
    }
  }
}

TEST(IdentifiedMessageCodeTest, ItemLengthAndTruncation) {
  // Only an item length of exactly 23 drops the type, not the payload size.
  EXPECT_EQ(CodeOf(IdRecord(0x1076, 0, 2, 0x33, 23)), 0x10760000u);
  EXPECT_EQ(CodeOf(IdRecord(0x1076, 0, 2, 0x33, 22)), 0x10760233u);
  EXPECT_EQ(CodeOf(IdRecord(0x1076, 0, 2, 0x33, 23 + 256)), 0x10760233u);
  const auto record = IdRecord(0x1077, 0x60, 12, 0x33);
  EXPECT_EQ(CodeOf(record), 0x10773C33u);
  EXPECT_EQ(CodeOf(record, 16 + 12), 0x10773C00u);  // no id: 0
  EXPECT_EQ(CodeOf(record, 16 + 11), 0x10770000u);  // no selector: m = 0
  EXPECT_EQ(CodeOf(record, 16), 0x10770000u);
  EXPECT_EQ(CodeOf(record, 8), 0x10770000u);
}

TEST(MakeL3MsgCodeTest, RecordsWithoutMessage) {
  const auto record = MakeRecord(0x1006, {0x00, 0x55});
  EXPECT_EQ(CodeOf(record, 0), 0u);
  EXPECT_EQ(MakeL3MsgCode(nullptr, 0, kModule), 0u);
  EXPECT_EQ(MakeL3MsgCode(nullptr, 30, kModule), 0u);
  EXPECT_EQ(MakeL3MsgCode(record.data(), -1, kModule), 0u);
  auto unmarked = record;
  unmarked[0] = 0x11;
  EXPECT_EQ(CodeOf(unmarked), 0u);
  // A header cut short of the type byte still names its log code.
  EXPECT_EQ(CodeOf(record, 8), 0x10060000u);
  EXPECT_EQ(CodeOf(record, 17), 0x10060000u);
}

TEST(MakeL3MsgCodeTest, OtherLogCodesCarryTheModuleType) {
  const auto record = MakeRecord(0x1234, {0x00, 0x01});
  EXPECT_EQ(CodeOf(record), 0xBD001234u);
  EXPECT_EQ(MakeL3MsgCode(record.data(), static_cast<int32_t>(record.size()), 0xB101),
            0xB1011234u);
  EXPECT_EQ(CodeOf(MakeRecord(0x107B, {})), 0xBD00107Bu);
}

}  // namespace
}  // namespace wendrake
