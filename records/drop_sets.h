// Parameter sets that lapse together when the handset changes state.
#pragma once

#include "params/param_registry.h"

namespace wendrake {

// 1x radio and RLP parameters dropped when a layer-3 message ends 1x traffic.
const ParamSet& OneXSet();
// Ec/Io parameters dropped when the handset is not in hybrid mode.
const ParamSet& HybridSet();
// 1x traffic parameters dropped when the EV-DO connection opens.
const ParamSet& OneXTrafficSet();
// EV-DO traffic parameters dropped when the EV-DO session goes inactive.
const ParamSet& EvdoSet();

}  // namespace wendrake
