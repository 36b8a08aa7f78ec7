#include "decode/msg_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <optional>
#include <string>

#include "support/time_zone.h"

namespace wendrake {
namespace {

// Each test may set the process time zone; it is restored afterwards.
class MsgTimeTest : public testing::Test {
 protected:
  static void SetZone(const char* tz) { wendrake_test::ScopedTimeZone::Set(tz); }

  static LogClock Clock(int year, int month, int day, int hour, int minute, int second,
                        int milliseconds) {
    LogClock clock;
    clock.year = static_cast<uint16_t>(year);
    clock.month = static_cast<uint16_t>(month);
    clock.day = static_cast<uint16_t>(day);
    clock.hour = static_cast<uint16_t>(hour);
    clock.minute = static_cast<uint16_t>(minute);
    clock.second = static_cast<uint16_t>(second);
    clock.milliseconds = static_cast<uint16_t>(milliseconds);
    return clock;
  }

 private:
  wendrake_test::ScopedTimeZone zone_;
};

TEST_F(MsgTimeTest, ClockIsReadAsLocalStandardTime) {
  const LogClock clock = Clock(2011, 10, 19, 12, 0, 0, 250);
  SetZone("CST-8");
  MsgTime time = MakeMsgTime(clock);
  EXPECT_EQ(time.seconds, 1319025600u);
  EXPECT_EQ(time.micros, 250000u);

  SetZone("UTC0");
  EXPECT_EQ(MakeMsgTime(clock).seconds, 1319054400u);

  // Daylight saving is never applied, even in a zone that has it in summer.
  SetZone("EST5EDT,M3.2.0,M11.1.0");
  EXPECT_EQ(MakeMsgTime(clock).seconds, 1319054400u + 5 * 3600);
}

TEST_F(MsgTimeTest, FieldsAreNormalised) {
  SetZone("UTC0");
  // Day 0 is the last day of the previous month.
  EXPECT_EQ(MakeMsgTime(Clock(2011, 11, 0, 12, 0, 0, 0)).seconds,
            MakeMsgTime(Clock(2011, 10, 31, 12, 0, 0, 0)).seconds);
  EXPECT_EQ(MakeMsgTime(Clock(2011, 13, 1, 0, 0, 60, 0)).seconds,
            MakeMsgTime(Clock(2012, 1, 1, 0, 1, 0, 0)).seconds);
  // Milliseconds are not range-checked.
  EXPECT_EQ(MakeMsgTime(Clock(2011, 1, 1, 0, 0, 0, 1500)).micros, 1500000u);
}

TEST_F(MsgTimeTest, OutsideThe32BitRangeCountsAsFailure) {
  SetZone("UTC0");
  EXPECT_EQ(MakeMsgTime(LogClock{}).seconds, 28799u);  // no "DAY" record yet
  EXPECT_EQ(MakeMsgTime(Clock(2040, 1, 1, 0, 0, 0, 0)).seconds, 28799u);
  EXPECT_EQ(MakeMsgTime(Clock(1969, 12, 31, 23, 59, 59, 0)).seconds, 28799u);
  EXPECT_EQ(MakeMsgTime(Clock(2038, 1, 19, 3, 14, 7, 0)).seconds, 2147483647u + 28800u);
  EXPECT_EQ(MakeMsgTime(Clock(2038, 1, 19, 3, 14, 8, 0)).seconds, 28799u);
  EXPECT_EQ(MakeMsgTime(Clock(1970, 1, 1, 0, 0, 0, 0)).seconds, 28800u);
}

TEST_F(MsgTimeTest, CacheConvertsOnlyChangedClocks) {
  SetZone("UTC0");
  MsgTimeCache cache;
  LogClock clock = Clock(2011, 10, 19, 12, 0, 0, 250);
  EXPECT_EQ(cache.Get(clock).seconds, 1319054400u);

  // The zone is read again only when the clock's minute changes.
  SetZone("CST-8");
  EXPECT_EQ(cache.Get(clock).seconds, 1319054400u);
  // Milliseconds reach only the microseconds; seconds add to the minute.
  clock.milliseconds = 500;
  MsgTime changed = cache.Get(clock);
  EXPECT_EQ(changed.seconds, 1319054400u);
  EXPECT_EQ(changed.micros, 500000u);
  clock.second = 59;
  EXPECT_EQ(cache.Get(clock).seconds, 1319054459u);
  clock.minute = 1;
  clock.second = 1;
  EXPECT_EQ(cache.Get(clock).seconds, 1319025661u);
  // A second past 59 is normalised into the next minute.
  clock.second = 61;
  EXPECT_EQ(cache.Get(clock).seconds, 1319025721u);

  // Every second of a minute at the edge of the 32-bit range agrees with a
  // whole conversion, including the first one past it.
  SetZone("UTC0");
  MsgTimeCache edge;
  for (uint16_t second = 0; second < 60; ++second) {
    const LogClock late = Clock(2038, 1, 19, 3, 14, second, 0);
    EXPECT_EQ(edge.Get(late).seconds, MakeMsgTime(late).seconds) << second;
  }

  MsgTimeCache fresh;
  EXPECT_EQ(fresh.Get(LogClock{}).seconds, 28799u);
}

// The cache takes a shortcut past mktime when it can prove the answer; it
// must agree with a whole conversion everywhere, across zone changes,
// daylight saving (negative in Dublin), half-hour and 45-minute offsets,
// skipped days and odd fields, whether the clock steps a minute at a time or
// jumps.
TEST_F(MsgTimeTest, CacheAgreesWithWholeConversionInEveryZone) {
  const char* zones[] = {"UTC0", "CST-8", "EST5EDT,M3.2.0,M11.1.0", "Europe/Dublin",
                         "Australia/Lord_Howe", "America/Sao_Paulo", "Africa/Monrovia",
                         "Pacific/Apia", "Asia/Kathmandu", "America/St_Johns", "Europe/Moscow",
                         "Antarctica/Troll", "Pacific/Kiritimati", "America/Caracas"};
  std::mt19937 rng(5);
  for (const char* zone : zones) {
    SCOPED_TRACE(zone);
    if (std::strchr(zone, '/') != nullptr && !std::filesystem::exists(std::string("/usr/share/zoneinfo/") + zone)) {
      continue;  // no time zone data on this machine
    }
    SetZone(zone);
    MsgTimeCache cache;
    std::tm walk = {};
    for (int step = 0; step < 6000; ++step) {
      if (step % 500 == 0) {
        // A fresh start somewhere between 1970 and 2038.
        walk = {};
        walk.tm_year = 70 + static_cast<int>(rng() % 69);
        walk.tm_mday = 1 + static_cast<int>(rng() % 365);
      }
      // Mostly the next minute, sometimes hours or days on (across
      // changes of offset), now and then a field out of its range.
      const int jump = rng() % 8 == 0 ? static_cast<int>(rng() % 5000) : 1;
      walk.tm_min += jump;
      walk.tm_isdst = 0;
      timegm(&walk);  // normalise the walk itself
      LogClock clock = Clock(walk.tm_year + 1900, walk.tm_mon + 1, walk.tm_mday, walk.tm_hour, walk.tm_min,
                             static_cast<int>(rng() % 60), static_cast<int>(rng() % 1000));
      if (rng() % 50 == 0) clock.day = static_cast<uint16_t>(clock.day + 30);
      if (rng() % 50 == 0) clock.hour = static_cast<uint16_t>(clock.hour + 24);
      const MsgTime whole = MakeMsgTime(clock);
      const MsgTime cached = cache.Get(clock);
      ASSERT_EQ(cached.seconds, whole.seconds)
          << clock.year << "-" << clock.month << "-" << clock.day << " " << clock.hour << ":" << clock.minute
          << ":" << clock.second;
      ASSERT_EQ(cached.micros, whole.micros);
    }
  }
}

}  // namespace
}  // namespace wendrake
