#include "records/drop_sets.h"

namespace wendrake {

const ParamSet& OneXSet() {
  static const ParamSet set = ParamSet()
                                  .AddRange(0x7F010002, 0x7F010004)
                                  .AddRange(0x7F010006, 0x7F010006)
                                  .AddRange(0x7F010101, 0x7F01010C)
                                  .AddRange(0x7F010201, 0x7F010206);
  return set;
}

const ParamSet& HybridSet() {
  static const ParamSet set = ParamSet().AddRange(0x7F01000C, 0x7F01000E);
  return set;
}

const ParamSet& OneXTrafficSet() {
  static const ParamSet set =
      ParamSet().AddRange(0x7F010101, 0x7F01010C).AddRange(0x7F010201, 0x7F010206);
  return set;
}

const ParamSet& EvdoSet() {
  static const ParamSet set = [] {
    ParamSet evdo;
    evdo.AddRange(0x7F018003, 0x7F018006)
        .AddRange(0x7F018009, 0x7F01800B)
        .AddRange(0x7F018101, 0x7F018107)
        .AddRange(0x7F018201, 0x7F018207)
        .AddRange(0x7F018401, 0x7F018408)
        .AddRange(0x7F018501, 0x7F018509);
    // The three carrier groups have the same shape.
    for (uint32_t group : {0x7F019000u, 0x7F01A000u, 0x7F01B000u}) {
      evdo.AddRange(group + 0x103, group + 0x106)
          .AddRange(group + 0x109, group + 0x10B)
          .AddRange(group + 0x301, group + 0x307)
          .AddRange(group + 0x402, group + 0x409)
          .AddRange(group + 0x501, group + 0x509);
    }
    return evdo;
  }();
  return set;
}

}  // namespace wendrake
