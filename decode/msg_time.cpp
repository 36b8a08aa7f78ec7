#include "decode/msg_time.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>

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

#if defined(__GLIBC__)

namespace {

// Clocks whose fields need no normalising, in years where every conversion
// fits the 32-bit range with room to spare.
bool IsPlainClock(const LogClock& c) {
  return c.year >= 1971 && c.year <= 2037 && c.month >= 1 && c.month <= 12 && c.day >= 1 &&
         c.day <= 31 && c.hour <= 23 && c.minute <= 59 && c.second <= 59;
}

// Seconds since 1970 of the clock read as UTC (days from the civil date by
// the usual era arithmetic of the proleptic Gregorian calendar).
int64_t UtcSeconds(const LogClock& c) {
  const int64_t y = c.year - (c.month <= 2 ? 1 : 0);
  const int64_t era = y / 400;
  const int64_t yearOfEra = y - era * 400;
  const int64_t dayOfYear = (153 * (c.month + (c.month > 2 ? -3 : 9)) + 2) / 5 + c.day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const int64_t days = era * 146097 + dayOfEra - 719468;
  return days * 86400 + c.hour * 3600 + c.minute * 60 + c.second;
}

// Whether `seconds` is the clock's minute in local standard time with the
// given offset from UTC, and the offset holds (standard time, no change) a
// day either side: then the clock names no other moment and mktime with no
// daylight saving returns exactly `seconds`.
bool IsSettledStandardTime(int64_t seconds, const LogClock& c, int64_t offset) {
  for (const int64_t shift : {int64_t{0}, int64_t{-86400}, int64_t{86400}}) {
    const std::time_t at = static_cast<std::time_t>(seconds + shift);
    std::tm local;
    if (localtime_r(&at, &local) == nullptr || local.tm_isdst != 0 || local.tm_gmtoff != offset) return false;
    if (shift == 0 && (local.tm_year != c.year - 1900 || local.tm_mon != c.month - 1 || local.tm_mday != c.day ||
                       local.tm_hour != c.hour || local.tm_min != c.minute || local.tm_sec != c.second)) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool MsgTimeCache::ZoneText::Matches(const char* tz) const {
  if (tz == nullptr) return !set_;
  return set_ && std::strlen(tz) < sizeof text_ && std::strcmp(tz, text_) == 0;
}

void MsgTimeCache::ZoneText::Remember(const char* tz) {
  set_ = tz != nullptr;
  // A text too long to keep is remembered as set but never matches, so the
  // zone is read anew each time.
  text_[0] = '\0';
  if (set_ && std::strlen(tz) < sizeof text_) std::strcpy(text_, tz);
}

int64_t MsgTimeCache::ConvertMinute(const LogClock& minute) {
  const char* tz = std::getenv("TZ");
  if (offsetKnown_ && zone_.Matches(tz) && IsPlainClock(minute)) {
    const int64_t guess = UtcSeconds(minute) - utcOffset_;
    if (IsSettledStandardTime(guess, minute, utcOffset_)) return guess;
  }
  const int64_t seconds = LocalStandardSeconds(minute);
  zone_.Remember(tz);
  offsetKnown_ = seconds != -1 && IsPlainClock(minute);
  if (offsetKnown_) utcOffset_ = UtcSeconds(minute) - seconds;
  return seconds;
}

#else

int64_t MsgTimeCache::ConvertMinute(const LogClock& minute) { return LocalStandardSeconds(minute); }

#endif

MsgTime MsgTimeCache::Get(const LogClock& clock) {
  // A second past 59 rolls into the next minute: convert it whole.
  if (clock.second > 59) return MakeMsgTime(clock);
  LogClock minute = clock;
  minute.second = 0;
  minute.milliseconds = 0;
  if (!valid_ || !(minute == minute_)) {
    minute_ = minute;
    minuteSeconds_ = ConvertMinute(minute);
    valid_ = true;
  }
  // A minute whose start does not exist on the local clock (a zone change
  // part way into it, as in Monrovia in 1972) fails to convert while its
  // later seconds exist: convert those whole.
  if (minuteSeconds_ == -1) return MakeMsgTime(clock);
  return Stamp(minuteSeconds_ < 0 ? -1 : minuteSeconds_ + clock.second, clock);
}

}  // namespace wendrake
