// The decode parameters every report item carries: 278 scalar slots in a
// fixed order and 40 structured records.
#pragma once

#include <array>
#include <cstdint>

#include "wendrake/wendrake.h"

namespace wendrake {

constexpr int kParamCount = WENDRAKE_PARAM_COUNT;
constexpr int kStructParamCount = WENDRAKE_STRUCT_PARAM_COUNT;
constexpr uint16_t kSlotSize = sizeof(ParamSlot);

// Lists and the column map refer to a slot by its byte offset within
// paramSlots, never by pointer, because items travel by value.
using SlotRef = uint16_t;
constexpr SlotRef SlotRefOf(int slotIndex) { return static_cast<SlotRef>(slotIndex * kSlotSize); }
constexpr int SlotIndexOf(SlotRef ref) { return ref / kSlotSize; }

// ParamId of each slot, in slot order.
extern const std::array<uint32_t, kParamCount> kSlotParamIds;

// Slot index of a ParamId, or -1 when no slot holds it.
int SlotOfParam(uint32_t paramId);

struct StructParamInfo {
  uint32_t paramId;
  uint32_t payloadSize;
};
// The structured parameters in their order within structParams.
extern const std::array<StructParamInfo, kStructParamCount> kStructParams;

// Fills the parameter part of a fresh item: every slot without a value, both
// lists empty, the structured records with zeroed payloads.
void InitParamArea(ReportItem* item);

}  // namespace wendrake
