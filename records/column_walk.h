// The column walk shared by the column and EV-DO status decoders.
#pragma once

#include <string_view>

#include "params/column_registry.h"
#include "records/record_context.h"
#include "text/tab_fields.h"

namespace wendrake {

// Calls visit(column, field, slotRef) for every non-empty field of a data
// line in columns 0..59, where slotRef is the slot the column feeds or -1.
// Fields equal to the record token are not counted; empty fields are counted
// but not visited.
template <typename Visit>
void WalkColumns(const RecordContext& line, std::string_view lineText, Visit&& visit) {
  const std::string_view token = RecordToken(line.type);
  int column = 0;
  TabFields fields(lineText);
  std::string_view field;
  while (fields.Next(&field)) {
    if (IsToken(field, token)) continue;
    const int index = column++;
    if (field.empty() || index >= kColumnCount) continue;
    visit(index, field, line.columns.Map(line.type, index));
  }
}

}  // namespace wendrake
