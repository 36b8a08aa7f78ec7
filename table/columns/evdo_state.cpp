#include "table/columns/evdo_state.h"

#include "table/columns/item_table.h"

namespace wendrake {

void AddEvdoRows(const int32_t* states, const int64_t* clockMs, int64_t rows, WendrakeEvdoTally* tally) {
  // A tally that was never started holds anything: its states are checked
  // before they index the durations.
  if (EvdoStateOfWord(tally->state) == kNoEvdoState) tally->state = kNoEvdoState;
  if (EvdoStateOfWord(tally->clockState) == kNoEvdoState) tally->clockState = kNoEvdoState;
  for (int64_t row = 0; row < rows; ++row) {
    const int32_t state = states[row];
    if (state != kNoEvdoState && tally->state != kNoEvdoState && state != tally->state) ++tally->changes;
    if (state != kNoEvdoState) tally->state = state;
    const int64_t clock = clockMs[row];
    if (clock == ItemTable::kNoClock) continue;
    if (tally->clockState != kNoEvdoState && tally->clockMs != ItemTable::kNoClock && clock > tally->clockMs) {
      tally->seconds[tally->clockState] += static_cast<double>(clock - tally->clockMs) / 1000;
    }
    // A clock that went back restarts the count from there.
    tally->clockMs = clock;
    tally->clockState = tally->state;
  }
}

}  // namespace wendrake
