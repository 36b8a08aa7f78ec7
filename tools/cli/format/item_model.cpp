#include "format/item_model.h"

#include <fmt/format.h>

#include <ctime>

namespace wendrake_cli {

std::string_view WithoutLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::string_view RecordTokenOf(std::string_view lineText) {
  constexpr std::string_view kSpace = " \t\n\v\f\r";
  const size_t start = lineText.find_first_not_of(kSpace);
  if (start == std::string_view::npos) return {};
  const size_t end = lineText.find_first_of(kSpace, start);
  return lineText.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

std::string IsoTime(uint32_t seconds, uint32_t micros) {
  if (!HasClock(seconds)) return {};
  // The decoder does not range-check milliseconds, so micros may exceed a
  // second; carry it into the seconds as the clock would.
  const time_t clock = static_cast<time_t>(seconds - kStampOffset) + micros / 1000000;
  const uint32_t fraction = micros % 1000000;
  std::tm parts{};
  if (gmtime_r(&clock, &parts) == nullptr) return {};
  std::string iso = fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", parts.tm_year + 1900,
                                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min,
                                parts.tm_sec);
  if (fraction % 1000 == 0) {
    iso += fmt::format(".{:03}", fraction / 1000);
  } else {
    iso += fmt::format(".{:06}", fraction);
  }
  return iso;
}

double ClockSeconds(uint32_t seconds, uint32_t micros) {
  return static_cast<double>(seconds) - kStampOffset + micros / 1e6;
}

std::string HexCode(uint32_t code) { return fmt::format("0x{:08X}", code); }

std::string HexBytes(std::string_view bytes) {
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char byte : bytes) fmt::format_to(std::back_inserter(hex), "{:02X}", byte);
  return hex;
}

}  // namespace wendrake_cli
