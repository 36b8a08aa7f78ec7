#include "format/fast_format.h"

#include <fmt/compile.h>
#include <fmt/format.h>

#include <cmath>

#include "format/item_model.h"

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

void AppendScaled(std::string* out, int64_t stored, int32_t scale) {
  int decimals = 0;
  switch (scale) {
    case 1: decimals = 0; break;
    case 10: decimals = 1; break;
    case 100: decimals = 2; break;
    case 1000: decimals = 3; break;
    default: AppendReal(out, static_cast<double>(stored) / scale); return;
  }
  if (stored < 0) out->push_back('-');
  const uint64_t magnitude = stored < 0 ? 0 - static_cast<uint64_t>(stored) : static_cast<uint64_t>(stored);
  AppendInt(out, magnitude / static_cast<uint64_t>(scale));
  uint64_t fraction = magnitude % static_cast<uint64_t>(scale);
  if (fraction == 0) return;
  // The decimals without trailing zeros.
  while (fraction % 10 == 0) {
    fraction /= 10;
    --decimals;
  }
  char digits[3];
  for (int i = decimals - 1; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  out->push_back('.');
  out->append(digits, static_cast<size_t>(decimals));
}

void AppendRealOfScale(std::string* out, double value, int32_t scale) {
  // Integers up to 2^31 and scales up to 1000: stored / scale is exact to
  // far below a unit of its last decimal, so no shorter text reads back as it.
  constexpr double kLimit = 2147483648.0;
  if (scale >= 1 && scale <= 1000 && std::fabs(value) * scale < kLimit && !(value == 0 && std::signbit(value))) {
    const int64_t stored = std::llround(value * scale);
    if (static_cast<double>(stored) / scale == value) {
      AppendScaled(out, stored, scale);
      return;
    }
  }
  AppendReal(out, value);
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
