// Decodes the fields of one logged layer-3 message ("CL3" record).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "fields/field.h"

namespace wendrake {

struct FieldOptions {
  // The 1x protocol revision in use, which decides the fields of the
  // handset's messages. Empty: the handset's own MOB_P_REV in the message.
  std::optional<int> pRevInUse;
};

// Offsets of the logged message: a 16-bit length word and a 16-bit log code
// (both little-endian), an 8-byte time stamp, then the channel's message.
inline constexpr int32_t kLoggedLengthOffset = 0;
inline constexpr int32_t kLoggedCodeOffset = 2;
inline constexpr int32_t kLoggedBodyOffset = 12;

// The message code the header decoder gives `logged` (the code of its
// "CL3" item), from which the tables of message and order names name it.
uint32_t Layer3MessageCode(std::span<const uint8_t> logged);

// Decodes `logged`, a message as logged (from its length word on: a "CL3"
// item's raw block from its fifth byte). Fields are decoded in the standard's
// order up to the first that does not fit the message; nothing past `logged`
// is ever read.
DecodedMessage DecodeMessageFields(std::span<const uint8_t> logged,
                                   const FieldOptions& options = {});

// The first top-level field of `message` so named (e.g. "BASE_LAT"), or null.
const Field* FindField(const DecodedMessage& message, std::string_view name);

}  // namespace wendrake
