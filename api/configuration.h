// Configuration tables a host may hand over, and the fixed parameter scales.
#pragma once

#include <cstdint>

namespace wendrake {

// Factor (1, 100 or 1000) by which a logged decimal value of the parameter is
// multiplied before it is stored in its slot.
int32_t ParamScale(uint32_t paramId);

// ParamScale of the parameter in a slot, from a table built once.
int32_t SlotScale(int slotIndex);

enum ConfigurationType : int { kFilterConfiguration = 1, kScaleConfiguration = 2 };

// Checks a configuration buffer (int32 count N, then N entries of 8 bytes,
// size exactly N * 8 + 4, N at most 100) and prints the type's message when
// it is malformed. The entries influence nothing. `buffer` is not null.
bool CheckConfiguration(int type, const uint8_t* buffer, int size);

}  // namespace wendrake
