// Names of EV-DO protocols and messages, per 3GPP2 C.S0024.
//
// An EV-DO message code's type byte holds the protocol type (the message's
// Type field, 7 bits) and, for the protocols with several subtypes (Reverse
// Traffic Channel MAC, Idle State, Route Update, Stream 1 to 3 Applications),
// a variant v in its high nibble; its sub-code holds the MessageID. The
// Initialization State Protocol is the exception: its sub-code holds only the
// top two bits of the MessageID.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "l3/message_names.h"
#include "l3/name_table.h"

namespace wendrake {

namespace {

// C.S0024 protocol types (Type field values) that message codes carry.
constexpr uint8_t kAccessChannelMac = 0x02;
constexpr uint8_t kForwardTrafficMac = 0x03;
constexpr uint8_t kReverseTrafficMac = 0x04;
constexpr uint8_t kKeyExchange = 0x05;
constexpr uint8_t kAirLinkManagement = 0x0A;
constexpr uint8_t kInitializationState = 0x0B;
constexpr uint8_t kIdleState = 0x0C;
constexpr uint8_t kConnectedState = 0x0D;
constexpr uint8_t kRouteUpdate = 0x0E;
constexpr uint8_t kOverheadMessages = 0x0F;
constexpr uint8_t kSessionManagement = 0x10;
constexpr uint8_t kAddressManagement = 0x11;
constexpr uint8_t kSessionConfiguration = 0x12;
constexpr uint8_t kStream0Application = 0x14;

// C.S0024 Protocol Type values and the protocols they name.
constexpr NameEntry kProtocols[] = {
    {kAccessChannelMac, "Access Channel MAC Protocol"},
    {kForwardTrafficMac, "Forward Traffic Channel MAC Protocol"},
    {kReverseTrafficMac, "Reverse Traffic Channel MAC Protocol"},
    {kKeyExchange, "Key Exchange Protocol"},
    {kAirLinkManagement, "Air Link Management Protocol"},
    {kInitializationState, "Initialization State Protocol"},
    {kIdleState, "Idle State Protocol"},
    {kConnectedState, "Connected State Protocol"},
    {kRouteUpdate, "Route Update Protocol"},
    {kOverheadMessages, "Overhead Messages Protocol"},
    {kSessionManagement, "Session Management Protocol"},
    {kAddressManagement, "Address Management Protocol"},
    {kSessionConfiguration, "Session Configuration Protocol"},
    {kStream0Application, "Stream 0 Application"},
    {0x15, "Stream 1 Application"},
    {0x16, "Stream 2 Application"},
    {0x17, "Stream 3 Application"},
};

// MessageIDs of each protocol's own messages, from the message formats of
// its C.S0024 section. Protocols whose MessageIDs differ between subtypes
// (Reverse Traffic Channel MAC, Stream 1 to 3 Applications) and the
// Stream 0 Application are left to the messages below that all share.
constexpr NameEntry kAccessChannelMacMessages[] = {
    {0x00, "ACAck"}, {0x01, "AccessParameters"},
};
constexpr NameEntry kForwardTrafficMacMessages[] = {
    {0x00, "FixedModeEnable"}, {0x01, "FixedModeXoff"},
};
constexpr NameEntry kKeyExchangeMessages[] = {
    {0x00, "KeyRequest"}, {0x01, "KeyResponse"},
    {0x02, "ANKeyComplete"}, {0x03, "ATKeyComplete"},
};
constexpr NameEntry kAirLinkManagementMessages[] = {
    {0x00, "Redirect"}, {0x01, "ConnectionFailed"},
};
// The Initialization State Protocol has one message, Sync (MessageID 0x00);
// the code keeps MessageID >> 6, so 0 stands for it.
constexpr NameEntry kInitializationStateMessages[] = {
    {0x00, "Sync"},
};
constexpr NameEntry kIdleStateMessages[] = {
    {0x00, "Page"}, {0x01, "ConnectionRequest"}, {0x02, "ConnectionDeny"},
};
constexpr NameEntry kConnectedStateMessages[] = {
    {0x00, "ConnectionClose"},
};
constexpr NameEntry kRouteUpdateMessages[] = {
    {0x00, "RouteUpdate"},
    {0x01, "TrafficChannelAssignment"},
    {0x02, "TrafficChannelComplete"},
    {0x03, "ResetReport"},
    {0x04, "NeighborList"},
};
constexpr NameEntry kOverheadMessagesMessages[] = {
    {0x00, "QuickConfig"}, {0x01, "SectorParameters"},
};
constexpr NameEntry kSessionManagementMessages[] = {
    {0x01, "SessionClose"}, {0x02, "KeepAliveRequest"}, {0x03, "KeepAliveResponse"},
};
constexpr NameEntry kAddressManagementMessages[] = {
    {0x00, "UATIRequest"},
    {0x01, "UATIAssignment"},
    {0x02, "UATIComplete"},
    {0x03, "HardwareIDRequest"},
    {0x04, "HardwareIDResponse"},
};
constexpr NameEntry kSessionConfigurationMessages[] = {
    {0x00, "ConfigurationComplete"}, {0x01, "ConfigurationStart"},
};

// Messages every protocol uses with the same MessageID: the configuration
// messages of session negotiation and those of the Generic Attribute Update
// Protocol.
constexpr NameEntry kSharedMessages[] = {
    {0x50, "ConfigurationRequest"},
    {0x51, "ConfigurationResponse"},
    {0x52, "AttributeUpdateRequest"},
    {0x53, "AttributeUpdateAccept"},
    {0x54, "AttributeUpdateReject"},
};

// Protocol type of a message code's type byte, or none for a byte no
// message code has. Type bytes: the protocol type itself; 0x04 + 16 x w for
// the Reverse Traffic Channel MAC (w 0 or 2..8, never 1); 0x0C or 0x0E +
// 16 x v for Idle State and Route Update; 0x15..0x17 + 16 x v for the
// Stream 1 to 3 Applications.
std::optional<uint8_t> ProtocolOf(uint8_t typeByte) {
  const uint8_t high = typeByte >> 4;
  const uint8_t low = typeByte & 0x0F;
  switch (typeByte) {
    case kAccessChannelMac: case kForwardTrafficMac: case kKeyExchange:
    case kAirLinkManagement: case kInitializationState: case kConnectedState:
    case kOverheadMessages: case kSessionManagement: case kAddressManagement:
    case kSessionConfiguration: case kStream0Application:
      return typeByte;
    default:
      break;
  }
  if (low == 0x4 && high != 1 && high <= 8) return kReverseTrafficMac;
  if ((low == 0xC || low == 0xE) && high <= 7) return low;
  if (low >= 0x5 && low <= 0x7 && high >= 1 && high <= 8) return 0x10 + low;
  return std::nullopt;
}

std::span<const NameEntry> OwnMessages(uint8_t protocol) {
  switch (protocol) {
    case kAccessChannelMac: return kAccessChannelMacMessages;
    case kForwardTrafficMac: return kForwardTrafficMacMessages;
    case kKeyExchange: return kKeyExchangeMessages;
    case kAirLinkManagement: return kAirLinkManagementMessages;
    case kInitializationState: return kInitializationStateMessages;
    case kIdleState: return kIdleStateMessages;
    case kConnectedState: return kConnectedStateMessages;
    case kRouteUpdate: return kRouteUpdateMessages;
    case kOverheadMessages: return kOverheadMessagesMessages;
    case kSessionManagement: return kSessionManagementMessages;
    case kAddressManagement: return kAddressManagementMessages;
    case kSessionConfiguration: return kSessionConfigurationMessages;
    default: return {};
  }
}

}  // namespace

std::string_view EvdoProtocolName(uint8_t typeByte) {
  const std::optional<uint8_t> protocol = ProtocolOf(typeByte);
  return protocol ? FindName(kProtocols, *protocol) : std::string_view{};
}

std::string_view EvdoMessageName(uint8_t typeByte, uint8_t subCode) {
  const std::optional<uint8_t> protocol = ProtocolOf(typeByte);
  if (!protocol) return {};
  const std::string_view own = FindName(OwnMessages(*protocol), subCode);
  // The Initialization State sub-code is not a whole MessageID.
  if (!own.empty() || *protocol == kInitializationState) return own;
  return FindName(kSharedMessages, subCode);
}

}  // namespace wendrake
