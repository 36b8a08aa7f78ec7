// Names of the channels of layer-3 log codes, and of whole message codes.
#include "l3/message_names.h"

#include <cstdint>
#include <string_view>

namespace wendrake {

namespace {

// Log codes of the handset's over-the-air signalling logs and the channels
// whose messages they carry (3GPP2 C.S0005 channel names for 1x, C.S0024 for
// EV-DO, where the Control Channel carries directed and broadcast messages).
struct ChannelEntry {
  uint16_t logCode;
  std::string_view name;
};

constexpr ChannelEntry kChannels[] = {
    {0x1004, "Access Channel"},
    {0x1005, "Reverse Traffic Channel"},
    {0x1006, "Sync Channel"},
    {0x1007, "Paging Channel"},
    {0x1008, "Forward Traffic Channel"},
    {0x1076, "EV-DO Access Channel"},
    {0x1077, "EV-DO Reverse Traffic Channel"},
    {0x1078, "EV-DO Control Channel (directed)"},
    {0x1079, "EV-DO Forward Traffic Channel"},
    {0x107C, "EV-DO Control Channel (broadcast)"},
};

constexpr bool IsCdma1xLogCode(uint16_t logCode) { return logCode >= 0x1004 && logCode <= 0x1008; }

constexpr bool IsEvdoLogCode(uint16_t logCode) {
  return (logCode >= 0x1076 && logCode <= 0x1079) || logCode == 0x107C;
}

}  // namespace

std::string_view LogCodeChannelName(uint16_t logCode) {
  for (const ChannelEntry& entry : kChannels) {
    if (entry.logCode == logCode) return entry.name;
  }
  return {};
}

std::string_view Layer3MessageName(uint32_t msgCode) {
  const auto logCode = static_cast<uint16_t>(msgCode >> 16);
  const auto type = static_cast<uint8_t>(msgCode >> 8);
  const auto subCode = static_cast<uint8_t>(msgCode);
  if (IsCdma1xLogCode(logCode)) {
    if (IsCdma1xOrderMessage(logCode, type)) {
      const std::string_view order = Cdma1xOrderName(logCode, subCode);
      return order.empty() ? Cdma1xMessageTypeName(logCode, type) : order;
    }
    // Only order messages carry a sub-code; any other is no code of ours.
    return subCode == 0 ? Cdma1xMessageTypeName(logCode, type) : std::string_view{};
  }
  if (IsEvdoLogCode(logCode)) return EvdoMessageName(type, subCode);
  return {};
}

}  // namespace wendrake
