// Decoder of "CL3" records: one layer-3 signalling message in hexadecimal.
#pragma once

#include <string_view>

#include "records/record_context.h"

namespace wendrake {

// Turns field 3 into message bytes, puts the record into the raw block and the
// message body into the text block, and lets the handler of the message's
// category advance the layer-3 state words. True when field 3 is empty or a
// handler ran; false when the log code, category (field 2) or length word do
// not match, so the line yields no item.
bool DecodeCl3Record(const RecordContext& line, std::string_view lineText,
                     SignallingState& state);

}  // namespace wendrake
