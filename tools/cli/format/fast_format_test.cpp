// The fast formatting must print exactly what the fmt formats it replaces
// print, for every value a log can hold.
#include "format/fast_format.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "format/item_model.h"
#include "format/text_escape.h"

namespace wendrake_cli {
namespace {

TEST(FastFormat, ScaledValuesPrintAsFmtPrintsTheirQuotient) {
  std::mt19937 random(15);
  std::uniform_int_distribution<int32_t> any(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
  std::uniform_int_distribution<int32_t> small(-200000, 200000);
  for (const int32_t scale : {1, 10, 100, 1000, 7}) {
    for (int i = 0; i < 200000; ++i) {
      const int32_t stored = i % 2 == 0 ? any(random) : small(random);
      const double real = static_cast<double>(stored) / scale;
      const std::string expected = fmt::format("{}", real);
      std::string direct, fromReal;
      AppendScaled(&direct, stored, scale);
      AppendRealOfScale(&fromReal, real, scale);
      ASSERT_EQ(direct, expected) << stored << " / " << scale;
      ASSERT_EQ(fromReal, expected) << stored << " / " << scale;
    }
  }
  // Values no parameter holds still print as fmt prints them.
  for (const double odd : {0.1 + 0.2, -0.0, 1e300, 1e-7, std::nan(""), -std::numeric_limits<double>::infinity()}) {
    std::string out;
    AppendRealOfScale(&out, odd, 1000);
    EXPECT_EQ(out, fmt::format("{}", odd));
  }
}

TEST(FastFormat, HexAndIsoTimesMatchTheSlowForms) {
  std::string hex;
  AppendHexCode(&hex, 0xB1012001u);
  AppendHexBytes(&hex, std::string_view("\x00\x7F\xFF", 3));
  EXPECT_EQ(hex, HexCode(0xB1012001u) + HexBytes(std::string_view("\x00\x7F\xFF", 3)));

  // Clock order, repeats, a step back, micros past a second, no clock.
  IsoClock clock;
  const uint32_t base = kStampOffset + 1319025600;
  const std::pair<uint32_t, uint32_t> stamps[] = {
      {base, 250000}, {base, 250001}, {base, 999999}, {base + 1, 0}, {base - 86400 * 400, 5000},
      {base, 1500000}, {kStampOffset - 1, 0}, {WENDRAKE_STAMP_FAILED, 0}, {kStampOffset, 0}, {UINT32_MAX - 1, 7}};
  for (const auto& [seconds, micros] : stamps) {
    std::string out;
    EXPECT_EQ(clock.Append(&out, seconds, micros), !IsoTime(seconds, micros).empty());
    EXPECT_EQ(out, IsoTime(seconds, micros)) << seconds << " " << micros;
  }
}

// The run-at-a-time escaping against a byte-at-a-time reference, on random
// bytes biased towards the ones that need escaping.
TEST(FastFormat, EscapingInRunsMatchesByteByByteEscaping) {
  std::mt19937 random(15);
  const std::string special = "\"\\\n\r\t\b\f\x7F\x01,\xC2\x9B\xC3\xA9\xE2\x82\xAC\xF0\x9F\x93\xB6\xFF\x80";
  for (int i = 0; i < 2000; ++i) {
    std::string bytes;
    const int length = static_cast<int>(random() % 40);
    for (int k = 0; k < length; ++k) {
      bytes += random() % 3 == 0 ? special[random() % special.size()] : static_cast<char>('a' + random() % 26);
    }
    // Reference: each piece escaped on its own, split where no sequence is cut.
    std::string json, printable;
    AppendJson(&json, bytes);
    AppendPrintable(&printable, bytes);
    std::string pieces = "\"";
    std::string printablePieces;
    for (size_t at = 0; at < bytes.size();) {
      const size_t length = std::max<size_t>(Utf8SequenceLength(std::string_view(bytes).substr(at)), 1);
      std::string one;
      AppendJson(&one, std::string_view(bytes).substr(at, length));
      pieces += one.substr(1, one.size() - 2);
      AppendPrintable(&printablePieces, std::string_view(bytes).substr(at, length));
      at += length;
    }
    EXPECT_EQ(json, pieces + "\"");
    EXPECT_EQ(printable, printablePieces);
  }
}

}  // namespace
}  // namespace wendrake_cli
