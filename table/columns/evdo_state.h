// What the EV-DO side of a hybrid handset is doing, read from the state word
// the decoder keeps (WENDRAKE_PARAM_EVDO_STATE), and how long it does it.
// Every tool and binding takes the state from here, so that "connected"
// means one thing in every report.
#pragma once

#include <cstdint>
#include <string_view>

#include "wendrake/table.h"

namespace wendrake {

inline constexpr int32_t kNoEvdoState = -1;

// The state word's values are the states: 0 when EV-DO is not in use (the
// handset is on a 1x traffic channel, or its EV-DO side sleeps with route
// updates closed), 1 in an EV-DO session without a connection (monitoring
// the control channel, or setting a connection up), 2 with a connection open.
inline constexpr std::string_view kEvdoStateNames[WENDRAKE_EVDO_STATE_COUNT] = {"inactive", "idle", "connected"};

// The state a stored state word stands for, or kNoEvdoState.
constexpr int32_t EvdoStateOfWord(int32_t word) {
  return word >= 0 && word < WENDRAKE_EVDO_STATE_COUNT ? word : kNoEvdoState;
}

// Adds rows of a table to a tally. A change is a row whose state differs
// from the state before it (the first state is none); the time from one
// clocked row to the next clocked row counts to the state at the first, and
// a clock that goes back adds no time.
void AddEvdoRows(const int32_t* states, const int64_t* clockMs, int64_t rows, WendrakeEvdoTally* tally);

}  // namespace wendrake
