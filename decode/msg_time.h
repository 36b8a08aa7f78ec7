// Time stamp of report items, from the clock that the log's clock records set.
#pragma once

#include <cstdint>

namespace wendrake {

// Date and time set by the latest "DAY", "HOUR", "MIN" and "SEC" records.
struct LogClock {
  uint16_t year = 0;
  uint16_t month = 0;
  uint16_t day = 0;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;

  bool operator==(const LogClock&) const = default;
};

struct MsgTime {
  uint32_t seconds;
  uint32_t micros;
};

// Reads the clock as the host's local standard time (mktime, no daylight
// saving) and adds eight hours; a conversion outside the signed 32-bit range
// of seconds counts as -1, giving 28799.
MsgTime MakeMsgTime(const LogClock& clock);

// Seconds since 1970 of the clock read as local standard time (mktime with
// no daylight saving), or -1 when the conversion fails.
int64_t LocalStandardSeconds(const LogClock& clock);

// Remembers the conversion of the clock's current minute: a log sets its
// clock about once a second and stamps many lines in between, and mktime is
// costly (with TZ unset, glibc re-reads the zone file and allocates on every
// call). Within one minute the seconds simply add, since zone offsets change
// only on whole minutes. The host's time zone is therefore read when the
// clock's minute changes. Keep one cache per decoder object.
//
// With glibc, a new minute is first tried with the offset from UTC of the
// last mktime result: when localtime_r confirms it is that minute in
// standard time, with the same offset a day either side, it is what mktime
// would return, and no allocation happens. Anything else (a change of TZ,
// daylight saving, a zone change nearby, odd fields) goes to mktime.
class MsgTimeCache {
 public:
  MsgTime Get(const LogClock& clock);

 private:
  // The TZ variable as the last mktime call found it.
  class ZoneText {
   public:
    bool Matches(const char* tz) const;
    void Remember(const char* tz);

   private:
    bool set_ = false;
    char text_[256] = {};
  };

  int64_t ConvertMinute(const LogClock& minute);

  bool valid_ = false;
  LogClock minute_;             // the clock with second and milliseconds 0
  int64_t minuteSeconds_ = -1;  // its conversion
  bool offsetKnown_ = false;
  int64_t utcOffset_ = 0;  // local standard time minus UTC, in seconds
  ZoneText zone_;
};

}  // namespace wendrake
