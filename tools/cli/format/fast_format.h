// Numbers, codes and clock times appended straight to an output buffer, for
// the paths that write one row per item: no temporary strings, no
// per-value format parsing. Each function prints exactly what the matching
// fmt format ("{}", "0x{:08X}", IsoTime) prints.
#pragma once

#include <charconv>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace wendrake_cli {

template <typename Integer>
void AppendInt(std::string* out, Integer value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out->append(digits, result.ptr);
}

// The shortest text that reads back as `value`, as fmt's "{}" writes it.
void AppendReal(std::string* out, double value);

// A parameter's real value, stored / scale, as AppendReal prints it. Such a
// number has at most three decimals, and the shortest text that reads back
// as it is its plain decimal form, so it is printed from the integers.
// Scales other than 1, 10, 100 and 1000 go through AppendReal.
void AppendScaled(std::string* out, int64_t stored, int32_t scale);

// AppendReal of a value that is most likely stored / scale for some integer
// stored: printed as AppendScaled when it is exactly that, else as AppendReal.
void AppendRealOfScale(std::string* out, double value, int32_t scale);

// `digits` upper-case hexadecimal digits of `value` into `text`, zero-padded,
// no prefix and no terminating NUL.
inline void WriteHex(char* text, uint32_t value, int digits) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  for (int i = digits - 1; i >= 0; --i, value >>= 4) text[i] = kDigits[value & 0xF];
}

// `digits` upper-case hexadecimal digits of `value`, zero-padded, no prefix.
inline void AppendHex(std::string* out, uint32_t value, int digits) {
  char text[8];
  WriteHex(text, value, digits);
  out->append(text, static_cast<size_t>(digits));
}

// "0xB1012001", as HexCode.
inline void AppendHexCode(std::string* out, uint32_t code) {
  out->append("0x");
  AppendHex(out, code, 8);
}

// Two hexadecimal digits per byte, as HexBytes.
void AppendHexBytes(std::string* out, std::string_view bytes);

// IsoTime of stored stamps, appended. Items come in clock order mostly, so
// the date and time of day of the last second are kept for the next item.
class IsoClock {
 public:
  // Appends nothing for a stamp without a clock; returns whether it appended.
  bool Append(std::string* out, uint32_t seconds, uint32_t micros);

 private:
  bool cached_ = false;
  bool cachedValid_ = false;
  time_t cachedClock_ = 0;
  char dateTime_[20] = {};  // "2011-10-19T15:42:07"
};

}  // namespace wendrake_cli
