// Time stamp of report items, from the clock that the log's clock records set.
#pragma once

#include <cstdint>

namespace wendrake {

// Date and time set by the latest "DAY", "HOUR", "MIN" and "SEC" records.
struct LogClock {
  uint16_t year = 0;
  uint16_t month = 0;
  uint16_t dayOfWeek = 0;  // never set nor read
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

// Remembers the last conversion: a log sets its clock about once a second
// but stamps many lines in between, and mktime is costly. The host's time
// zone is read only when the clock changes, so a time zone change shows from
// the next clock change on. Keep one cache per decoder object.
class MsgTimeCache {
 public:
  MsgTime Get(const LogClock& clock) {
    // Milliseconds only feed the microseconds: a log that reports several
    // times a second converts once per second.
    LogClock key = clock;
    key.milliseconds = 0;
    if (!valid_ || !(key == clock_)) {
      clock_ = key;
      time_ = MakeMsgTime(key);
      valid_ = true;
    }
    return MsgTime{time_.seconds, static_cast<uint32_t>(clock.milliseconds * 1000u)};
  }

 private:
  bool valid_ = false;
  LogClock clock_;
  MsgTime time_ = {0, 0};
};

}  // namespace wendrake
