#include "map/spill_array.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace wendrake_cli {
namespace {

struct Record {
  int64_t index;
  double value;
};

TEST(SpillArrayTest, ChunksInTheFileReadBackInAnyOrder) {
  SpillArray<Record> records;
  const size_t count = 3 * SpillArray<Record>::kChunk + 5;
  for (size_t i = 0; i < count; ++i) {
    records.push_back({static_cast<int64_t>(i), i * 0.5});
    records.back().value += 1;  // the newest is changed in place, as a route's last vertex is
  }
  ASSERT_EQ(records.size(), count);
  ASSERT_FALSE(records.failed());
  for (size_t i = 0; i < count; ++i) {
    ASSERT_EQ(records[i].index, static_cast<int64_t>(i));
    ASSERT_EQ(records[i].value, i * 0.5 + 1);
  }
  // Two places a while apart, read in turn, then a third chunk.
  for (size_t i = 0; i < 1000; ++i) {
    EXPECT_EQ(records[i].index, static_cast<int64_t>(i));
    EXPECT_EQ(records[2 * SpillArray<Record>::kChunk + i].index, static_cast<int64_t>(2 * SpillArray<Record>::kChunk + i));
  }
  EXPECT_EQ(records[SpillArray<Record>::kChunk + 7].index, static_cast<int64_t>(SpillArray<Record>::kChunk + 7));
  EXPECT_EQ(records[count - 1].index, static_cast<int64_t>(count - 1));
}

TEST(SpillArrayTest, AFileThatCannotGrowIsAFailureWithItsReason) {
  // The file size limit stands in for a full disk; its signal is ignored
  // so that the write fails with EFBIG instead.
  struct sigaction ignore {}, old {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &old);
  rlimit limit{}, saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  limit.rlim_cur = 4096;
  limit.rlim_max = saved.rlim_max;
  setrlimit(RLIMIT_FSIZE, &limit);
  SpillArray<Record> records;
  for (size_t i = 0; i < 2 * SpillArray<Record>::kChunk + 1; ++i) records.push_back({static_cast<int64_t>(i), 0});
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &old, nullptr);
  EXPECT_TRUE(records.failed());
  EXPECT_EQ(records.error(), EFBIG);
  EXPECT_EQ(records.size(), SpillArray<Record>::kChunk);  // what it held before the failed write
}

TEST(SpillArrayTest, TheFileIsMadeInTmpdirAndLeavesNothingThere) {
  const std::string folder = testing::TempDir() + "spill-tmpdir";
  mkdir(folder.c_str(), 0700);
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old != nullptr ? old : "";
  setenv("TMPDIR", folder.c_str(), 1);
  {
    SpillArray<Record> records;
    for (size_t i = 0; i < 2 * SpillArray<Record>::kChunk; ++i) records.push_back({static_cast<int64_t>(i), 0});
    EXPECT_FALSE(records.failed());
    EXPECT_EQ(records[5].index, 5);
    EXPECT_TRUE(std::filesystem::is_empty(folder));  // removed as soon as made
  }
  setenv("TMPDIR", (folder + "/missing").c_str(), 1);
  SpillArray<Record> records;
  for (size_t i = 0; i < 2 * SpillArray<Record>::kChunk; ++i) records.push_back({static_cast<int64_t>(i), 0});
  EXPECT_TRUE(records.failed());
  EXPECT_EQ(records.error(), ENOENT);
  if (old != nullptr) setenv("TMPDIR", saved.c_str(), 1);
  else unsetenv("TMPDIR");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace wendrake_cli
