// The decoded fields of one layer-3 signalling message.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wendrake {

// Name of the marker field that ends a message whose next field does not fit.
inline constexpr std::string_view kTruncatedField = "<truncated>";

struct Field {
  enum class Kind : uint8_t {
    kValue,      // an integer field (raw), perhaps with a real value or a name
    kBytes,      // a string of octets (addresses, identities): text holds the hex digits
    kRecords,    // a repeated record: `records` holds one field list per occurrence
    kTruncated,  // the marker: text holds the reason, bitOffset where decoding stopped
  };

  std::string_view name;  // the standard's field name (constant storage)
  Kind kind = Kind::kValue;
  int32_t bitOffset = 0;  // first bit, counted from the first bit of the logged message
  int32_t width = 0;      // bits
  uint64_t raw = 0;       // the bits as read (the first 64 of a longer byte string)
  std::optional<double> real;  // the value in `unit`, where the standard defines one
  std::string_view unit;
  std::string text;  // enumeration name, date and time, octets in hex, or the reason
  std::vector<std::vector<Field>> records;
};

struct DecodedMessage {
  enum class Status : uint8_t {
    kComplete,   // every field the layout describes was decoded, or the message
                 // ended where later revisions of the standard add fields
    kTruncated,  // a field did not fit: the last field is the marker
    kNoLayout,   // the channel framing was decoded; the message body has no layout here
    kNotMessage, // the bytes are not a logged layer-3 message (too short, unknown log code)
  };

  uint16_t logCode = 0;
  std::string_view channel;  // e.g. "Paging Channel"
  std::string_view message;  // the standard's message name, empty when unknown
  std::string_view reference;  // the standard's section of the layout, e.g. "C.S0005 3.7.2.3.2.1"
  Status status = Status::kNotMessage;
  std::vector<Field> fields;
};

}  // namespace wendrake
