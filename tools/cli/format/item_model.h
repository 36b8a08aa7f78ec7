// What the tool knows about one report item after reading it through the
// accessors, together with the log line it came from.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "wendrake/wendrake.h"

namespace wendrake_cli {

struct ParamValue {
  uint32_t id;
  int32_t state;   // 1 set by this item's line, 0 carried over
  int32_t stored;  // the logged value times the parameter's scale
};

// The views point into the decoder's item queue and the reader's line
// buffer: valid only while the item is being handled.
struct Item {
  uint64_t line = 0;
  std::string_view lineText;  // the log line without its line end
  std::string_view token;     // its record token (first whitespace word)
  uint32_t code = 0;
  int direction = 0;
  uint32_t seconds = 0;
  uint32_t micros = 0;
  std::string_view text;      // text block: XML, or a layer-3 message body
  std::string_view raw;       // raw block
  std::vector<ParamValue> current;
  std::vector<ParamValue> inherited;

  // "CL3" items carry the message body instead of XML, and their code is
  // log code : message type : sub-code.
  bool IsLayer3() const { return token == "CL3"; }
  uint16_t LogCode() const { return static_cast<uint16_t>(code >> 16); }
  uint8_t MessageType() const { return static_cast<uint8_t>(code >> 8); }
  uint8_t SubCode() const { return static_cast<uint8_t>(code); }
};

// A line without its "\n" or "\r\n" ending.
std::string_view WithoutLineEnd(std::string_view line);

// First whitespace-delimited word of a line, as the decoder dispatches on it.
std::string_view RecordTokenOf(std::string_view lineText);

// Stamps: the decoder stores mktime(log clock) + WENDRAKE_STAMP_OFFSET. The
// tool runs with TZ=UTC0, so stored - offset is the log's own clock read as
// UTC; WENDRAKE_STAMP_FAILED marks a line before any clock record (or an
// out-of-range clock).
constexpr uint32_t kStampOffset = WENDRAKE_STAMP_OFFSET;

inline bool HasClock(uint32_t seconds) {
  return seconds != WENDRAKE_STAMP_FAILED && seconds >= kStampOffset;
}

// ISO 8601 local date-time of the log clock ("2011-10-19T15:42:07.137"),
// or an empty string for an item without a clock.
std::string IsoTime(uint32_t seconds, uint32_t micros);

// Seconds of the log clock as a real number, for spans and averages.
double ClockSeconds(uint32_t seconds, uint32_t micros);

std::string HexCode(uint32_t code);  // "0xB1012001"
std::string HexBytes(std::string_view bytes);

}  // namespace wendrake_cli
