#include "l3/bit_reader.h"

#include <climits>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace wendrake {
namespace {

// Reads one field into a 4-byte destination pre-filled with 0xEE, so bytes
// that the read must not write stay visible.
struct Field {
  bool ok;
  std::vector<uint8_t> bytes;
};

Field Read(BitReader& reader, int32_t n, int32_t capacity = 4) {
  std::vector<uint8_t> dest(4, 0xEE);
  const bool ok = reader.ReadBits(dest.data(), capacity, n);
  return {ok, dest};
}

TEST(BitReaderTest, ReadsFieldsMostSignificantBitFirst) {
  const uint8_t buf[] = {0xAB, 0xCD};
  BitReader reader;
  reader.Attach(buf, 2);
  EXPECT_EQ(reader.bitsLeft(), 16);

  struct Step { int32_t n; bool ok; uint8_t value; int32_t pos, left; };
  const Step steps[] = {
      {4, true, 0x0A, 5, 12}, {8, true, 0xBC, 13, 4}, {4, true, 0x0D, 17, 0},
      {1, false, 0xEE, 17, 0},
  };
  for (const Step& s : steps) {
    const Field f = Read(reader, s.n);
    EXPECT_EQ(f.ok, s.ok) << s.n;
    EXPECT_EQ(f.bytes[0], s.value) << s.n;
    EXPECT_EQ(f.bytes[1], 0xEE) << s.n;
    EXPECT_EQ(reader.bitPos(), s.pos) << s.n;
    EXPECT_EQ(reader.bitsLeft(), s.left) << s.n;
  }
}

TEST(BitReaderTest, MultiByteFieldIsRightAligned) {
  const uint8_t buf[] = {0xAB, 0xCD};
  BitReader reader;
  reader.Attach(buf, 2);
  ASSERT_TRUE(Read(reader, 2).ok);
  const Field f = Read(reader, 12);
  ASSERT_TRUE(f.ok);
  EXPECT_EQ(f.bytes, (std::vector<uint8_t>{0x0A, 0xF3, 0xEE, 0xEE}));

  const uint8_t one[] = {0xA0};
  reader.Attach(one, 1);
  EXPECT_EQ(Read(reader, 3).bytes[0], 5);
}

// Every field of every start and width in a 6-byte buffer agrees with a
// bit-by-bit reading, and writes exactly ceil(n / 8) bytes.
TEST(BitReaderTest, EveryFieldMatchesBitByBitReading) {
  const uint8_t buf[] = {0x9C, 0x35, 0xE1, 0x7B, 0x06, 0xFD};
  const int total = 48;
  auto bit = [&](int i) { return (buf[i / 8] >> (7 - i % 8)) & 1; };
  for (int start = 0; start < total; ++start) {
    for (int n = 1; start + n <= total; ++n) {
      BitReader reader;
      reader.Attach(buf, sizeof buf);
      uint8_t skipped[8];
      if (start > 0) {
        ASSERT_TRUE(reader.ReadBits(skipped, sizeof skipped, start));
      }
      uint64_t expected = 0;
      for (int i = start; i < start + n; ++i) expected = expected << 1 | bit(i);
      const int outBytes = (n + 7) / 8;
      std::vector<uint8_t> dest(8, 0xEE);
      ASSERT_TRUE(reader.ReadBits(dest.data(), outBytes, n)) << start << "+" << n;
      uint64_t got = 0;
      for (int i = 0; i < outBytes; ++i) got = got << 8 | dest[i];
      EXPECT_EQ(got, expected) << start << "+" << n;
      for (int i = outBytes; i < 8; ++i) EXPECT_EQ(dest[i], 0xEE) << start << "+" << n;
      EXPECT_EQ(reader.bitPos(), start + n + 1);
      EXPECT_EQ(reader.bitsLeft(), total - start - n);
    }
  }
}

TEST(BitReaderTest, FailedReadsFollowTheirRules) {
  const uint8_t buf[] = {0xAB, 0xCD, 0xEF};
  struct Case {
    const char* name;
    int32_t n, capacity;
    int32_t pos, left;  // after the read, which always fails
  };
  // From bit 5 of 24 (20 bits left).
  const Case cases[] = {
      {"too small destination consumes", 16, 1, 21, 4},
      {"zero capacity consumes", 3, 0, 8, 17},
      {"negative capacity consumes", 3, -1, 8, 17},
      {"zero bits consume nothing", 0, 4, 5, 20},
      {"negative width consumes nothing", -8, 4, 5, 20},
      {"too many bits empty the reader", 21, 4, 5, 0},
      {"huge width empties the reader", INT32_MAX, 4, 5, 0},
  };
  for (const Case& c : cases) {
    BitReader reader;
    reader.Attach(buf, sizeof buf);
    ASSERT_TRUE(Read(reader, 4).ok);
    const Field f = Read(reader, c.n, c.capacity);
    EXPECT_FALSE(f.ok) << c.name;
    EXPECT_EQ(f.bytes, std::vector<uint8_t>(4, 0xEE)) << c.name;
    EXPECT_EQ(reader.bitPos(), c.pos) << c.name;
    EXPECT_EQ(reader.bitsLeft(), c.left) << c.name;
  }
}

TEST(BitReaderTest, EmptiedReaderStaysEmpty) {
  const uint8_t buf[] = {0xFF};
  BitReader reader;
  reader.Attach(buf, 1);
  EXPECT_FALSE(Read(reader, 9).ok);
  EXPECT_FALSE(Read(reader, 1).ok);
  EXPECT_EQ(reader.bitsLeft(), 0);
}

TEST(BitReaderTest, EmptyOrOversizedAttach) {
  const uint8_t buf[] = {0xFF};
  for (int32_t count : {0, -1, INT32_MIN}) {
    BitReader reader;
    reader.Attach(buf, count);
    EXPECT_FALSE(Read(reader, 1).ok) << count;
    EXPECT_EQ(reader.bitsLeft(), 0) << count;
  }
  BitReader unattached;
  EXPECT_FALSE(Read(unattached, 1).ok);

  // A count whose bit count overflows 32 bits must not wrap negative.
  BitReader reader;
  reader.Attach(buf, INT32_MAX);
  EXPECT_GT(reader.bitsLeft(), 0);
  EXPECT_EQ(Read(reader, 8).bytes[0], 0xFF);
}

}  // namespace
}  // namespace wendrake
