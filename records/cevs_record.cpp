#include "records/cevs_record.h"

#include "params/known_columns.h"
#include "params/param_scales.h"
#include "records/column_walk.h"
#include "records/drop_sets.h"
#include "text/c_numbers.h"

namespace wendrake {
namespace {

// The state columns the state word follows.
constexpr SlotRef StateColumn(std::string_view name) {
  return SlotRefOfParam(KnownColumnParam(kRecordCEVS, name));
}
constexpr SlotRef kAtState = StateColumn("AT_State");
constexpr SlotRef kIdleState = StateColumn("Idle_State");
constexpr SlotRef kRouteUpdateState = StateColumn("Route_Update_State");
constexpr SlotRef kHybridModeState = StateColumn("HDR_HybridMode_State");
constexpr SlotRef kStateWord = SlotRefOfParam(WENDRAKE_PARAM_EVDO_STATE);

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
void DropWithHybrid(const RecordContext& line, const SignallingState& state, const ParamSet& set) {
  if (state.hybridMode == 0) line.params.Drop(HybridSet());
  line.params.Drop(set);
}

}  // namespace

bool DecodeCevsRecord(const RecordContext& line, std::string_view lineText,
                      SignallingState& state) {
  ParamRegistry& params = line.params;
  WalkColumns(line, lineText, [&](int, std::string_view field, int32_t slotRef) {
    if (slotRef == kNoSlot) return;
    const SlotRef ref = static_cast<SlotRef>(slotRef);
    params.Set(ref, ScaledValue(field, SlotScale(SlotIndexOf(ref))));
  });

  state.hybridMode = params.Value(kHybridModeState);
  const uint8_t at = static_cast<uint8_t>(params.Value(kAtState));
  const uint8_t idle = static_cast<uint8_t>(params.Value(kIdleState));
  state.evdo = NextStateWord(state.evdo, at, idle, params.Value(kRouteUpdateState));
  params.Set(kStateWord, state.evdo);

  params.Settle();
  if (at == 5) DropWithHybrid(line, state, OneXTrafficSet());
  if (state.evdo == 0) DropWithHybrid(line, state, EvdoSet());
  return true;
}

}  // namespace wendrake
