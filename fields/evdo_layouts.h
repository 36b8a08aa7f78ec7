// Layouts of EV-DO signalling messages and their log record header.
#pragma once

#include <cstdint>
#include <span>

#include "fields/field.h"

namespace wendrake {

// Whether a log code carries EV-DO signalling (0x1076..0x1079, 0x107C).
bool IsEvdo(uint16_t logCode);

// Decodes the record header, the protocol type and the message of an EV-DO
// log item into `out` (its logCode and channel already set).
void DecodeEvdo(std::span<const uint8_t> logged, DecodedMessage& out);

}  // namespace wendrake
