// The chip module types a decoder object accepts.
#pragma once

#include "wendrake/wendrake.h"

namespace wendrake {

inline constexpr int kModuleTypes[] = {WENDRAKE_MODULE_B101, WENDRAKE_MODULE_B200,
                                       WENDRAKE_MODULE_B20A, WENDRAKE_MODULE_B20B,
                                       WENDRAKE_MODULE_BD00};

constexpr bool IsKnownModuleType(int moduleType) {
  for (int known : kModuleTypes) {
    if (known == moduleType) return true;
  }
  return false;
}

}  // namespace wendrake
