// The column walk shared by the column and EV-DO status decoders.
#pragma once

#include <string_view>

#include "core/line_decoder.h"
#include "core/tab_fields.h"
#include "params/column_registry.h"

namespace wendrake {

// Calls visit(column, field, slotRef) for every non-empty field of a data
// line in columns 0..59, where slotRef is the slot the column feeds or -1.
// Fields equal to the record token are not counted; empty fields are counted
// but not visited. Leaves the number of counted columns in columnIndex.
template <typename Visit>
void WalkColumns(LineDecoder& decoder, std::string_view lineText, Visit&& visit) {
  const int32_t type = decoder.recordType;
  const std::string_view token = RecordToken(type);
  decoder.columnIndex = 0;
  TabFields fields(lineText);
  std::string_view field;
  while (fields.Next(&field)) {
    if (IsToken(field, token)) continue;
    const int column = decoder.columnIndex++;
    if (field.empty() || column >= kColumnCount) continue;
    visit(column, field, decoder.columns.Map(type, column));
  }
}

}  // namespace wendrake
