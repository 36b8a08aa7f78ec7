// Writes a decoded message as JSON or as plain text, for the tools.
#pragma once

#include <string>
#include <vector>

#include "fields/field.h"

namespace wendrake {

// One JSON object: {"channel", "message", "reference", "status", "fields"},
// where "fields" is an object of the fields in order. A field with neither
// unit nor name is its raw integer; one with a real value, a name or octets
// is an object {"raw", "value", "unit", "name", "hex"} of what applies; a
// repeated record is an array of objects; the marker is
// "<truncated>": {"bit": N, "reason": "..."}. A name met again in the same
// object gets "#2", "#3"... so that every key is unique.
std::string FieldsToJson(const DecodedMessage& message);

// One field per line, "NAME = raw (value unit, name)", records indented
// under "NAME[i]:" lines; the first line names the message.
std::string FieldsToText(const DecodedMessage& message);

// The fields alone as one JSON object, as under "fields" above.
std::string FieldListToJson(const std::vector<Field>& fields);

// The fields alone, one per line as above, each indented by 2 * depth blanks.
std::string FieldListToText(const std::vector<Field>& fields, int depth);

// "complete", "truncated", "no layout" or "not a message".
const char* StatusName(DecodedMessage::Status status);

}  // namespace wendrake
