#include "text/c_numbers.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace wendrake {
namespace {

// Log numbers always use a decimal point: convert in the "C" locale whatever
// locale the host process has set.
#if defined(_WIN32)
// The Windows runtime's strtod reads no hexadecimal forms ("0x1A" gives 0).
// mingw-w64's own C99 strtod does, but takes its radix character from the
// process locale: hexadecimal text goes to it with '.' put in that place.
bool IsHexadecimal(const char* text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  if (*text == '+' || *text == '-') ++text;
  return text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

double StrtodC(const char* text) {
  static const _locale_t c_locale = _create_locale(LC_NUMERIC, "C");
#if defined(__MINGW32__)
  const char radix = *localeconv()->decimal_point;
  if (IsHexadecimal(text) && radix != '\0') {
    char copy[8192];
    size_t i = 0;
    for (; text[i] != '\0' && i < sizeof copy - 1; ++i) {
      if (text[i] == radix && radix != '.') break;  // ends a "C" number
      copy[i] = text[i] == '.' ? radix : text[i];
    }
    copy[i] = '\0';
    return __mingw_strtod(copy, nullptr);
  }
#endif
  return _strtod_l(text, nullptr, c_locale);
}
#else
double StrtodC(const char* text) {
  static const locale_t c_locale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  return strtod_l(text, nullptr, c_locale);
}
#endif

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Copies the text up to its first NUL into a zero-terminated buffer. A line
// holds at most 8191 bytes, so a field always fits.
class CString {
 public:
  explicit CString(std::string_view text) {
    const size_t nul = text.find('\0');
    size_t length = nul == std::string_view::npos ? text.size() : nul;
    if (length > kSize - 1) length = kSize - 1;
    std::memcpy(buffer_, text.data(), length);
    buffer_[length] = '\0';
  }
  const char* get() const { return buffer_; }

 private:
  static constexpr size_t kSize = 8192;
  char buffer_[kSize];
};

}  // namespace

int32_t CAtoi(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate toward the sign so LONG_MIN stays representable.
  int64_t value = 0;
  bool saturated = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (saturated) continue;
    const int digit = text[i] - '0';
    if (negative) {
      if (value < (INT64_MIN + digit) / 10) {
        value = INT64_MIN;
        saturated = true;
      } else {
        value = value * 10 - digit;
      }
    } else if (value > (INT64_MAX - digit) / 10) {
      value = INT64_MAX;
      saturated = true;
    } else {
      value = value * 10 + digit;
    }
  }
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

namespace {

// Exact powers of ten up to 10^22, the largest a double holds exactly.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Reads the plain decimals that make up almost every log field ("-85.5",
// "1228") without the C library: an optional sign, digits and at most one
// point, nothing else, at most 15 digits. Those digits form an exact integer
// and the power of ten is exact, so the one division rounds correctly and
// gives strtod's result bit for bit. Anything else (blanks, exponents,
// hexadecimal, inf/nan, trailing text, long digit strings, no digits) is left
// to strtod.
[[gnu::always_inline]] inline bool FastDecimal(std::string_view text, double* value) {
  constexpr size_t kMaxDigits = 15;
  const char* const p = text.data();
  const size_t n = text.size();
  if (n == 0 || n > kMaxDigits + 2) return false;  // sign, digits and point
  const bool signed_ = p[0] == '-' || p[0] == '+';
  size_t point = n;  // where the point stands, n without one
  int64_t digits = 0;  // at most 17 digits are read: no overflow
  for (size_t i = signed_ ? 1 : 0; i < n; ++i) {
    const unsigned digit = static_cast<unsigned char>(p[i]) - unsigned{'0'};
    if (digit < 10) {
      digits = digits * 10 + digit;
    } else if (p[i] == '.' && point == n) {
      point = i;
    } else {
      return false;
    }
  }
  const size_t count = n - (signed_ ? 1 : 0) - (point < n ? 1 : 0);
  if (count == 0 || count > kMaxDigits) return false;
  double magnitude = static_cast<double>(digits);
  if (point < n - 1) magnitude /= kPowersOfTen[n - 1 - point];
  *value = p[0] == '-' ? -magnitude : magnitude;
  return true;
}

}  // namespace

namespace {

// Kept out of line: its 8 KB buffer would otherwise enlarge (and probe) the
// stack frame of every fast conversion.
[[gnu::noinline]] double SlowStrtod(std::string_view text) {
  const CString copy(text);
  return StrtodC(copy.get());
}

}  // namespace

double CStrtod(std::string_view text) {
  double value;
  if (FastDecimal(text, &value)) return value;
  return SlowStrtod(text);
}

int32_t CHexToInt32(std::string_view text) {
  const CString copy(text);
  const long value = std::strtol(copy.get(), nullptr, 16);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int32_t ScaledValue(std::string_view field, int32_t scale) {
  const double product = CStrtod(field) * scale;
  // 2^63 is exactly representable; every double below it in magnitude fits.
  constexpr double kLimit = 9223372036854775808.0;
  if (!(product > -kLimit && product < kLimit)) return 0;
  const int64_t truncated = static_cast<int64_t>(product);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(truncated)));
}

}  // namespace wendrake
