#include "text/c_numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>

namespace wendrake {
namespace {

using namespace std::string_view_literals;

TEST(CNumbersTest, CAtoi) {
  const struct {
    std::string_view text;
    int32_t value;
  } cases[] = {
      {"42", 42},
      {"  -17x", -17},
      {"+8", 8},
      {"\t\r\n\v\f 12", 12},
      {"2011\r", 2011},
      {"", 0},
      {"abc", 0},
      {"- 5", 0},
      {"+-5", 0},
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MIN},  // low 32 bits of the long
      {"-2147483649", INT32_MAX},
      {"4294967297", 1},
      {"-4294967295", 1},
      {"9223372036854775807", -1},
      {"99999999999999999999", -1},    // saturates to LONG_MAX: low bits all ones
      {"-9223372036854775808", 0},
      {"-99999999999999999999", 0},    // saturates to LONG_MIN: low bits zero
      {"12\0" "34"sv, 12},
      {"\0" "34"sv, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text));
    EXPECT_EQ(CAtoi(c.text), c.value);
    // The C library agrees on every text without a NUL inside.
    if (c.text.find('\0') == std::string_view::npos) {
      EXPECT_EQ(CAtoi(c.text), std::atoi(std::string(c.text).c_str()));
    }
  }
}

TEST(CNumbersTest, CStrtod) {
  const struct {
    std::string_view text;
    double value;
  } cases[] = {
      {"1e3", 1000},      {" -3.7", -3.7},  {"0x1A", 26},     {"12.5abc", 12.5},
      {"-85.5\r", -85.5}, {"n/a", 0},       {"", 0},          {".5", 0.5},
      {"1.5\0" "9"sv, 1.5}, {"\0" "5"sv, 0}, {"1e400", HUGE_VAL}, {"-inf", -HUGE_VAL},
      {"inf", HUGE_VAL},  {"INFINITY", HUGE_VAL},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CStrtod(c.text), c.value) << std::string(c.text);
  }
  EXPECT_TRUE(std::isnan(CStrtod("nan")));
  EXPECT_TRUE(std::isnan(CStrtod("-NaN(1)")));
}

// Plain decimals are read without the C library; the result must still be
// strtod's, bit for bit, for every shape a log field can take.
TEST(CNumbersTest, CStrtodAgreesWithStrtod) {
  std::mt19937 random(85);
  const char alphabet[] = "0123456789.-+eExX \tabn";
  for (int i = 0; i < 200000; ++i) {
    std::string text;
    const int length = static_cast<int>(random() % 24);
    for (int j = 0; j < length; ++j) {
      // Mostly digits, so long digit runs and fractions are common.
      text += random() % 4 != 0 ? static_cast<char>('0' + random() % 10)
                                : alphabet[random() % (sizeof alphabet - 1)];
    }
    const double expected = std::strtod(text.c_str(), nullptr);
    const double actual = CStrtod(text);
    if (std::isnan(expected)) {
      EXPECT_TRUE(std::isnan(actual)) << text;
    } else {
      ASSERT_EQ(std::memcmp(&actual, &expected, sizeof actual), 0) << text << " " << actual;
    }
  }
  for (const char* text : {"-0", "0.000000000000001", "999999999999999", "9999999999999999",
                           "0.1", "123456789012345.6", "-.5", "5.", "00x1A", "-0x1A", "1.5e", "1e-400"}) {
    const double expected = std::strtod(text, nullptr);
    const double actual = CStrtod(text);
    EXPECT_EQ(std::memcmp(&actual, &expected, sizeof actual), 0) << text;
  }
}

TEST(CNumbersTest, CStrtodIgnoresTheProcessLocale) {
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  const char* comma = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      comma = name;
      break;
    }
  }
  if (comma == nullptr) GTEST_SKIP() << "no locale with a decimal comma installed";
  const double withComma = std::strtod("12,5", nullptr);
  EXPECT_EQ(CStrtod("12.5"), 12.5);
  EXPECT_EQ(CStrtod("12,5"), 12);
  EXPECT_EQ(CStrtod(" 2.5"), 2.5);
  EXPECT_EQ(CStrtod("1.5e1"), 15);
  EXPECT_EQ(ScaledValue("-85.5", 1000), -85500);
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(withComma, 12.5) << comma;  // the locale really did use a comma
}

TEST(CNumbersTest, CHexToInt32) {
  const struct {
    std::string_view text;
    int32_t value;
  } cases[] = {
      {"1A", 26},           {"0x1A", 26},          {"0X1a", 26},        {"  1a", 26},
      {"-1A", -26},         {"+0x10", 16},         {"12345", 0x12345},  {"12345\r", 0x12345},
      {"zz", 0},            {"", 0},               {"0x", 0},           {"1Ag", 26},
      {"7FFFFFFF", INT32_MAX}, {"FFFFFFFF", INT32_MAX}, {"FFFFFFFFFFFFFFFFFFFF", INT32_MAX},
      {"-80000000", INT32_MIN}, {"-FFFFFFFFF", INT32_MIN}, {"1A\0" "FF"sv, 26},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CHexToInt32(c.text), c.value) << std::string(c.text);
  }
}

TEST(CNumbersTest, ScaledValue) {
  const struct {
    std::string_view field;
    int32_t by1000, by100, by1;
  } cases[] = {
      {"1.2345", 1234, 123, 1},
      {"-0.0015", -1, 0, 0},
      {"12.5", 12500, 1250, 12},
      {"-3.7", -3700, -370, -3},
      {"1e3", 1000000, 100000, 1000},
      {"n/a", 0, 0, 0},
      {"-85.5\r", -85500, -8550, -85},
      {"nan", 0, 0, 0},
      {"inf", 0, 0, 0},
      {"-inf", 0, 0, 0},
      {"1e300", 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.field));
    EXPECT_EQ(ScaledValue(c.field, 1000), c.by1000);
    EXPECT_EQ(ScaledValue(c.field, 100), c.by100);
    EXPECT_EQ(ScaledValue(c.field, 1), c.by1);
  }
  // Beyond 32 bits the low 32 bits of the 64-bit truncation are kept...
  EXPECT_EQ(ScaledValue("5000000", 1000), 705032704);
  EXPECT_EQ(ScaledValue("-5000000", 1000), -705032704);
  EXPECT_EQ(ScaledValue("3000000000.9", 1), -1294967296);
  EXPECT_EQ(ScaledValue("1e18", 1), -1486618624);
  EXPECT_EQ(ScaledValue("9.2e18", 1), -1650982912);
  // ...and beyond 64 bits the value is 0.
  EXPECT_EQ(ScaledValue("9.3e18", 1), 0);
  EXPECT_EQ(ScaledValue("-9.3e18", 1), 0);
  EXPECT_EQ(ScaledValue("9.3e15", 1000), 0);
}

}  // namespace
}  // namespace wendrake
