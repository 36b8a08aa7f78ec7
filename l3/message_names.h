// Human-readable names of layer-3 message codes, taken from the 3GPP2
// standards: message types of the 1x channels (C.S0005), order names of 1x
// order messages (C.S0005) and EV-DO protocols and messages (C.S0024).
// Every lookup returns an empty view for a code it has no name for, so the
// caller can show the number instead. Views point at constant storage.
#pragma once

#include <cstdint>
#include <string_view>

namespace wendrake {

// Channel whose messages a layer-3 log code carries, e.g. "Paging Channel"
// for 0x1007 or "EV-DO Forward Traffic Channel" for 0x1079.
std::string_view LogCodeChannelName(uint16_t logCode);

// Name of the message type `msgType` on a 1x log code (0x1004..0x1008).
std::string_view Cdma1xMessageTypeName(uint16_t logCode, uint8_t msgType);

// Whether `msgType` is the Order Message on the 1x log code `logCode`: the
// message codes of those carry an order sub-code in their low byte.
bool IsCdma1xOrderMessage(uint16_t logCode, uint8_t msgType);

// Name of the order an order message's sub-code stands for on `logCode`.
// A sub-code that covers several orders of the standard gets a generic name
// ("Order (sub-code 0x49)"); one that stands for no order gets none.
std::string_view Cdma1xOrderName(uint16_t logCode, uint8_t subCode);

// EV-DO protocol of an EV-DO message code's type byte (bits 8..15), e.g.
// "Idle State Protocol".
std::string_view EvdoProtocolName(uint8_t typeByte);

// EV-DO message named by an EV-DO message code's type byte and sub-code
// (bits 0..7), e.g. "ConnectionRequest".
std::string_view EvdoMessageName(uint8_t typeByte, uint8_t subCode);

// Name of the message a "CL3" item's whole message code stands for: the
// order name for 1x order messages (or "Order Message" when the order is
// not known), the message type name for other 1x messages, the message name
// for EV-DO messages. Empty for codes without a known name.
std::string_view Layer3MessageName(uint32_t msgCode);

}  // namespace wendrake
