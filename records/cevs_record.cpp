#include "records/cevs_record.h"

#include "api/configuration.h"
#include "core/c_numbers.h"
#include "core/line_decoder.h"
#include "records/column_walk.h"
#include "records/drop_sets.h"

namespace wendrake {
namespace {

constexpr int kAtStateSlot = 85;        // 0x7F018302 "AT_State"
constexpr int kIdleStateSlot = 88;      // 0x7F018305 "Idle_State"
constexpr int kRouteUpdateSlot = 91;    // 0x7F018308 "Route_Update_State"
constexpr int kHybridModeSlot = 92;     // 0x7F018309 "HDR_HybridMode_State"
constexpr SlotRef kStateWordSlot = SlotRefOf(276);  // 0x7F01C103

// The state word after a line with access-terminal state `at` and idle state
// `idle`: 0 inactive, 1 idle or connection setup, 2 connected.
uint16_t NextStateWord(uint16_t word, uint8_t at, uint8_t idle, int32_t routeUpdate) {
  switch (at) {
    case 3:
      if (idle <= 2) return routeUpdate <= 1 ? 0 : word;
      return idle == 3 ? 1 : word;
    case 4:
      return (idle == 1 || idle == 3) ? 1 : word;
    case 5:
      return 2;
    default:
      return word;
  }
}

// Ec/Io lapses too when the handset is not in hybrid mode.
void DropWithHybrid(LineDecoder& decoder, const ParamSet& set) {
  if (decoder.cevsState == 0) decoder.params.DropParam(&decoder.current, HybridSet());
  decoder.params.DropParam(&decoder.current, set);
}

}  // namespace

bool DecodeCevsRecord(LineDecoder& decoder, std::string_view lineText) {
  ReportItem& current = decoder.current;
  const uint16_t start = decoder.params.seenCount();
  uint8_t k = 0;

  WalkColumns(decoder, lineText, [&](int, std::string_view field, int32_t slotRef) {
    if (slotRef == kNoSlot) return;
    const SlotRef ref = static_cast<SlotRef>(slotRef);
    decoder.params.SetParam(&current, ref, ScaledValue(field, SlotScale(SlotIndexOf(ref))), &k);
  });

  const ParamSlot* slots = current.paramSlots;
  decoder.cevsState = slots[kHybridModeSlot].value;
  const uint8_t at = static_cast<uint8_t>(slots[kAtStateSlot].value);
  const uint8_t idle = static_cast<uint8_t>(slots[kIdleStateSlot].value);
  uint16_t& word = decoder.layer3State[1];
  word = NextStateWord(word, at, idle, slots[kRouteUpdateSlot].value);
  decoder.params.SetParam(&current, kStateWordSlot, word, &k);

  current.curParamCount = k;
  decoder.params.SettleInheritList(&current, start, k);
  if (at == 5) DropWithHybrid(decoder, OneXTrafficSet());
  if (word == 0) DropWithHybrid(decoder, EvdoSet());
  return true;
}

}  // namespace wendrake
