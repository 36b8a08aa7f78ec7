// Newlines counted a block at a time match a byte-by-byte count, for
// bytes next to a newline's value and any length or alignment.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "table/reading/newlines.h"

namespace wendrake {
namespace {

TEST(NewlinesTest, CountsMatchAByteByByteCount) {
  std::mt19937 random(7);
  // Newlines among their neighbours in value and bit pattern, and bytes
  // with the top bit set (a carry into the next byte would miscount).
  const std::string alphabet = std::string("\n\n\x0B\x09\x8A\x7F\xFF\x00\x80 a", 12);
  for (int trial = 0; trial < 2000; ++trial) {
    std::string text(random() % 9000, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    const size_t offset = text.empty() ? 0 : random() % std::min<size_t>(text.size(), 8);
    const char* start = text.data() + offset;
    const size_t length = text.size() - offset;
    const auto expected = static_cast<size_t>(std::count(start, start + length, '\n'));
    ASSERT_EQ(CountNewlines(start, length), expected) << trial;

    // The prefix up to the k-th newline, for k below, at and past the count.
    const size_t wanted = random() % (expected + 3);
    size_t newlines = 0;
    const size_t bytes = PrefixOfLines(std::string_view(start, length), wanted, &newlines);
    ASSERT_EQ(newlines, std::min(wanted, expected)) << trial;
    ASSERT_EQ(static_cast<size_t>(std::count(start, start + bytes, '\n')), newlines) << trial;
    if (wanted > 0 && wanted <= expected) {
      ASSERT_EQ(start[bytes - 1], '\n') << trial;
    } else if (wanted > expected) {
      ASSERT_EQ(bytes, length) << trial;
    }
  }
}

}  // namespace
}  // namespace wendrake
