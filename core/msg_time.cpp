#include "core/msg_time.h"

#include <ctime>

namespace wendrake {

namespace {
// Eight hours on top of the local-time conversion: on a host whose standard
// time is UTC+8 the stamp is the clock read as UTC.
constexpr int64_t kStampOffsetSeconds = 8 * 3600;
constexpr int64_t kMaxSeconds = 2147483647;
}  // namespace

int64_t LocalStandardSeconds(const LogClock& clock) {
  std::tm broken = {};
  broken.tm_year = clock.year - 1900;
  broken.tm_mon = clock.month - 1;
  broken.tm_mday = clock.day;
  broken.tm_hour = clock.hour;
  broken.tm_min = clock.minute;
  broken.tm_sec = clock.second;
  broken.tm_isdst = 0;
  return static_cast<int64_t>(std::mktime(&broken));
}

namespace {

// Hosts read the stamp as a 32-bit count of seconds since 1970: anything
// outside it is the conversion failure value.
MsgTime Stamp(int64_t seconds, const LogClock& clock) {
  if (seconds < 0 || seconds > kMaxSeconds) seconds = -1;
  return {static_cast<uint32_t>(seconds + kStampOffsetSeconds),
          static_cast<uint32_t>(clock.milliseconds) * 1000u};
}

}  // namespace

MsgTime MakeMsgTime(const LogClock& clock) { return Stamp(LocalStandardSeconds(clock), clock); }

MsgTime MsgTimeCache::Get(const LogClock& clock) {
  // A second past 59 rolls into the next minute: convert it whole.
  if (clock.second > 59) return MakeMsgTime(clock);
  LogClock minute = clock;
  minute.second = 0;
  minute.milliseconds = 0;
  if (!valid_ || !(minute == minute_)) {
    minute_ = minute;
    minuteSeconds_ = LocalStandardSeconds(minute);
    valid_ = true;
  }
  // A minute whose start does not exist on the local clock (a zone change
  // part way into it, as in Monrovia in 1972) fails to convert while its
  // later seconds exist: convert those whole.
  if (minuteSeconds_ == -1) return MakeMsgTime(clock);
  return Stamp(minuteSeconds_ < 0 ? -1 : minuteSeconds_ + clock.second, clock);
}

}  // namespace wendrake
