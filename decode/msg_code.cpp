#include "decode/msg_code.h"

#include "l3/l3_msg_code.h"
#include "l3/log_codes.h"
#include "params/param_table.h"
#include "params/record_type.h"

namespace wendrake {
namespace {

constexpr int kEventSlot = SlotOfParam(WENDRAKE_PARAM_EVENT);
static_assert(kEventSlot >= 0);

// Low half of the code of each record type; 0 where the line yields no item.
constexpr uint16_t kRecordCodes[22] = {
    0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0,      0x2007, 0x2008, 0x2009, 0,
    0x200A, 0x200B, 0,      0,      0,      0,      0,      0,      0,      0,      0x200D,
};

}  // namespace

uint32_t MakeMsgCode(int32_t recordType, int32_t moduleType, const ReportItem& current) {
  const uint32_t module = static_cast<uint32_t>(moduleType) << 16;
  if (recordType == kRecordCL3) {
    return MakeL3MsgCode(current.raw, static_cast<int32_t>(current.rawLength), moduleType);
  }
  if (recordType == kRecordEVT) {
    const uint32_t event = static_cast<uint32_t>(current.paramSlots[kEventSlot].value);
    return 0xEE000000u | (event & 0xFFFFu);
  }
  if (recordType < 0 || recordType >= 22) return module;
  return module | kRecordCodes[recordType];
}

uint16_t MakeMsgDirection(uint32_t msgCode) {
  const LogCodeInfo* logCode = FindLogCode(static_cast<uint16_t>(msgCode >> 16));
  return logCode != nullptr ? logCode->direction : uint16_t{WENDRAKE_DIRECTION_NONE};
}

}  // namespace wendrake
