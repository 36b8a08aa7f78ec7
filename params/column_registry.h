// Column names and parameter mappings declared by "RegReport" lines.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/element_writer.h"
#include "params/param_table.h"
#include "params/record_type.h"

namespace wendrake {

constexpr int kColumnCount = 60;      // columns 0..59 exist per record type
constexpr int kColumnNameSize = 32;   // 31 bytes of name plus a zero
constexpr int32_t kNoSlot = -1;

// Slot of a known column name of a record type, or -1. Names match whole
// and case-sensitively.
int32_t KnownColumnSlot(int32_t type, std::string_view name);

class ColumnRegistry {
 public:
  ColumnRegistry();

  // Registers the columns of one "RegReport" line (`lineText` without its
  // newline) for `type`, which has a registration. Fields equal to
  // "RegReport" or the type's token are not counted. Each counted column's
  // entry is replaced whole: its name (cut to 31 bytes), and its slot, or -1
  // when the name is not known. Names past column 59 are ignored.
  void Register(int32_t type, std::string_view lineText);

  // Slot reference a column feeds, or -1.
  int32_t Map(int32_t type, int column) const { return columnMap_[type][column]; }
  // Registered name of a column, zero-terminated (empty when never registered).
  const char* Name(int32_t type, int column) const { return columnNames_[type][column]; }
  // The element tags of a column's values, formed from its registered name.
  const ElementTags& Tags(int32_t type, int column) const { return tags_[type][column]; }

 private:
  int32_t columnMap_[kRecordTypeRows][kColumnCount];
  char columnNames_[kRecordTypeRows][kColumnCount][kColumnNameSize];
  ElementTags tags_[kRecordTypeRows][kColumnCount];
};

}  // namespace wendrake
