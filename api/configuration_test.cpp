#include "api/configuration.h"

#include "api/diagnostics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wendrake {
namespace {

// A buffer with the count `count` and room for `entries` entries, one byte
// off its natural alignment.
std::vector<uint8_t> Buffer(int32_t count, size_t entries) {
  std::vector<uint8_t> bytes(1 + 4 + entries * 8, 0xAB);
  uint32_t n = static_cast<uint32_t>(count);
  for (int i = 0; i < 4; ++i) bytes[1 + i] = static_cast<uint8_t>(n >> (8 * i));
  return bytes;
}

struct Outcome {
  bool result;
  std::string printed;
};

Outcome Check(int type, const std::vector<uint8_t>& buffer, int size) {
  testing::internal::CaptureStdout();
  bool result = CheckConfiguration(type, buffer.data() + 1, size);
  return {result, testing::internal::GetCapturedStdout()};
}

const std::string kFilterBuffer(Message(Diagnostic::kFilterBuffer));
const std::string kFilterCount(Message(Diagnostic::kFilterCount));
const std::string kScaleBuffer(Message(Diagnostic::kScaleBuffer));
const std::string kScaleCount(Message(Diagnostic::kScaleCount));

TEST(ConfigurationTest, AcceptsWellFormedTables) {
  for (int type : {1, 2}) {
    Outcome empty = Check(type, Buffer(0, 0), 4);
    EXPECT_TRUE(empty.result);
    EXPECT_EQ(empty.printed, "");
    Outcome full = Check(type, Buffer(100, 100), 804);
    EXPECT_TRUE(full.result);
    EXPECT_EQ(full.printed, "");
  }
  EXPECT_EQ(Check(7, Buffer(0, 0), 0).result, true);
  EXPECT_EQ(Check(7, Buffer(-1, 0), 4).printed, "");
}

TEST(ConfigurationTest, RefusesMalformedTables) {
  Outcome mismatch = Check(2, Buffer(2, 2), 19);
  EXPECT_FALSE(mismatch.result);
  EXPECT_EQ(mismatch.printed, kScaleBuffer);

  Outcome tooMany = Check(1, Buffer(101, 101), 812);
  EXPECT_FALSE(tooMany.result);
  EXPECT_EQ(tooMany.printed, kFilterCount);
  EXPECT_EQ(Check(2, Buffer(101, 101), 812).printed, kScaleCount);

  // Counts whose N * 8 + 4 matches the size only in wrapped 32-bit
  // arithmetic, negative or not.
  Outcome negative = Check(1, Buffer(-536870912, 0), 4);
  EXPECT_FALSE(negative.result);
  EXPECT_EQ(negative.printed, kFilterBuffer);
  EXPECT_EQ(Check(2, Buffer(0x20000000, 0), 4).printed, kScaleBuffer);
  EXPECT_EQ(Check(2, Buffer(-1, 0), -4).printed, kScaleBuffer);

  // Too short to hold the count: it is not read.
  for (int size : {0, 3, -5}) {
    Outcome shortBuffer = Check(1, std::vector<uint8_t>(1), size);
    EXPECT_FALSE(shortBuffer.result);
    EXPECT_EQ(shortBuffer.printed, kFilterBuffer);
  }
}

}  // namespace
}  // namespace wendrake
