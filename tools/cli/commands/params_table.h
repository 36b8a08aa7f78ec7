// "wendrake params --csv": a wide time series, one row per report item and
// one column per parameter that ever held a value, in real units.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "io/buffered_writer.h"
#include "io/log_table.h"

namespace wendrake_cli {

// The header names every parameter of the whole log, known only at its end,
// so the pieces of the log are kept until then in a compact form: the few
// columns of a row the tool prints, and the parameters' values only where
// they change (values are carried from item to item, so a row changes a few
// of its dozens of cells).
class ParamsCsv {
 public:
  // Table flags AddPiece expects: carried values (and, for a table with the
  // record fields, WENDRAKE_TABLE_RECORD_FIELDS).
  static constexpr unsigned kTableFlags = 0;

  // Sized for a log of `logBytes` bytes (room is taken, memory only as used).
  // With `recordFields`, the record fields follow the parameters.
  explicit ParamsCsv(size_t logBytes, bool recordFields = false);

  // Takes in the next piece of the log.
  void AddPiece(const LogTable& piece);

  // Writes the header (line, time, record, code, label (the drive script's
  // step, empty before its first "LAB" line), the position: latitude,
  // longitude, fix_age, then the parameters by identifier, then the record
  // fields, "HOP.SetType", in the order they were registered), then one row
  // per item: a parameter's cell holds the value the parameter has at the
  // item, set by its line or carried over, a record field's the value the
  // item's own line has (a number as the shortest text that reads back as
  // it); empty when there is none. With `units`, each name that has a unit is
  // followed by it ("Rxagc [dBm]"). The record token is read from `log`.
  void Write(std::string_view log, BufferedWriter* out, bool units) const;
  // The position columns, before the parameters' (their cells are tracked
  // as the parameters' are: a position changes with each fix).
  static constexpr size_t kPositionColumns = 3;

 private:
  // Index of a parameter's column, in the order parameters first came,
  // after the position columns.
  uint16_t ColumnOf(uint32_t id);

  // Per row: the columns the tool prints, and how many cells change there.
  std::vector<uint64_t> line_;
  std::vector<uint32_t> stamp_;
  std::vector<uint32_t> stampMicros_;
  std::vector<uint32_t> code_;
  std::vector<int32_t> label_;  // code into labelNames_, -1 for none
  std::vector<std::string> labelNames_;
  std::vector<uint16_t> changesAtRow_;
  // The changes, row after row: the column and its new value (NaN: none).
  std::vector<uint16_t> changedColumn_;
  std::vector<double> changedValue_;
  std::map<uint32_t, uint16_t> columnOfId_;  // by identifier, the header's order
  std::vector<double> current_;  // by column: its value at the last row
  std::vector<double> block_;    // rows of a piece gathered for reading across

  // Record fields: per field its name and its category texts (the codes
  // hold from piece to piece), and per row the fields its line has.
  struct FieldCell {
    uint32_t field;
    int32_t code;   // category code, or -1 for a number
    double number;
  };
  void AddFields(const LogTable& piece);
  bool recordFields_;
  std::vector<std::string> fieldNames_;
  std::unordered_map<std::string, uint32_t> fieldOfName_;
  std::vector<std::vector<std::string>> fieldTexts_;
  std::vector<uint16_t> fieldsAtRow_;
  std::vector<FieldCell> fieldCells_;
};

}  // namespace wendrake_cli
