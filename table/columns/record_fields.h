// Record fields as table columns: the values of registered record columns
// that feed no parameter ("HOP.SetType", "SC.BaseID", "EVT.Payload"). The
// decoder keeps these only in an item's text, so they are read off the
// item's line again, split as the decoder splits it.
//
// Columns come from registrations: a "RegReport" line declares a column for
// each of its named columns that feeds no parameter, once per record and
// name, so every piece of a log read piece by piece has the columns
// registered so far, in the order they were first registered. A column is
// float64 while every value it has had so far is wholly a decimal number,
// and a category (of the texts, in the order they first came) from the first
// value that is not; a column of a log read piece by piece may thus be
// numeric in its first pieces and a category in later ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "params/column_registry.h"
#include "table/columns/item_table.h"

namespace wendrake {

// Whether `text` is wholly a decimal number: an optional sign, digits with
// an optional point, an optional exponent, nothing else (no blanks, "0x",
// "inf" or "nan"), and a finite double; sets *value.
bool WholeNumber(std::string_view text, double* value);

class RecordFields {
 public:
  RecordFields();

  // Reads the registration of `type` after a "RegReport" line for it,
  // declaring the columns of names not seen before in `table`.
  void Register(int32_t type, const ColumnRegistry& columns, ItemTable* table);

  // Enters the fields of `lineText`, the line of the item in row `row`.
  void AddRow(int32_t type, std::string_view lineText, size_t row, ItemTable* table);

  // Lays out every column's values over the table's rows, as numbers or
  // categories; may be called again after more rows unless `last`, which
  // frees the values as they came once laid out.
  void Complete(ItemTable* table, bool last = false) const;

  // Gives `table` (another piece's table) the columns of `done` it lacks,
  // and their categories so far.
  void Adopt(const ItemTable& done, ItemTable* table) const;

 private:
  // Code of a value of field k, entering it when it is new.
  int32_t Code(size_t k, std::string_view value);

  std::vector<std::shared_ptr<FieldValues>> values_;  // by field column
  std::vector<std::unordered_map<std::string_view, int32_t>> codes_;  // views of the texts
  std::map<std::string, size_t> fieldOfName_;
  // Per record type and column: its field column, or -1.
  int32_t fieldOf_[kRecordTypeRows][kColumnCount];
  bool typeHasFields_[kRecordTypeRows] = {};
};

}  // namespace wendrake
