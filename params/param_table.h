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

// Consecutive parameter identifiers in slot order. The 0x7F010191 block
// follows the 0x7F0102xx block, not the 0x7F0101xx one.
struct IdBlock {
  uint32_t first;
  int count;
};
inline constexpr IdBlock kIdBlocks[] = {
    {0x7F010001, 25}, {0x7F010101, 12}, {0x7F010201, 6},  {0x7F010191, 11}, {0x7F018001, 16},
    {0x7F018101, 7},  {0x7F018201, 7},  {0x7F018301, 12}, {0x7F018401, 8},  {0x7F018501, 15},
    {0x7F019101, 14}, {0x7F019201, 7},  {0x7F019301, 7},  {0x7F019401, 9},  {0x7F019501, 15},
    {0x7F01A101, 14}, {0x7F01A201, 7},  {0x7F01A301, 7},  {0x7F01A401, 9},  {0x7F01A501, 15},
    {0x7F01B101, 14}, {0x7F01B201, 7},  {0x7F01B301, 7},  {0x7F01B401, 9},  {0x7F01B501, 15},
    {WENDRAKE_PARAM_L3_STATE, 3},
};

// ParamId of each slot, in slot order.
extern const std::array<uint32_t, kParamCount> kSlotParamIds;

// Slot index of a ParamId, or -1 when no slot holds it.
constexpr int SlotOfParam(uint32_t paramId) {
  int slot = 0;
  for (const IdBlock& block : kIdBlocks) {
    if (paramId >= block.first && paramId < block.first + static_cast<uint32_t>(block.count)) {
      return slot + static_cast<int>(paramId - block.first);
    }
    slot += block.count;
  }
  return -1;
}

// Slot reference of a parameter that has a slot, for decoders that name a
// parameter by its identifier; a compile error when used in a constant
// expression on an identifier without one.
constexpr SlotRef SlotRefOfParam(uint32_t paramId) {
  const int slot = SlotOfParam(paramId);
  if (slot < 0) throw "parameter without a slot";
  return SlotRefOf(slot);
}

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
