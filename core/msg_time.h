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

}  // namespace wendrake
