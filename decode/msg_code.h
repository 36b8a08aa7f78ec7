// Message code and direction of report items.
#pragma once

#include <cstdint>

#include "wendrake/wendrake.h"

namespace wendrake {

// Code of a data line: the module type in the high half and a fixed value per
// record type; layer-3 records decode their record; events take 0xEE00 and the
// low half of the event value.
uint32_t MakeMsgCode(int32_t recordType, int32_t moduleType, const ReportItem& current);

// 1 for the uplink signalling log codes, 0 for the downlink ones, 2 otherwise.
uint16_t MakeMsgDirection(uint32_t msgCode);

}  // namespace wendrake
