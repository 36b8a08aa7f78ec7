#include "io/log_table.h"

#include <algorithm>
#include <utility>

namespace wendrake_cli {

namespace {

std::string DecodeError(const std::string& name, int result) {
  return "cannot decode " + name + ": " + wendrake_error_message(result);
}

}  // namespace

bool LogTable::View(const WendrakeTable* table, unsigned flags, const std::string& name, std::string* error) {
  table_ = table;
  rows_ = static_cast<size_t>(wendrake_table_rows(table));
  lines_ = static_cast<uint64_t>(wendrake_table_lines(table));
  unterminated_ = wendrake_table_unterminated(table) == 1;
  params_.clear();
  fields_.clear();
  const int count = wendrake_table_column_count(table);
  for (int index = 0; index < count; ++index) {
    WendrakeColumn column{};
    if (wendrake_table_column(table, index, &column) != WENDRAKE_OK) continue;
    const std::string_view columnName = column.name;
    if (column.paramId != 0 && column.type == WENDRAKE_COLUMN_FLOAT64) {
      params_.push_back(Param{column.paramId, static_cast<const double*>(column.data)});
    } else if ((flags & WENDRAKE_TABLE_RECORD_FIELDS) != 0 && columnName.find('.') != std::string_view::npos) {
      const bool numeric = column.type == WENDRAKE_COLUMN_FLOAT64;
      fields_.push_back(Field{columnName, numeric ? static_cast<const double*>(column.data) : nullptr,
                              numeric ? nullptr : static_cast<const int32_t*>(column.data), column.categories,
                              column.categoryCount});
    } else if (columnName == "line" && column.type == WENDRAKE_COLUMN_INT64) {
      line_ = static_cast<const int64_t*>(column.data);
    } else if (columnName == "code" && column.type == WENDRAKE_COLUMN_UINT32) {
      code_ = static_cast<const uint32_t*>(column.data);
    } else if (columnName == "stamp" && column.type == WENDRAKE_COLUMN_UINT32) {
      stamp_ = static_cast<const uint32_t*>(column.data);
    } else if (columnName == "stamp_us" && column.type == WENDRAKE_COLUMN_UINT32) {
      stampMicros_ = static_cast<const uint32_t*>(column.data);
    } else if (columnName == "latitude" && column.type == WENDRAKE_COLUMN_FLOAT64) {
      latitude_ = static_cast<const double*>(column.data);
    } else if (columnName == "longitude" && column.type == WENDRAKE_COLUMN_FLOAT64) {
      longitude_ = static_cast<const double*>(column.data);
    } else if (columnName == "fix_age" && column.type == WENDRAKE_COLUMN_FLOAT64) {
      fixAge_ = static_cast<const double*>(column.data);
    } else if (columnName == "evdo_state" && column.type == WENDRAKE_COLUMN_CATEGORY) {
      evdoState_ = static_cast<const int32_t*>(column.data);
    } else if (columnName == "label" && column.type == WENDRAKE_COLUMN_CATEGORY) {
      label_ = static_cast<const int32_t*>(column.data);
      labelNames_ = column.categories;
      labelNameCount_ = column.categoryCount;
    }
  }
  if (rows_ > 0 && (line_ == nullptr || code_ == nullptr || stamp_ == nullptr || stampMicros_ == nullptr ||
                    latitude_ == nullptr || longitude_ == nullptr || fixAge_ == nullptr || evdoState_ == nullptr ||
                    label_ == nullptr)) {
    *error = "cannot decode " + name + ": the table library lacks a column the tool reads";
    return false;
  }
  if ((flags & WENDRAKE_TABLE_SETTINGS) != 0 && wendrake_table_settings(table, &settings_) != WENDRAKE_OK) {
    *error = "cannot decode " + name + ": the table library lists no settings";
    return false;
  }
  std::sort(params_.begin(), params_.end(), [](const Param& a, const Param& b) { return a.id < b.id; });
  return true;
}

LogPieces::LogPieces(std::string_view log, int moduleType, unsigned flags, std::string name)
    // The tool works on each piece while the library decodes the next.
    : openResult_(wendrake_table_reader_from_buffer(log.data(), log.size(), moduleType,
                                                    flags | WENDRAKE_TABLE_READ_AHEAD, kLinesPerPiece, &reader_)),
      flags_(flags),
      name_(std::move(name)) {}

LogPieces::~LogPieces() { wendrake_table_reader_free(reader_); }

bool LogPieces::Next(LogTable* piece, std::string* error) {
  error->clear();
  const WendrakeTable* next = nullptr;
  const int result = openResult_ != WENDRAKE_OK ? openResult_ : wendrake_table_reader_next(reader_, &next);
  if (result != WENDRAKE_OK) {
    *error = DecodeError(name_, result);
    return false;
  }
  if (next == nullptr || !piece->View(next, flags_, name_, error)) return false;
  lines_ = piece->lines();
  rows_ += piece->rows();
  unterminated_ = piece->unterminated();
  return true;
}

}  // namespace wendrake_cli
