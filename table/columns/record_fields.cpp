#include "table/columns/record_fields.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "text/element_writer.h"
#include "text/tab_fields.h"

namespace wendrake {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

ItemTable::FieldColumn NewColumn(const std::string& name, std::shared_ptr<const FieldValues> values) {
  ItemTable::FieldColumn column;
  column.name = name;
  column.values = std::move(values);
  return column;
}

// Sizes a column for `rows` cells of `none`, then writes the values.
template <typename T, typename Value>
void LayOut(ColumnBuffer<T>* cells, size_t rows, T none, const ItemTable::FieldColumn& column, Value value) {
  cells->clear();
  cells->Reserve(rows);
  for (size_t row = 0; row < rows; ++row) cells->PushUnchecked(none);
  for (size_t k = 0; k < column.valueRows.size(); ++k) {
    (*cells)[static_cast<size_t>(column.valueRows[k])] = value(column.valueCodes[k]);
  }
}

}  // namespace

bool WholeNumber(std::string_view text, double* value) {
  size_t i = 0;
  const size_t n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  for (; i < n && IsDigit(text[i]); ++i) ++digits;
  if (i < n && text[i] == '.') {
    for (++i; i < n && IsDigit(text[i]); ++i) ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    if (i == n || !IsDigit(text[i])) return false;
    while (i < n && IsDigit(text[i])) ++i;
  }
  if (i != n) return false;
  // from_chars takes no plus sign; out-of-range values are refused.
  const char* first = text.data() + (text[0] == '+' ? 1 : 0);
  const auto [end, error] = std::from_chars(first, text.data() + n, *value);
  return error == std::errc() && end == text.data() + n && std::isfinite(*value);
}

RecordFields::RecordFields() {
  for (auto& type : fieldOf_) {
    for (int32_t& field : type) field = -1;
  }
}

void RecordFields::Register(int32_t type, const ColumnRegistry& columns, ItemTable* table) {
  if (type < 0 || type >= kRecordTypeRows || !HasColumnRegistration(type)) return;
  const std::string_view token = RecordToken(type);
  for (int column = 0; column < kColumnCount; ++column) {
    const std::string_view name = columns.Name(type, column);
    int32_t& field = fieldOf_[type][column];
    if (name.empty() || columns.Map(type, column) != kNoSlot) {
      field = -1;
      continue;
    }
    std::string fullName(token);
    fullName += '.';
    fullName += name;
    const auto [at, added] = fieldOfName_.try_emplace(fullName, values_.size());
    if (added) {
      values_.push_back(std::make_shared<FieldValues>());
      codes_.emplace_back();
      table->fields.push_back(NewColumn(fullName, values_.back()));
    }
    field = static_cast<int32_t>(at->second);
    typeHasFields_[type] = true;
  }
}

int32_t RecordFields::Code(size_t k, std::string_view value) {
  std::unordered_map<std::string_view, int32_t>& codes = codes_[k];
  const auto known = codes.find(value);
  if (known != codes.end()) return known->second;
  FieldValues& values = *values_[k];
  const auto code = static_cast<int32_t>(values.texts.size());
  const std::string& text = values.texts.emplace_back(value);
  double number = kNaN;
  if (!WholeNumber(text, &number)) {
    number = kNaN;
    values.numeric = false;
  }
  values.numbers.push_back(number);
  codes.emplace(text, code);
  return code;
}

void RecordFields::AddRow(int32_t type, std::string_view lineText, size_t row, ItemTable* table) {
  if (type < 0 || type >= kRecordTypeRows || !typeHasFields_[type]) return;
  // The columns as the decoder counts them: fields equal to the record
  // token are not counted, empty fields are counted and hold no value, and
  // a value ends at its first NUL, as in the item's text.
  const std::string_view token = RecordToken(type);
  TabFields fields(lineText);
  std::string_view field;
  int column = 0;
  while (column < kColumnCount && fields.Next(&field)) {
    if (IsToken(field, token)) continue;
    const int32_t k = fieldOf_[type][column++];
    if (k < 0 || field.empty()) continue;
    ItemTable::FieldColumn& cells = table->fields[static_cast<size_t>(k)];
    const int32_t code = Code(static_cast<size_t>(k), ValueUpToNul(field));
    // Two columns of one name on a line: the last one's value holds.
    if (!cells.valueRows.empty() && cells.valueRows.back() == static_cast<int64_t>(row)) {
      cells.valueCodes.back() = code;
      continue;
    }
    cells.valueRows.push_back(static_cast<int64_t>(row));
    cells.valueCodes.push_back(code);
  }
}

void RecordFields::Complete(ItemTable* table, bool last) const {
  const size_t rows = table->rows();
  for (ItemTable::FieldColumn& column : table->fields) {
    const FieldValues& values = *column.values;
    column.numeric = values.numeric;
    if (column.numeric) {
      LayOut(&column.numbers, rows, kNaN, column,
             [&](int32_t code) { return values.numbers[static_cast<size_t>(code)]; });
    } else {
      LayOut(&column.codes, rows, int32_t{-1}, column, [](int32_t code) { return code; });
      for (size_t k = column.categories.size(); k < values.texts.size(); ++k) {
        column.categories.push_back(values.texts[k].c_str());
      }
    }
    if (last) {
      column.valueRows = {};
      column.valueCodes = {};
    }
  }
}

void RecordFields::Adopt(const ItemTable& done, ItemTable* table) const {
  for (size_t k = table->fields.size(); k < done.fields.size(); ++k) {
    table->fields.push_back(NewColumn(done.fields[k].name, done.fields[k].values));
  }
  for (size_t k = 0; k < done.fields.size(); ++k) table->fields[k].categories = done.fields[k].categories;
}

}  // namespace wendrake
