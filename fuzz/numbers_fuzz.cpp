// The number conversions of log fields against the C library they imitate:
// decimal fields as strtod reads them in the "C" locale (the fast path for
// plain decimals included), integer fields as glibc's atoi, hexadecimal
// fields as strtol in base 16 clamped to 32 bits, and the scaled value of a
// decimal field.
#include <locale.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "text/c_numbers.h"
#include "fuzz/fuzz_check.h"

namespace {

bool SameDouble(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::memcmp(&a, &b, sizeof a) == 0;  // -0.0 and 0.0 differ
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const locale_t c_locale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  if (size > 8191) return 0;  // no field is longer than a line
  const std::string_view field(reinterpret_cast<const char*>(data), size);
  const std::string text(field.substr(0, field.find('\0')));  // C reads up to the NUL

  const double expected = strtod_l(text.c_str(), nullptr, c_locale);
  FUZZ_CHECK(SameDouble(wendrake::CStrtod(field), expected));

  const long asLong = std::strtol(text.c_str(), nullptr, 10);
  FUZZ_CHECK(wendrake::CAtoi(field) == static_cast<int32_t>(static_cast<uint32_t>(asLong)));

  const long hex = std::strtol(text.c_str(), nullptr, 16);
  const int32_t clamped = hex > INT32_MAX ? INT32_MAX : hex < INT32_MIN ? INT32_MIN : static_cast<int32_t>(hex);
  FUZZ_CHECK(wendrake::CHexToInt32(field) == clamped);

  for (int32_t scale : {1, 100, 1000}) {
    const double product = expected * scale;
    int32_t value = 0;
    if (std::isfinite(product) && product >= -9223372036854775808.0 && product < 9223372036854775808.0) {
      value = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(product))));
    }
    FUZZ_CHECK(wendrake::ScaledValue(field, scale) == value);
  }
  return 0;
}
