// The fixed scales of decode parameters.
#pragma once

#include <cstdint>

namespace wendrake {

// Factor (1, 100 or 1000) by which a logged decimal value of the parameter is
// multiplied before it is stored in its slot.
int32_t ParamScale(uint32_t paramId);

// ParamScale of the parameter in a slot, from a table built once.
int32_t SlotScale(int slotIndex);

}  // namespace wendrake
