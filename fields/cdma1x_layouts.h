// Layouts of 1x signalling messages: the channel headers and message bodies.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "fields/layout.h"

namespace wendrake {

struct MessageLayout {
  uint16_t logCode;
  uint8_t msgType;
  std::string_view reference;  // the standard's section holding the layout table
  Layout body;                 // the fields after the channel header
};

// MSG_LENGTH, which opens every 1x message as logged.
Layout Cdma1xLength();

// The fields a 1x channel puts before the message body, after MSG_LENGTH:
// MSG_TYPE and, on the access and traffic channels, the link-layer fields.
// Empty for a log code that is not a 1x channel.
Layout Cdma1xChannelHeader(uint16_t logCode);

// The message type on a 1x log code's header fields: the access channel's
// type octet carries the type in its low six bits.
uint8_t Cdma1xMessageType(uint16_t logCode, uint64_t typeField);

// The body layout of a message type on a 1x log code, or null.
const MessageLayout* FindCdma1xLayout(uint16_t logCode, uint8_t msgType);

// Every layout, for the tests that check the tables.
std::span<const MessageLayout> Cdma1xLayouts();

}  // namespace wendrake
