#include "l3/l3_msg_code.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "l3/bit_reader.h"

namespace wendrake {

namespace {

// Record layout: a 0x10 marker, then the logged item whose header is the
// item length, the log code and a time stamp; the message payload follows.
constexpr int32_t kMarkerOffset = 0;
constexpr uint8_t kMarker = 0x10;
constexpr int32_t kItemLengthOffset = 4;
constexpr int32_t kLogCodeOffset = 6;
constexpr int32_t kPayloadOffset = 16;

// An item of exactly this length is coded by its log code alone.
constexpr uint32_t kLogCodeOnlyItemLength = 23;

// Record bytes as the header rules see them: a byte past the record's end
// reads as 0, so a truncated record can never make us read past it.
class RecordBytes {
 public:
  RecordBytes(const uint8_t* record, int32_t len)
      : record_(record), len_(record == nullptr ? 0 : len) {}

  uint8_t At(int32_t i) const { return i < len_ ? record_[i] : 0; }
  uint8_t Payload(int32_t i) const { return At(kPayloadOffset + i); }
  uint32_t Word(int32_t i) const { return At(i) | uint32_t{At(i + 1)} << 8; }

 private:
  const uint8_t* record_;
  int32_t len_;
};

// The fields an order message has before its order code, per log code: their
// widths in bits, in order; kAddress stands for a 4-bit byte count followed by
// that many address bytes. The first two fields are the length octet and the
// message type.
constexpr int8_t kAddress = -1;
constexpr int kMaxHeaderFields = 7;

struct OrderHeader {
  uint16_t logCode;
  int8_t fieldCount;
  int8_t widths[kMaxHeaderFields];
};

constexpr OrderHeader kOrderHeaders[] = {
    {0x1004, 7, {8, 8, 8, 3, 3, kAddress, 2}},  // access: ACK and MSID fields, AUTH_MODE
    {0x1005, 6, {8, 8, 3, 3, 1, 2}},            // reverse traffic: ACK and ENCRYPTION
    {0x1007, 5, {8, 8, 8, 3, kAddress}},        // paging: ACK fields, ADDR_TYPE, address
    {0x1008, 4, {8, 8, 8, 8}},                  // forward traffic: ACK, ENCRYPTION, ACTION_TIME
};

constexpr const OrderHeader* FindOrderHeader(uint16_t logCode) {
  for (const OrderHeader& header : kOrderHeaders) {
    if (header.logCode == logCode) return &header;
  }
  return nullptr;
}

constexpr bool EveryOrderCodeHasAHeader() {
  for (uint16_t logCode : {0x1004, 0x1005, 0x1007, 0x1008}) {
    bool found = false;
    for (const OrderHeader& header : kOrderHeaders) found = found || header.logCode == logCode;
    if (!found) return false;
  }
  return true;
}
static_assert(EveryOrderCodeHasAHeader());

// Walks an order message's payload field by field: past its log code's header
// to the order code and the additional record length, then whatever the
// caller reads. A field whose read fails counts as 0, and after a failed read
// every later field does too.
class OrderFields {
 public:
  OrderFields(const uint8_t* record, int32_t len, uint16_t logCode) {
    if (record != nullptr && len > kPayloadOffset) {
      reader_.Attach(record + kPayloadOffset, len - kPayloadOffset);
    }
    const OrderHeader* header = FindOrderHeader(logCode);
    for (int i = 0; header != nullptr && i < header->fieldCount; ++i) {
      if (header->widths[i] == kAddress) {
        SkipBytes(Read(4));
      } else {
        Read(header->widths[i]);
      }
    }
    order_ = Read(6);
    recordLength_ = Read(3);
  }

  int order() const { return order_; }
  int recordLength() const { return recordLength_; }

  // A field of 1 to 8 bits.
  uint8_t Read(int bits) {
    uint8_t value = 0;
    reader_.ReadBits(&value, 1, bits);
    return value;
  }

 private:
  // Skips an address of byteCount bytes (0 to 15: it has a 4-bit length).
  void SkipBytes(int byteCount) {
    uint8_t address[15];
    reader_.ReadBits(address, sizeof address, byteCount * 8);
  }

  BitReader reader_;
  int order_ = 0;
  int recordLength_ = 0;
};

// Variant of orders whose qualifier, present when the additional record is
// one byte long, picks 1 or 2; anything else is the plain order.
int QualifierOneOrTwo(OrderFields& f, int recordLength) {
  if (recordLength != 1) return 0;
  const uint8_t q = f.Read(8);
  return q == 1 ? 1 : q == 2 ? 2 : 0;
}

// Variant of orders whose qualifier always follows: bit 0x10 wins over 0x20.
int QualifierBit20(OrderFields& f) {
  const uint8_t q = f.Read(8);
  if (q & 0x10) return 0;
  return (q & 0x20) ? 1 : 0;
}

constexpr int kOrderCodes = 64;
constexpr int kVariants = 3;
using OrderTable = std::array<std::array<uint8_t, kVariants>, kOrderCodes>;

struct OrderRow {
  uint8_t order;
  uint8_t subCode[kVariants];  // 0 where the variant never occurs
};

template <size_t N>
constexpr OrderTable MakeOrderTable(const OrderRow (&rows)[N]) {
  OrderTable table{};
  for (const OrderRow& row : rows) {
    for (int v = 0; v < kVariants; ++v) table[row.order][v] = row.subCode[v];
  }
  return table;
}

// Sub-codes are 4 x order (+ variant where it matters); the few entries that
// break the pattern are what hosts expect and are kept as they are.
constexpr OrderRow kRowsA[] = {
    {2, {8, 8, 8}},         {3, {12, 13, 0}},       {5, {20, 20, 20}},
    {11, {44, 45, 46}},     {16, {64, 64, 64}},     {19, {76, 76, 76}},
    {20, {80, 80, 80}},     {21, {84, 84, 84}},     {23, {92, 94, 0}},
    {24, {96, 96, 96}},     {25, {100, 100, 100}},  {29, {116, 116, 116}},
    {30, {120, 120, 120}},  {31, {124, 124, 124}},
};

constexpr OrderRow kRowsB[] = {
    {1, {4, 4, 4}},         {2, {8, 8, 8}},         {3, {12, 12, 12}},
    {4, {16, 16, 16}},      {5, {20, 20, 20}},      {6, {24, 24, 24}},
    {9, {36, 36, 36}},      {10, {40, 40, 40}},     {16, {64, 64, 64}},
    {17, {68, 69, 0}},      {18, {73, 74, 0}},      {19, {76, 76, 76}},
    {20, {80, 80, 80}},     {21, {84, 84, 84}},     {23, {8, 8, 8}},
    {25, {100, 100, 100}},  {26, {104, 104, 104}},  {27, {108, 109, 110}},
};

constexpr OrderTable kSubCodeA = MakeOrderTable(kRowsA);
constexpr OrderTable kSubCodeB = MakeOrderTable(kRowsB);

uint8_t LookUp(const OrderTable& table, int order, int variant) {
  if (order < 0 || order >= kOrderCodes || variant < 0 || variant >= kVariants) return 0;
  return table[order][variant];
}

uint32_t Code(uint32_t logCode, uint32_t type, uint32_t subCode) {
  return logCode << 16 | (type & 0xFF) << 8 | (subCode & 0xFF);
}

// Codes 0x1076..0x107C: P[11] (low 7 bits) selects how the type byte is made
// from it and the top three bits of P[7]; P[12] is the sub-code.
uint32_t IdentifiedMessageCode(const RecordBytes& r, uint32_t logCode) {
  if (r.Word(kItemLengthOffset) == kLogCodeOnlyItemLength) return logCode << 16;
  const uint32_t m = r.Payload(11) & 0x7F;
  const uint32_t id = r.Payload(12);
  const uint32_t v = r.Payload(7) >> 5;
  switch (m) {
    case 2: case 3: case 5: case 10: case 13: case 15: case 16: case 17: case 18: case 20:
      return Code(logCode, m, id);
    case 4:  // type 0x14 is never made: v = 0 stays 0x04, v >= 1 is shifted up
      return Code(logCode, 4 + 16 * (v == 0 ? 0 : v + 1), id);
    case 11:
      return Code(logCode, 11, id >> 6);
    case 12: case 14: case 21: case 22: case 23:
      return Code(logCode, m + 16 * v, id);
    default:
      return logCode << 16;
  }
}

}  // namespace

uint8_t OrderSubCodeA(int order, int variant) { return LookUp(kSubCodeA, order, variant); }
uint8_t OrderSubCodeB(int order, int variant) { return LookUp(kSubCodeB, order, variant); }

uint8_t DecodeOrder1004(const uint8_t* record, int32_t len) {
  OrderFields f(record, len, 0x1004);
  return OrderSubCodeA(f.order(), f.order() == 3 && f.recordLength() != 0 ? 1 : 0);
}

uint8_t DecodeOrder1005(const uint8_t* record, int32_t len) {
  OrderFields f(record, len, 0x1005);
  const int order = f.order();
  const int recordLength = f.recordLength();
  int variant = 0;
  if (order == 3) {
    variant = recordLength != 0 ? 1 : 0;
  } else if (order == 11) {
    variant = QualifierOneOrTwo(f, recordLength);
  } else if (order == 23 && recordLength == 1) {
    const uint8_t q = f.Read(8);
    variant = (q == 2 || q == 3) ? 1 : 0;
  }
  return OrderSubCodeA(order, variant);
}

uint8_t DecodeOrder1007(const uint8_t* record, int32_t len) {
  OrderFields f(record, len, 0x1007);
  int variant = 0;
  if (f.order() == 18) {
    variant = QualifierBit20(f);
  } else if (f.order() == 27) {
    variant = QualifierOneOrTwo(f, f.recordLength());
  }
  return OrderSubCodeB(f.order(), variant);
}

uint8_t DecodeOrder1008(const uint8_t* record, int32_t len) {
  OrderFields f(record, len, 0x1008);
  int variant = 0;
  if (f.order() == 17) {
    variant = f.recordLength() != 0 ? 1 : 0;
  } else if (f.order() == 18) {
    variant = QualifierBit20(f);
  }
  return OrderSubCodeB(f.order(), variant);
}

uint32_t MakeL3MsgCode(const uint8_t* record, int32_t len, int32_t moduleType) {
  const RecordBytes r(record, len);
  // No marker: the record decoder built no message from the line.
  if (r.At(kMarkerOffset) != kMarker) return 0;
  const uint32_t logCode = r.Word(kLogCodeOffset);
  const uint8_t type = r.Payload(1);
  switch (logCode) {
    case 0x1004: {
      const uint8_t accessType = type & 0x3F;  // the top two bits are not the type
      return Code(logCode, accessType, accessType == 2 ? DecodeOrder1004(record, len) : 0);
    }
    case 0x1005:
      return Code(logCode, type, type == 1 ? DecodeOrder1005(record, len) : 0);
    case 0x1006:
      return Code(logCode, type, 0);
    case 0x1007:
      return Code(logCode, type, type == 7 ? DecodeOrder1007(record, len) : 0);
    case 0x1008:
      return Code(logCode, type, type == 1 ? DecodeOrder1008(record, len) : 0);
    case 0x1076: case 0x1077: case 0x1078: case 0x1079: case 0x107C:
      return IdentifiedMessageCode(r, logCode);
    default:
      return static_cast<uint32_t>(moduleType) << 16 | logCode;
  }
}

}  // namespace wendrake
