// Configuration tables a host may hand over.
#pragma once

#include <cstdint>

namespace wendrake {

enum ConfigurationType : int { kFilterConfiguration = 1, kScaleConfiguration = 2 };

// Checks a configuration buffer (int32 count N, then N entries of 8 bytes,
// size exactly N * 8 + 4, N at most 100) and prints the type's message when
// it is malformed. The entries influence nothing. `buffer` is not null.
bool CheckConfiguration(int type, const uint8_t* buffer, int size);

}  // namespace wendrake
