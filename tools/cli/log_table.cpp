#include "log_table.h"

#include <algorithm>

namespace wendrake_cli {

LogTable::~LogTable() { wendrake_table_free(table_); }

bool LogTable::Build(std::string_view log, int moduleType, unsigned flags, const std::string& name,
                     std::string* error) {
  const int result = wendrake_table_from_buffer(log.data(), log.size(), moduleType, flags, &table_);
  if (result != WENDRAKE_OK) {
    table_ = nullptr;
    *error = "cannot decode " + name + ": " + wendrake_error_message(result);
    return false;
  }
  rows_ = static_cast<size_t>(wendrake_table_rows(table_));
  lines_ = static_cast<uint64_t>(wendrake_table_lines(table_));
  unterminated_ = wendrake_table_unterminated(table_) == 1;
  const int count = wendrake_table_column_count(table_);
  for (int index = 0; index < count; ++index) {
    WendrakeColumn column{};
    if (wendrake_table_column(table_, index, &column) != WENDRAKE_OK) continue;
    const std::string_view columnName = column.name;
    if (column.paramId != 0 && column.type == WENDRAKE_COLUMN_FLOAT64) {
      params_.push_back(Param{column.paramId, static_cast<const double*>(column.data)});
    } else if (columnName == "line" && column.type == WENDRAKE_COLUMN_INT64) {
      line_ = static_cast<const int64_t*>(column.data);
    } else if (columnName == "code" && column.type == WENDRAKE_COLUMN_UINT32) {
      code_ = static_cast<const uint32_t*>(column.data);
    } else if (columnName == "stamp" && column.type == WENDRAKE_COLUMN_UINT32) {
      stamp_ = static_cast<const uint32_t*>(column.data);
    } else if (columnName == "stamp_us" && column.type == WENDRAKE_COLUMN_UINT32) {
      stampMicros_ = static_cast<const uint32_t*>(column.data);
    }
  }
  if (rows_ > 0 && (line_ == nullptr || code_ == nullptr || stamp_ == nullptr || stampMicros_ == nullptr)) {
    *error = "cannot decode " + name + ": the table library lacks a column the tool reads";
    return false;
  }
  if ((flags & WENDRAKE_TABLE_SETTINGS) != 0 && wendrake_table_settings(table_, &settings_) != WENDRAKE_OK) {
    *error = "cannot decode " + name + ": the table library lists no settings";
    return false;
  }
  std::sort(params_.begin(), params_.end(), [](const Param& a, const Param& b) { return a.id < b.id; });
  return true;
}

}  // namespace wendrake_cli
