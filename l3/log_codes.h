// The layer-3 log codes a "CL3" record may carry: one table for the record
// decoder's category check and for the direction of their items.
#pragma once

#include <cstdint>

#include "wendrake/wendrake.h"

namespace wendrake {

// The 1x channels' log codes, by name.
inline constexpr uint16_t kLogCodeAccess = 0x1004;
inline constexpr uint16_t kLogCodeReverseTraffic = 0x1005;
inline constexpr uint16_t kLogCodeSync = 0x1006;
inline constexpr uint16_t kLogCodePaging = 0x1007;
inline constexpr uint16_t kLogCodeForwardTraffic = 0x1008;

struct LogCodeInfo {
  uint16_t code;
  int category;        // the value field 2 of a "CL3" line gives for this code
  uint16_t direction;  // WENDRAKE_DIRECTION_UPLINK or _DOWNLINK
};

inline constexpr LogCodeInfo kLogCodes[] = {
    {0x1004, 0, WENDRAKE_DIRECTION_UPLINK},   {0x1007, 1, WENDRAKE_DIRECTION_DOWNLINK},
    {0x1005, 2, WENDRAKE_DIRECTION_UPLINK},   {0x1008, 3, WENDRAKE_DIRECTION_DOWNLINK},
    {0x1006, 4, WENDRAKE_DIRECTION_DOWNLINK}, {0x1076, 5, WENDRAKE_DIRECTION_UPLINK},
    {0x1077, 6, WENDRAKE_DIRECTION_UPLINK},   {0x1079, 7, WENDRAKE_DIRECTION_DOWNLINK},
    {0x1078, 8, WENDRAKE_DIRECTION_DOWNLINK}, {0x107C, 9, WENDRAKE_DIRECTION_DOWNLINK},
};

// The entry of a log code, or null when "CL3" records do not carry it.
constexpr const LogCodeInfo* FindLogCode(uint16_t code) {
  for (const LogCodeInfo& info : kLogCodes) {
    if (info.code == code) return &info;
  }
  return nullptr;
}

// Categories are the table's positions, so a category finds its code at once.
constexpr bool CategoriesArePositions() {
  for (int i = 0; i < static_cast<int>(sizeof kLogCodes / sizeof kLogCodes[0]); ++i) {
    if (kLogCodes[i].category != i) return false;
  }
  return true;
}
static_assert(CategoriesArePositions());

}  // namespace wendrake
