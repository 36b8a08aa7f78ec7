// Decoder of "CEVS" records: the handset's EV-DO protocol states.
#pragma once

#include <string_view>

namespace wendrake {

class LineDecoder;

// Stores the state columns into their parameters (no XML elements), derives
// the EV-DO state word from them, reports it as 0x7F01C103 and drops the
// parameter sets that lapse in the new state. Always true.
bool DecodeCevsRecord(LineDecoder& decoder, std::string_view lineText);

}  // namespace wendrake
