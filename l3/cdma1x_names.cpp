// Names of 1x layer-3 message types and orders, per 3GPP2 C.S0005.
#include <cstdint>
#include <span>
#include <string_view>

#include "l3/log_codes.h"
#include "l3/message_names.h"
#include "l3/name_table.h"

namespace wendrake {

namespace {

// C.S0005 Table 3.7.1.3-1, Sync Channel Messages (MSG_TYPE).
constexpr NameEntry kSyncTypes[] = {
    {0x01, "Sync Channel Message"},
};

// C.S0005 Table 3.7.2.3-1, f-csch Messages (MSG_TYPE), as sent on the
// Paging Channel.
constexpr NameEntry kPagingTypes[] = {
    {0x01, "System Parameters Message"},
    {0x02, "Access Parameters Message"},
    {0x03, "Neighbor List Message"},
    {0x04, "CDMA Channel List Message"},
    {0x05, "Slotted Page Message"},
    {0x06, "Page Message"},
    {0x07, "Order Message"},
    {0x08, "Channel Assignment Message"},
    {0x09, "Data Burst Message"},
    {0x0A, "Authentication Challenge Message"},
    {0x0B, "SSD Update Message"},
    {0x0C, "Feature Notification Message"},
    {0x0D, "Extended System Parameters Message"},
    {0x0E, "Extended Neighbor List Message"},
    {0x0F, "Status Request Message"},
    {0x10, "Service Redirection Message"},
    {0x11, "General Page Message"},
    {0x12, "Global Service Redirection Message"},
    {0x13, "TMSI Assignment Message"},
    {0x14, "PACA Message"},
    {0x15, "Extended Channel Assignment Message"},
    {0x16, "General Neighbor List Message"},
    {0x17, "User Zone Identification Message"},
    {0x18, "Private Neighbor List Message"},
    {0x1A, "Extended Global Service Redirection Message"},
    {0x1B, "Extended CDMA Channel List Message"},
    {0x1C, "User Zone Reject Message"},
    {0x1D, "ANSI-41 System Parameters Message"},
    {0x1E, "MC-RR Parameters Message"},
    {0x1F, "ANSI-41 RAND Message"},
    {0x20, "Enhanced Access Parameters Message"},
    {0x21, "Universal Neighbor List Message"},
    {0x22, "Security Mode Command Message"},
    {0x23, "Universal Page Message"},
    {0x2C, "Authentication Request Message"},
    {0x2E, "MEID Extended Channel Assignment Message"},
    {0x2F, "Alternative Technologies Information Message"},
};

// C.S0005 Table 2.7.1.3-1, r-csch Messages (MSG_TYPE), as sent on the
// Access Channel.
constexpr NameEntry kAccessTypes[] = {
    {0x01, "Registration Message"},
    {0x02, "Order Message"},
    {0x03, "Data Burst Message"},
    {0x04, "Origination Message"},
    {0x05, "Page Response Message"},
    {0x06, "Authentication Challenge Response Message"},
    {0x07, "Status Response Message"},
    {0x08, "TMSI Assignment Completion Message"},
    {0x09, "PACA Cancel Message"},
    {0x0A, "Extended Status Response Message"},
    {0x0D, "Device Information Message"},
    {0x0E, "Security Mode Request Message"},
    {0x15, "Authentication Response Message"},
    {0x16, "Authentication Resynchronization Message"},
    {0x17, "Reconnect Message"},
    {0x18, "Radio Environment Message"},
};

// C.S0005 Table 3.7.3.3-1, f-dsch Messages (MSG_TYPE), as sent on the
// Forward Traffic Channel.
constexpr NameEntry kForwardTrafficTypes[] = {
    {0x01, "Order Message"},
    {0x02, "Authentication Challenge Message"},
    {0x03, "Alert With Information Message"},
    {0x04, "Data Burst Message"},
    {0x05, "Handoff Direction Message"},
    {0x06, "Analog Handoff Direction Message"},
    {0x07, "In-Traffic System Parameters Message"},
    {0x08, "Neighbor List Update Message"},
    {0x09, "Send Burst DTMF Message"},
    {0x0A, "Power Control Parameters Message"},
    {0x0B, "Retrieve Parameters Message"},
    {0x0C, "Set Parameters Message"},
    {0x0D, "SSD Update Message"},
    {0x0E, "Flash With Information Message"},
    {0x0F, "Mobile Station Registered Message"},
    {0x10, "Status Request Message"},
    {0x11, "Extended Handoff Direction Message"},
    {0x12, "Service Request Message"},
    {0x13, "Service Response Message"},
    {0x14, "Service Connect Message"},
    {0x15, "Service Option Control Message"},
    {0x16, "TMSI Assignment Message"},
    {0x17, "Service Redirection Message"},
    {0x18, "Supplemental Channel Assignment Message"},
    {0x19, "Power Control Message"},
    {0x1A, "Extended Neighbor List Update Message"},
    {0x1B, "Candidate Frequency Search Request Message"},
    {0x1C, "Candidate Frequency Search Control Message"},
    {0x1D, "Power Up Function Message"},
    {0x1E, "Power Up Function Completion Message"},
    {0x1F, "General Handoff Direction Message"},
    {0x20, "Resource Allocation Message"},
    {0x21, "Extended Release Message"},
    {0x22, "Universal Handoff Direction Message"},
    {0x23, "Extended Supplemental Channel Assignment Message"},
    {0x24, "Mobile Assisted Burst Operation Parameters Message"},
    {0x25, "User Zone Reject Message"},
    {0x26, "User Zone Update Message"},
    {0x27, "Call Assignment Message"},
    {0x28, "Extended Alert With Information Message"},
    {0x2A, "Extended Flash With Information Message"},
    {0x2B, "Security Mode Command Message"},
    {0x31, "Base Station Status Response Message"},
    {0x32, "Authentication Request Message"},
    {0x33, "Rate Change Message"},
    {0x35, "MEID Universal Handoff Direction Message"},
};

// C.S0005 Table 2.7.2.3-1, r-dsch Messages (MSG_TYPE), as sent on the
// Reverse Traffic Channel.
constexpr NameEntry kReverseTrafficTypes[] = {
    {0x01, "Order Message"},
    {0x02, "Authentication Challenge Response Message"},
    {0x03, "Flash With Information Message"},
    {0x04, "Data Burst Message"},
    {0x05, "Pilot Strength Measurement Message"},
    {0x06, "Power Measurement Report Message"},
    {0x07, "Send Burst DTMF Message"},
    {0x08, "Status Message"},
    {0x09, "Origination Continuation Message"},
    {0x0A, "Handoff Completion Message"},
    {0x0B, "Parameters Response Message"},
    {0x0C, "Service Request Message"},
    {0x0D, "Service Response Message"},
    {0x0E, "Service Connect Completion Message"},
    {0x0F, "Service Option Control Message"},
    {0x10, "Status Response Message"},
    {0x11, "TMSI Assignment Completion Message"},
    {0x12, "Supplemental Channel Request Message"},
    {0x13, "Candidate Frequency Search Response Message"},
    {0x14, "Candidate Frequency Search Report Message"},
    {0x15, "Periodic Pilot Strength Measurement Message"},
    {0x16, "Outer Loop Report Message"},
    {0x17, "Resource Request Message"},
    {0x18, "Extended Release Response Message"},
    {0x1A, "Enhanced Origination Message"},
    {0x1B, "Extended Flash With Information Message"},
    {0x1C, "Extended Pilot Strength Measurement Message"},
    {0x1D, "Extended Handoff Completion Message"},
    {0x1E, "Resource Release Request Message"},
    {0x1F, "Security Mode Request Message"},
    {0x22, "User Zone Update Request Message"},
    {0x23, "Call Cancel Message"},
    {0x24, "Device Information Message"},
    {0x28, "Base Station Status Request Message"},
    {0x29, "CDMA Off Time Report Message"},
    {0x2A, "Authentication Resynchronization Message"},
    {0x2B, "Authentication Response Message"},
};

// Order sub-codes are 4 x ORDER, plus a variant picked from the order's
// qualifier (ORDQ) or additional record length on some channels, so a
// sub-code names one order only where the variants separate the ORDQ values
// the standard gives that ORDER. Where one sub-code still covers orders of
// different names it gets a generic name instead of a guess.

// C.S0005 Table 2.7.3-1, Order and Order Qualification Codes Used on the
// r-csch and the r-dsch: the orders both reverse channels name alike.
constexpr NameEntry kReverseOrders[] = {
    {0x08, "Base Station Challenge Order"},                 // ORDER 000010
    {0x0C, "Order (sub-code 0x0C)"},  // 000011 without ORDQ: neither SSD order
    {0x0D, "Order (sub-code 0x0D)"},  // 000011: SSD Update Confirmation or Rejection
    {0x14, "Parameter Update Confirmation Order"},          // 000101
    {0x2C, "Order (sub-code 0x2C)"},  // 001011: analog service requests; the
                                      // ORDQ of each name is not confirmed here
    {0x2D, "Order (sub-code 0x2D)"},
    {0x2E, "Order (sub-code 0x2E)"},
    {0x40, "Mobile Station Acknowledgment Order"},          // 010000
    {0x4C, "Service Option Request Order"},                 // 010011
    {0x50, "Service Option Response Order"},                // 010100
    {0x54, "Release Order"},                                // 010101
    {0x60, "Connect Order"},                                // 011000
    {0x64, "Continuous DTMF Tone Order"},                   // 011001
    {0x74, "Service Option Control Order"},                 // 011101
    {0x78, "Local Control Response Order"},                 // 011110
    {0x7C, "Mobile Station Reject Order"},                  // 011111
};

// ORDER 010111 (same table): ORDQ 0 and 1 make the Long Code Transition
// Request Order, 2 and 3 the Response Order. Only on the Reverse Traffic
// Channel does the sub-code keep them apart.
constexpr NameEntry kReverseTrafficOwnOrders[] = {
    {0x5C, "Long Code Transition Request Order"},
    {0x5E, "Long Code Transition Response Order"},
};
constexpr NameEntry kAccessOwnOrders[] = {
    {0x5C, "Order (sub-code 0x5C)"},
};

// C.S0005 Table 3.7.4-1, Order and Order Qualification Codes Used on the
// f-csch and the f-dsch: the orders both forward channels name alike.
constexpr NameEntry kForwardOrders[] = {
    {0x04, "Abbreviated Alert Order"},                      // ORDER 000001
    {0x08, "Order (sub-code 0x08)"},  // 000010 and 010111 share it: Base Station
                                      // Challenge Confirmation or Long Code Transition
    {0x0C, "Message Encryption Mode Order"},                // 000011
    {0x10, "Reorder Order"},                                // 000100
    {0x14, "Parameter Update Order"},                       // 000101
    {0x18, "Audit Order"},                                  // 000110
    {0x24, "Intercept Order"},                              // 001001
    {0x28, "Maintenance Order"},                            // 001010
    {0x40, "Base Station Acknowledgment Order"},            // 010000
    {0x49, "Order (sub-code 0x49)"},  // 010010, ORDQ 0001xxxx or 11111111:
                                      // Lock Until Power-Cycled or Unlock
    {0x4A, "Maintenance Required Order"},                   // 010010, ORDQ 0010xxxx
    {0x4C, "Service Option Request Order"},                 // 010011
    {0x50, "Service Option Response Order"},                // 010100
    {0x54, "Release Order"},                                // 010101
    {0x64, "Continuous DTMF Tone Order"},                   // 011001
    {0x68, "Status Request Order"},                         // 011010
};

// ORDER 011011 (same table): ORDQ 0 Registration Accepted, 1 Registration
// Request, 2 Registration Rejected, 4 Registration Rejected (delete TMSI),
// 5 and 7 Registration Accepted with further fields. The Paging Channel
// sub-code separates ORDQ 1 and 2 (one-byte record); the rest share 0x6C.
// ORDER 010001 (same table): Pilot Measurement Request Order or Periodic
// Pilot Measurement Request Order; on the Paging Channel both give 0x44.
constexpr NameEntry kPagingOwnOrders[] = {
    {0x44, "Order (sub-code 0x44)"},
    {0x6C, "Order (sub-code 0x6C)"},
    {0x6D, "Registration Request Order"},
    {0x6E, "Registration Rejected Order"},
};

// On the Forward Traffic Channel a bare ORDER 010001 (no order-specific
// fields) is the Pilot Measurement Request Order, since the Periodic one
// always carries fields; with fields it may be either. Every registration
// order gives 0x6C here.
constexpr NameEntry kForwardTrafficOwnOrders[] = {
    {0x44, "Pilot Measurement Request Order"},
    {0x45, "Order (sub-code 0x45)"},
    {0x6C, "Order (sub-code 0x6C)"},
};

std::span<const NameEntry> MessageTypes(uint16_t logCode) {
  switch (logCode) {
    case kLogCodeAccess: return kAccessTypes;
    case kLogCodeReverseTraffic: return kReverseTrafficTypes;
    case kLogCodeSync: return kSyncTypes;
    case kLogCodePaging: return kPagingTypes;
    case kLogCodeForwardTraffic: return kForwardTrafficTypes;
    default: return {};
  }
}

}  // namespace

std::string_view Cdma1xMessageTypeName(uint16_t logCode, uint8_t msgType) {
  return FindName(MessageTypes(logCode), msgType);
}

bool IsCdma1xOrderMessage(uint16_t logCode, uint8_t msgType) {
  switch (logCode) {
    case kLogCodeAccess: return msgType == 0x02;
    case kLogCodeReverseTraffic: return msgType == 0x01;
    case kLogCodePaging: return msgType == 0x07;
    case kLogCodeForwardTraffic: return msgType == 0x01;
    default: return false;
  }
}

std::string_view Cdma1xOrderName(uint16_t logCode, uint8_t subCode) {
  switch (logCode) {
    case kLogCodeAccess: {
      const std::string_view name = FindName(kReverseOrders, subCode);
      return name.empty() ? FindName(kAccessOwnOrders, subCode) : name;
    }
    case kLogCodeReverseTraffic: {
      const std::string_view name = FindName(kReverseOrders, subCode);
      return name.empty() ? FindName(kReverseTrafficOwnOrders, subCode) : name;
    }
    case kLogCodePaging: {
      const std::string_view name = FindName(kForwardOrders, subCode);
      return name.empty() ? FindName(kPagingOwnOrders, subCode) : name;
    }
    case kLogCodeForwardTraffic: {
      const std::string_view name = FindName(kForwardOrders, subCode);
      return name.empty() ? FindName(kForwardTrafficOwnOrders, subCode) : name;
    }
    default:
      return {};
  }
}

}  // namespace wendrake
