// Decoder objects share nothing but constant tables: several of them used on
// several threads at once, one object per thread, give exactly the items
// that sequential use gives. Built with -fsanitize=thread by the tsan preset.
#include <gtest/gtest.h>

#include <cstdio>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "support/host.h"
#include "support/sample_log.h"
#include "wendrake/wendrake.h"

namespace wendrake_test {
namespace {

constexpr int kModules[] = {WENDRAKE_MODULE_B101, WENDRAKE_MODULE_B200, WENDRAKE_MODULE_B20A,
                            WENDRAKE_MODULE_B20B, WENDRAKE_MODULE_BD00};

// A log touching every decoder: registrations, the clock, column records,
// events, layer-3 messages of several categories, EV-DO states.
std::string MadeLog(int lines) {
  std::string log =
      "RegReport\tDM\tRxagc\tTxpower\tTotal_EcIo\tFber\n"
      "RegReport\tC1XQI\tRlprx_Rate\tEV_RxPER\n"
      "RegReport\tEVT\tEvent\tName\n"
      "RegReport\tCEVS\tAT_State\tIdle_State\tRoute_Update_State\tHDR_HybridMode_State\n"
      "DAY\t2011\t10\t19\nHOUR\t15\nMIN\t42\n";
  const char* cl3[] = {
      "CL3\tACH\t0\t1800041000002DD7EDD4BA000C012A0527CE88710220DD50\n",
      "CL3\tPCH\t1\t15000710000065D7EDD4BA0009073A293E74438880\n",
      "CL3\tFTC\t2\t120005100000000000000000000100002C20\n",
      "CL3\tX\t0\t0400\n",
  };
  for (int i = 0; i < lines; ++i) {
    char line[160];
    switch (i % 7) {
      case 0: std::snprintf(line, sizeof line, "SEC\t%d\t%d\n", i % 60, (i * 37) % 1000); break;
      case 1: std::snprintf(line, sizeof line, "DM\t-%d.%d\t%d.5\t-%d.25\t%d\n", 70 + i % 20, i % 10, i % 23, i % 15, i % 3); break;
      case 2: std::snprintf(line, sizeof line, "%s", cl3[(i / 7) % 4]); break;
      case 3: std::snprintf(line, sizeof line, "CEVS\t%d\t%d\t%d\t%d\n", 3 + (i / 7) % 3, (i / 5) % 4, i % 3, (i / 3) % 2); break;
      case 4: std::snprintf(line, sizeof line, "C1XQI\t%d\t%d.%d\n", i * 13 % 9600, i % 5, i % 9); break;
      case 5: std::snprintf(line, sizeof line, "EVT\t%X\tE%d\n", 0x100 + i % 40, i); break;
      default: std::snprintf(line, sizeof line, "GPS\t30.%d\t120.%d\n", i, i * 3); break;
    }
    log += line;
  }
  return log;
}

// The bundled sample log when the source tree is at hand, else a made one.
std::string TestLog() {
  const std::string sample = SampleLog();
  return sample.empty() ? MadeLog(3000) : sample + MadeLog(700);
}

// Decodes the log in chunks of at most `chunkBytes` bytes, each cut short so
// that it holds at most 200 lines (the queue never overflows), reading every
// item after every chunk.
std::vector<Item> Decode(int moduleType, const std::string& log, size_t chunkBytes) {
  Host host(moduleType);
  std::vector<Item> items;
  size_t pos = 0;
  while (pos < log.size()) {
    size_t end = std::min(log.size(), pos + chunkBytes);
    int lines = 0;
    for (size_t i = pos; i < end; ++i) {
      if (log[i] == '\n' && ++lines == 200) {
        end = i + 1;
        break;
      }
    }
    std::vector<Item> got = host.Cycle(std::string_view(log).substr(pos, end - pos));
    items.insert(items.end(), got.begin(), got.end());
    pos = end;
  }
  return items;
}

class ThreadsTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    log_ = new std::string(TestLog());
    expected_ = new std::vector<std::vector<Item>>;
    for (int module : kModules) expected_->push_back(Decode(module, *log_, 1 << 20));
  }
  static void TearDownTestSuite() {
    delete log_;
    delete expected_;
  }

  static std::string* log_;
  static std::vector<std::vector<Item>>* expected_;
};

std::string* ThreadsTest::log_ = nullptr;
std::vector<std::vector<Item>>* ThreadsTest::expected_ = nullptr;

TEST_F(ThreadsTest, SequentialRunIsMeaningful) {
  // The comparison below is only worth something if the log decodes into
  // many items of several kinds, and the module type shows in the codes.
  const std::vector<Item>& items = (*expected_)[0];
  ASSERT_GT(items.size(), 1000u);
  bool layer3 = false, params = false;
  for (const Item& item : items) {
    layer3 |= (item.code >> 16) == 0x1004;
    params |= !item.current.empty() && !item.inherited.empty();
  }
  EXPECT_TRUE(layer3);
  EXPECT_TRUE(params);
  EXPECT_NE((*expected_)[0], (*expected_)[1]);
}

// Each thread owns one object; all threads start together and decode the
// same log with a different chunking. Threads 0-3 share a module type.
TEST_F(ThreadsTest, ConcurrentObjectsMatchSequentialUse) {
  constexpr int kThreads = 9;
  std::vector<std::vector<Item>> results(kThreads);
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const int module = kModules[t < 4 ? 0 : t - 4];
      start.arrive_and_wait();
      results[t] = Decode(module, *log_, 61 + 997 * t);
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (int t = 0; t < kThreads; ++t) {
    const std::vector<Item>& expected = (*expected_)[t < 4 ? 0 : t - 4];
    ASSERT_EQ(results[t].size(), expected.size()) << "thread " << t;
    for (size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(results[t][i], expected[i]) << "thread " << t << ", item " << i;
    }
  }
}

// Objects created and freed on one thread while others decode: nothing of
// one object's life reaches another's items.
TEST_F(ThreadsTest, CreateAndFreeWhileOthersDecode) {
  std::vector<std::vector<Item>> results(2);
  std::latch start(3);
  std::thread a([&] { start.arrive_and_wait(); results[0] = Decode(kModules[2], *log_, 4096); });
  std::thread b([&] { start.arrive_and_wait(); results[1] = Decode(kModules[3], *log_, 333); });
  std::thread churn([&] {
    start.arrive_and_wait();
    for (int i = 0; i < 20; ++i) {
      DecoderObject* d = CreateDecoderObjectProc(kModules[i % 5]);
      DecodeMsgProc(d, log_->data(), static_cast<int>(std::min<size_t>(log_->size(), 3000)));
      GetReportItemCountProc(d);
      ClearReportItemsProc(d);
      FreeDecoderObjectProc(&d);
    }
  });
  a.join();
  b.join();
  churn.join();
  EXPECT_EQ(results[0], (*expected_)[2]);
  EXPECT_EQ(results[1], (*expected_)[3]);
}

}  // namespace
}  // namespace wendrake_test
