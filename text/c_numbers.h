// Number conversions that read log text exactly as the C library does.
#pragma once

#include <cstdint>
#include <string_view>

namespace wendrake {

// atoi: leading white space, optional sign, decimal digits; the text ends at
// its first NUL. Like glibc, the value saturates to the 64-bit long range and
// its low 32 bits are kept.
int32_t CAtoi(std::string_view text);

// strtod of the text up to its first NUL (so "1e3", " -3.7", "0x1A", "inf" and
// "nan" read as C reads them); text that starts with no number reads as 0.
double CStrtod(std::string_view text);

// strtol in base 16 of the text up to its first NUL (optional sign and "0x"),
// clamped to the signed 32-bit range.
int32_t CHexToInt32(std::string_view text);

// A decimal field times an integer scale, truncated toward zero to 64 bits;
// the low 32 bits are the stored value. NaN, infinities and products outside
// the signed 64-bit range give 0, as the conversion does on x86 hosts.
int32_t ScaledValue(std::string_view field, int32_t scale);

}  // namespace wendrake
