// Inputs from fuzzing, replayed through the exported functions in the
// ordinary (gcc, sanitized) test run: the seed corpus of the API fuzz target
// and the inputs of past findings under fuzz/regressions/. Each file is
// decoded in whole lines and one byte per call; both must give the same
// items, and every item must keep what a host relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/host.h"
#include "support/time_zone.h"
#include "wendrake/wendrake.h"

namespace wendrake_test {
namespace {

namespace fs = std::filesystem;

// The module byte of an API fuzz input: five accepted types, then a refused one.
constexpr int kModules[] = {WENDRAKE_MODULE_B101, WENDRAKE_MODULE_B200, WENDRAKE_MODULE_B20A,
                            WENDRAKE_MODULE_B20B, WENDRAKE_MODULE_BD00, 0xB102};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<fs::path> InputsOf(const std::string& folder) {
  std::vector<fs::path> files;
  const char* root = std::getenv("WENDRAKE_SOURCE_DIR");
  if (root == nullptr) return files;
  const fs::path dir = fs::path(root) / folder;
  if (!fs::is_directory(dir)) return files;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// What a host may rely on, read through GetReportItemProc.
void ExpectSound(DecoderObject* decoder, int n, const std::string& name) {
  for (int i = 0; i < n; ++i) {
    const ReportItem* item = GetReportItemProc(decoder, i);
    ASSERT_NE(item, nullptr) << name;
    ASSERT_LE(item->textLength, WENDRAKE_BLOCK_SIZE - 1u) << name;
    ASSERT_TRUE(std::all_of(item->text + item->textLength, item->text + WENDRAKE_BLOCK_SIZE,
                            [](char c) { return c == 0; })) << name << " item " << i;
    ASSERT_LE(item->rawLength, static_cast<uint32_t>(WENDRAKE_BLOCK_SIZE)) << name;
    ASSERT_EQ(item->simpleLength, 0u) << name;
    ASSERT_LE(item->curParamCount, WENDRAKE_PARAM_COUNT) << name;
    ASSERT_LE(item->inheritParamCount, WENDRAKE_PARAM_COUNT) << name;
    for (int p = 0; p < item->curParamCount; ++p) {
      const uint16_t ref = item->curParamList[p];
      ASSERT_TRUE(ref % sizeof(ParamSlot) == 0 && ref < sizeof item->paramSlots) << name;
      ASSERT_EQ(item->paramSlots[ref / sizeof(ParamSlot)].state, 1) << name;
    }
    for (int p = 0; p < item->inheritParamCount; ++p) {
      const uint16_t ref = item->inheritParamList[p];
      ASSERT_TRUE(ref % sizeof(ParamSlot) == 0 && ref < sizeof item->paramSlots) << name;
      ASSERT_EQ(item->paramSlots[ref / sizeof(ParamSlot)].state, 0) << name;
    }
    ASSERT_EQ(item->curStructCount + item->inheritStructCount, 0) << name;
  }
}

// Whole lines, at most 200 per call, so the queue never overflows.
std::vector<Item> DecodeInLines(int module, const std::string& log, const std::string& name) {
  Host host(module);
  std::vector<Item> items;
  size_t pos = 0;
  while (pos < log.size()) {
    size_t end = pos;
    for (int lines = 0; end < log.size() && lines < 200;) lines += log[end++] == '\n';
    DecodeMsgProc(host.get(), log.data() + pos, static_cast<int>(end - pos));
    const int n = GetReportItemCountProc(host.get());
    ExpectSound(host.get(), n, name);
    for (int i = 0; i < n; ++i) items.push_back(host.Read(i));
    ClearReportItemsProc(host.get());
    pos = end;
  }
  return items;
}

std::vector<Item> DecodeBytewise(int module, const std::string& log) {
  Host host(module);
  std::vector<Item> items;
  for (char byte : log) {
    std::vector<Item> got = host.Cycle(std::string_view(&byte, 1));
    items.insert(items.end(), got.begin(), got.end());
  }
  return items;
}

void Replay(const fs::path& path) {
  const std::string input = ReadFile(path);
  const std::string name = path.filename().string();
  const int module = kModules[(input.empty() ? 0 : static_cast<uint8_t>(input[0])) % 6];
  const std::string log = input.size() > 4 ? input.substr(4) : std::string();
  if (module == kModules[5]) {
    EXPECT_EQ(CreateDecoderObjectProc(module), nullptr);
    return;
  }
  const std::vector<Item> lines = DecodeInLines(module, log, name);
  EXPECT_EQ(DecodeBytewise(module, log), lines) << name;
}

TEST(FuzzRegressions, SeedCorpusDecodesSoundly) {
  const std::vector<fs::path> seeds = InputsOf("fuzz/corpus/api_fuzz");
  if (seeds.empty()) GTEST_SKIP() << "source tree not at hand";
  testing::internal::CaptureStdout();  // overflow diagnostics of the overflow seed
  for (const fs::path& seed : seeds) Replay(seed);
  testing::internal::GetCapturedStdout();
}

TEST(FuzzRegressions, FindingsStayFixed) {
  testing::internal::CaptureStdout();
  for (const fs::path& input : InputsOf("fuzz/regressions/api_fuzz")) Replay(input);
  testing::internal::GetCapturedStdout();
}

// The stamp converts each clock minute once and adds the seconds. In
// Monrovia the clock went from 00:00 (UTC-0:44:30) to 00:44:30 (UTC) on
// 1972-01-07, so the minute 00:44 starts in a gap and fails to convert while
// its seconds from 30 on exist: they must be stamped as the clock itself
// converts, not as a failure.
TEST(FuzzRegressions, SecondsAfterAZoneChangeInsideTheMinute) {
  if (!fs::exists("/usr/share/zoneinfo/Africa/Monrovia")) GTEST_SKIP() << "no time zone data";
  const ScopedTimeZone zone("Africa/Monrovia");
  std::tm clock = {};
  clock.tm_year = 72;
  clock.tm_mday = 7;
  clock.tm_min = 44;
  clock.tm_sec = 40;
  const time_t expected = std::mktime(&clock);
  std::vector<Item> items;
  {
    Host host;
    items = host.Cycle("DAY\t1972\t1\t7\nHOUR\t0\nMIN\t44\nSEC\t40\t0\nDM\t1\n");
  }

  ASSERT_NE(expected, -1);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].seconds, static_cast<uint32_t>(expected + 8 * 3600));
}

}  // namespace
}  // namespace wendrake_test
