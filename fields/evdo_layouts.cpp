// EV-DO message layouts from 3GPP2 C.S0024, one step per field in the
// standard's order; the fields after each listed layout are left undecoded.
#include "fields/evdo_layouts.h"

#include <string>

#include "fields/layout.h"
#include "fields/layout_runner.h"
#include "fields/message_bits.h"
#include "fields/message_fields.h"
#include "l3/message_names.h"

namespace wendrake {

namespace {

// The handset's record header before each message: channel, sector PN and
// frequency (16-bit words, low octet first), band, stream, protocol subtype
// and protocol, sequence number and the message's length in octets.
constexpr Step kRecordHeader[] = {
    F("CHANNEL", 8), F("PILOT_PN", 16, Conv::kLittleEndian),
    F("CHANNEL_NUMBER", 16, Conv::kLittleEndian), F("BAND_CLASS", 8, Conv::kBandClass),
    F("STREAM", 8), F("PROTOCOL_SUBTYPE", 3), F("PROTOCOL", 5),
    F("SEQUENCE", 16, Conv::kLittleEndian), F("MESSAGE_LENGTH", 8),
};

// The message: its protocol's Type, then the MessageID that opens every
// C.S0024 message.
constexpr Step kMessageHeader[] = {F("PROTOCOL_TYPE", 8), F("MessageID", 8)};

// C.S0024 Initialization State Protocol, Sync message.
constexpr Step kSync[] = {
    F("MaximumRevision", 8), F("MinimumRevision", 8), F("PilotPN", 9),
    F("SystemTime", 37, Conv::kEvdoSystemTime),
};

// C.S0024 Overhead Messages Protocol, QuickConfig message.
constexpr Step kQuickConfig[] = {
    F("ColorCode", 8), F("SectorID24", 24), F("SectorSignature", 16), F("AccessSignature", 16),
    F("Redirect", 1), F("RPCCount", 6),
    Repeat("ForwardTrafficValid", "RPCCount"), F("ForwardTrafficValid", 1), EndRepeat(),
};

// C.S0024 Overhead Messages Protocol, SectorParameters message: its channel
// list, then the neighbour list one column after another.
constexpr Step kSectorParameters[] = {
    F("CountryCode", 12), F("SectorID", 128), F("SubnetMask", 8),
    F("SectorSignature", 16), F("Latitude", 22, Conv::kLatitude),
    F("Longitude", 23, Conv::kLongitude), F("RouteUpdateRadius", 11), F("LeapSeconds", 8),
    F("LocalTimeOffset", 11, Conv::kSigned), F("ReverseLinkSilenceDuration", 2),
    F("ReverseLinkSilencePeriod", 2), F("ChannelCount", 5),
    Repeat("Channel", "ChannelCount"),
      F("SystemType", 8), F("BandClass", 5, Conv::kBandClass), F("ChannelNumber", 11),
    EndRepeat(),
    F("NeighborCount", 5),
    Repeat("NeighborPilotPN", "NeighborCount"), F("NeighborPilotPN", 9), EndRepeat(),
    Repeat("NeighborChannel", "NeighborCount"),
      F("NeighborChannelIncluded", 1),
      IfSet("NeighborChannelIncluded"),
        F("SystemType", 8), F("BandClass", 5, Conv::kBandClass), F("ChannelNumber", 11),
      EndIf(),
    EndRepeat(),
};

// C.S0024 Default Access Channel MAC Protocol, AccessParameters message.
constexpr Step kAccessParameters[] = {
    F("AccessCycleDuration", 8), F("AccessSignature", 16), F("OpenLoopAdjust", 8),
    F("ProbeInitialAdjust", 5, Conv::kSigned), F("ProbeNumStep", 4), F("PowerStep", 4),
    F("PreambleLength", 3), F("CapsuleLengthMax", 4),
    F("APersistence0", 6), F("APersistence1", 6), F("APersistence2", 6), F("APersistence3", 6),
};

// C.S0024 Idle State Protocol, ConnectionRequest message.
constexpr Step kConnectionRequest[] = {
    F("TransactionID", 8), F("RequestReason", 4), F("PreferredChannelCount", 5),
    Repeat("PreferredChannel", "PreferredChannelCount"),
      F("SystemType", 8), F("BandClass", 5, Conv::kBandClass), F("ChannelNumber", 11),
    EndRepeat(),
};

// C.S0024 Connected State Protocol, ConnectionClose message.
constexpr Step kConnectionClose[] = {
    F("CloseReason", 3), F("SuspendEnable", 1),
    IfSet("SuspendEnable"), F("SuspendTime", 36), EndIf(),
};

// C.S0024 Route Update Protocol, RouteUpdate message.
constexpr Step kRouteUpdate[] = {
    F("MessageSequence", 8), F("ReferencePilotPN", 9),
    F("ReferencePilotStrength", 6, Conv::kNegHalfDb), F("ReferenceKeep", 1), F("NumPilots", 4),
    Repeat("Pilots", "NumPilots"),
      F("PilotPNPhase", 15), F("ChannelIncluded", 1),
      IfSet("ChannelIncluded"),
        F("SystemType", 8), F("BandClass", 5, Conv::kBandClass), F("ChannelNumber", 11),
      EndIf(),
      F("PilotStrength", 6, Conv::kNegHalfDb), F("Keep", 1),
    EndRepeat(),
};

// C.S0024 Default Route Update Protocol, TrafficChannelAssignment message:
// the channel, the DRC and ACK channel settings, then each pilot of the
// active set with its MAC index, DRC cover and reverse activity bit.
constexpr Step kTrafficChannelAssignment[] = {
    F("MessageSequence", 8), F("ChannelIncluded", 1),
    IfSet("ChannelIncluded"),
      F("SystemType", 8), F("BandClass", 5, Conv::kBandClass), F("ChannelNumber", 11),
    EndIf(),
    F("FrameOffset", 4), F("DRCLength", 2), F("DRCChannelGain", 6, Conv::kSigned),
    F("AckChannelGain", 6, Conv::kSigned), F("NumPilots", 4),
    Repeat("Pilots", "NumPilots"),
      F("PilotPN", 9), F("SofterHandoff", 1), F("MACIndex", 6), F("DRCCover", 3),
      F("RABLength", 2), F("RABOffset", 3),
    EndRepeat(),
};

constexpr uint8_t kAccessChannelMac = 0x02;
constexpr uint8_t kInitializationState = 0x0B;
constexpr uint8_t kIdleState = 0x0C;
constexpr uint8_t kConnectedState = 0x0D;
constexpr uint8_t kRouteUpdateProtocol = 0x0E;
constexpr uint8_t kOverheadMessages = 0x0F;

constexpr EvdoLayout kLayouts[] = {
    {kInitializationState, 0x00, "C.S0024 Initialization State Protocol: Sync", kSync},
    {kOverheadMessages, 0x00, "C.S0024 Overhead Messages Protocol: QuickConfig", kQuickConfig},
    {kOverheadMessages, 0x01, "C.S0024 Overhead Messages Protocol: SectorParameters",
     kSectorParameters},
    {kAccessChannelMac, 0x01, "C.S0024 Access Channel MAC Protocol: AccessParameters",
     kAccessParameters},
    {kIdleState, 0x01, "C.S0024 Idle State Protocol: ConnectionRequest", kConnectionRequest},
    {kConnectedState, 0x00, "C.S0024 Connected State Protocol: ConnectionClose",
     kConnectionClose},
    {kRouteUpdateProtocol, 0x00, "C.S0024 Route Update Protocol: RouteUpdate", kRouteUpdate},
    {kRouteUpdateProtocol, 0x01, "C.S0024 Route Update Protocol: TrafficChannelAssignment",
     kTrafficChannelAssignment},
};

}  // namespace

Layout EvdoRecordHeader() { return kRecordHeader; }
Layout EvdoMessageHeader() { return kMessageHeader; }
std::span<const EvdoLayout> EvdoLayouts() { return kLayouts; }

bool IsEvdo(uint16_t logCode) {
  return (logCode >= 0x1076 && logCode <= 0x1079) || logCode == 0x107C;
}

void DecodeEvdo(std::span<const uint8_t> logged, DecodedMessage& out) {
  const int32_t size = static_cast<int32_t>(logged.size());
  MessageBits bits(logged.data(), size, kLoggedBodyOffset, size);
  LayoutRunner runner(bits, std::nullopt);
  if (!runner.Run(EvdoRecordHeader(), out.fields)) {
    out.status = DecodedMessage::Status::kTruncated;
    return;
  }
  // A record may carry its header alone (a message length of 0).
  const int32_t length = static_cast<int32_t>(runner.Value("MESSAGE_LENGTH"));
  if (length == 0) {
    out.status = DecodedMessage::Status::kComplete;
    return;
  }
  const int32_t end = bits.position() / 8 + length;
  if (end > size) {
    bits.Limit(size, "MESSAGE_LENGTH says " + std::to_string(length) + " octets, " +
                         std::to_string(size - bits.position() / 8) + " logged");
  } else {
    bits.Limit(end, "the message ends at MESSAGE_LENGTH (" + std::to_string(length) + " octets)");
  }
  if (!runner.Run(kMessageHeader, out.fields)) {
    out.status = DecodedMessage::Status::kTruncated;
    return;
  }
  const uint8_t protocol = static_cast<uint8_t>(runner.Value("PROTOCOL_TYPE") & 0x7F);
  const uint8_t messageId = static_cast<uint8_t>(runner.Value("MessageID"));
  out.message = Layer3MessageName(Layer3MessageCode(logged));
  out.status = DecodedMessage::Status::kNoLayout;
  for (const EvdoLayout& layout : kLayouts) {
    if (layout.protocolType != protocol || layout.messageId != messageId) continue;
    out.reference = layout.reference;
    const bool ok = runner.Run(layout.body, out.fields);
    out.status = ok ? DecodedMessage::Status::kComplete : DecodedMessage::Status::kTruncated;
  }
}

}  // namespace wendrake
