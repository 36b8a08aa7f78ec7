#include "params/column_registry.h"

#include <algorithm>
#include <cstring>

#include "params/known_columns.h"
#include "text/tab_fields.h"

namespace wendrake {
int32_t KnownColumnSlot(int32_t type, std::string_view name) {
  const uint32_t paramId = KnownColumnParam(type, name);
  return paramId == 0 ? kNoSlot : SlotRefOf(SlotOfParam(paramId));
}

ColumnRegistry::ColumnRegistry() {
  std::memset(columnNames_, 0, sizeof columnNames_);
  std::memset(columnMap_, 0xFF, sizeof columnMap_);
}

void ColumnRegistry::Register(int32_t type, std::string_view lineText) {
  const std::string_view token = RecordToken(type);
  const bool mapsSlots = HasSlotMappings(type);
  int32_t column = 0;
  TabFields fields(lineText);
  std::string_view field;
  while (fields.Next(&field)) {
    if (field == "RegReport" || field == token) continue;
    if (column < kColumnCount) {
      columnMap_[type][column] = mapsSlots ? KnownColumnSlot(type, field) : kNoSlot;
      char* name = columnNames_[type][column];
      const size_t length = std::min<size_t>(field.size(), kColumnNameSize - 1);
      std::memcpy(name, field.data(), length);
      std::memset(name + length, 0, kColumnNameSize - length);
      tags_[type][column].Form(name);
    }
    ++column;
  }
}

}  // namespace wendrake
