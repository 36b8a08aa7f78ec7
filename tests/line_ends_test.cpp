// Logs written on Windows end their lines with CR LF; the CR belongs to the
// line end, so such a log decodes exactly as the same log with LF ends.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/host.h"
#include "support/sample_log.h"

namespace wendrake_test {
namespace {

// The log with every line end rewritten as `end`.
std::string WithLineEnds(const std::string& log, const std::string& end) {
  std::string out;
  size_t start = 0;
  for (size_t newline; (newline = log.find('\n', start)) != std::string::npos; start = newline + 1) {
    size_t stop = newline;
    if (stop > start && log[stop - 1] == '\r') --stop;
    out.append(log, start, stop - start).append(end);
  }
  return out + log.substr(start);
}

// Decodes in chunks of at most 200 lines, as a host does.
std::vector<Item> Decode(const std::string& log) {
  Host host;
  std::vector<Item> items;
  size_t pos = 0;
  while (pos < log.size()) {
    size_t end = pos;
    for (int lines = 0; lines < 200 && end < log.size(); ++lines) {
      const size_t newline = log.find('\n', end);
      end = newline == std::string::npos ? log.size() : newline + 1;
    }
    const std::vector<Item> got = host.Cycle(std::string_view(log).substr(pos, end - pos));
    items.insert(items.end(), got.begin(), got.end());
    pos = end;
  }
  return items;
}

// The items of the CR LF log equal those of the LF log; a raw block may hold
// the CR of its line end.
void ExpectSameButRaw(const std::vector<Item>& lf, std::vector<Item> crlf) {
  ASSERT_EQ(lf.size(), crlf.size());
  for (size_t i = 0; i < lf.size(); ++i) {
    // The raw block keeps the line as logged: the CR LF version holds the CR
    // (a layer-3 record in it is the same message either way).
    if (crlf[i].raw != lf[i].raw) {
      ASSERT_EQ(crlf[i].raw, WithLineEnds(lf[i].raw, "\r\n")) << "item " << i;
      crlf[i].raw = lf[i].raw;
    }
    ASSERT_EQ(lf[i], crlf[i]) << "item " << i;
  }
}

TEST(LineEndsTest, RegistrationAndDataLinesEndBeforeTheCarriageReturn) {
  const std::string log =
      "RegReport\tDM\tRxagc\tTxpower\nDM\t-80\t7.5\nRegReport\tCEVS\tAT_State\tHDR_HybridMode_State\n"
      "CEVS\t3\t1\nEVT\t1A\n";
  const std::vector<Item> lf = Decode(log);
  ASSERT_EQ(lf.size(), 3u);
  // The last column of each registration maps: Txpower and the hybrid mode.
  ASSERT_NE(Find(lf[0].current, 0x7F010003), nullptr);
  EXPECT_EQ(Find(lf[0].current, 0x7F010003)->value, 7500);
  ASSERT_NE(Find(lf[1].current, 0x7F018309), nullptr);
  ExpectSameButRaw(lf, Decode(WithLineEnds(log, "\r\n")));
}

TEST(LineEndsTest, SampleLogDecodesTheSameWithLfAndCrLfEnds) {
  const std::string sample = SampleLog();
  if (sample.empty()) GTEST_SKIP() << "the sample log is not at hand (WENDRAKE_SOURCE_DIR)";
  // The bundled sample itself mixes both ends.
  ASSERT_NE(sample.find("\r\nRegReport\t"), std::string::npos);

  const std::vector<Item> lf = Decode(WithLineEnds(sample, "\n"));
  ASSERT_GT(lf.size(), 2000u);
  std::vector<Item> crlf = Decode(WithLineEnds(sample, "\r\n"));
  size_t withCr = 0;
  for (const Item& item : crlf) withCr += item.raw.ends_with("\r\n");
  EXPECT_GT(withCr, 2000u);
  ExpectSameButRaw(lf, std::move(crlf));
  ExpectSameButRaw(lf, Decode(sample));
}

}  // namespace
}  // namespace wendrake_test
