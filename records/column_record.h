// Decoder of the column-shaped records ("DM", "SC", ..., "EVT").
#pragma once

#include <string_view>

#include "records/record_context.h"

namespace wendrake {

// Stores every mapped, non-empty column into its parameter (decimal values
// scaled; "EVT" values hexadecimal and unscaled) and writes one XML element
// per non-empty column. Fields equal to the record token are skipped wherever
// they stand; fields past column 59 are ignored. Always true.
bool DecodeColumnRecord(const RecordContext& line, std::string_view lineText);

}  // namespace wendrake
