#include "fast_format.h"

#include <fmt/compile.h>
#include <fmt/format.h>

#include "item_model.h"

namespace wendrake_cli {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Two decimal digits of 0..99.
char* TwoDigits(char* at, int value) {
  at[0] = static_cast<char>('0' + value / 10);
  at[1] = static_cast<char>('0' + value % 10);
  return at + 2;
}

}  // namespace

void AppendReal(std::string* out, double value) {
  char text[40];
  char* end = fmt::format_to(text, FMT_COMPILE("{}"), value);
  out->append(text, end);
}

void AppendHex(std::string* out, uint32_t value, int digits) {
  char text[8];
  for (int i = digits - 1; i >= 0; --i) {
    text[i] = kHexDigits[value & 0xF];
    value >>= 4;
  }
  out->append(text, static_cast<size_t>(digits));
}

void AppendHexBytes(std::string* out, std::string_view bytes) {
  const size_t start = out->size();
  out->resize(start + bytes.size() * 2);
  char* at = out->data() + start;
  for (unsigned char byte : bytes) {
    *at++ = kHexDigits[byte >> 4];
    *at++ = kHexDigits[byte & 0xF];
  }
}

bool IsoClock::Append(std::string* out, uint32_t seconds, uint32_t micros) {
  if (!HasClock(seconds)) return false;
  // The same arithmetic as IsoTime: micros beyond a second carry into it.
  const time_t clock = static_cast<time_t>(seconds - kStampOffset) + micros / 1000000;
  const uint32_t fraction = micros % 1000000;
  if (!cached_ || clock != cachedClock_) {
    cached_ = true;
    cachedClock_ = clock;
    std::tm parts{};
    cachedValid_ = gmtime_r(&clock, &parts) != nullptr && parts.tm_year + 1900 >= 0 &&
                   parts.tm_year + 1900 <= 9999;
    if (cachedValid_) {
      const int year = parts.tm_year + 1900;
      char* at = TwoDigits(dateTime_, year / 100);
      at = TwoDigits(at, year % 100);
      *at++ = '-';
      at = TwoDigits(at, parts.tm_mon + 1);
      *at++ = '-';
      at = TwoDigits(at, parts.tm_mday);
      *at++ = 'T';
      at = TwoDigits(at, parts.tm_hour);
      *at++ = ':';
      at = TwoDigits(at, parts.tm_min);
      *at++ = ':';
      TwoDigits(at, parts.tm_sec);
    }
  }
  if (!cachedValid_) {
    // Years outside 0..9999 (never from a 32-bit stamp): the general path.
    const std::string iso = IsoTime(seconds, micros);
    out->append(iso);
    return !iso.empty();
  }
  out->append(dateTime_, 19);
  char tail[8] = {'.'};
  if (fraction % 1000 == 0) {
    const uint32_t millis = fraction / 1000;
    tail[1] = static_cast<char>('0' + millis / 100);
    TwoDigits(tail + 2, static_cast<int>(millis % 100));
    out->append(tail, 4);
  } else {
    uint32_t rest = fraction;
    for (int i = 6; i >= 1; --i) {
      tail[i] = static_cast<char>('0' + rest % 10);
      rest /= 10;
    }
    out->append(tail, 7);
  }
  return true;
}

}  // namespace wendrake_cli
