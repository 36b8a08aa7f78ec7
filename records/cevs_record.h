// Decoder of "CEVS" records: the handset's EV-DO protocol states.
#pragma once

#include <string_view>

#include "records/record_context.h"

namespace wendrake {

// Stores the state columns into their parameters (no XML elements), derives
// the EV-DO state word from them, reports it as WENDRAKE_PARAM_EVDO_STATE
// and drops the parameter sets that lapse in the new state. Always true.
bool DecodeCevsRecord(const RecordContext& line, std::string_view lineText,
                      SignallingState& state);

}  // namespace wendrake
