// Layouts of EV-DO signalling messages and their log record header.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "fields/field.h"
#include "fields/layout.h"

namespace wendrake {

// Whether a log code carries EV-DO signalling (0x1076..0x1079, 0x107C).
bool IsEvdo(uint16_t logCode);

struct EvdoLayout {
  uint8_t protocolType;
  uint8_t messageId;
  std::string_view reference;  // the standard's protocol and message
  Layout body;                 // the fields after the MessageID
};

// The handset's record header, and the protocol type and MessageID that
// open each message after it.
Layout EvdoRecordHeader();
Layout EvdoMessageHeader();

// Every EV-DO message layout.
std::span<const EvdoLayout> EvdoLayouts();

// Decodes the record header, the protocol type and the message of an EV-DO
// log item into `out` (its logCode and channel already set).
void DecodeEvdo(std::span<const uint8_t> logged, DecodedMessage& out);

}  // namespace wendrake
