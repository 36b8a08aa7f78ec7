#include "commands/params_table.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "format/fast_format.h"
#include "format/log_lines.h"
#include "format/param_info.h"
#include "format/text_escape.h"

namespace wendrake_cli {
namespace {

// Bytes a cell can take: the shortest text of a double has at most 24
// characters, a stored integer over its scale at most 22.
constexpr size_t kMaxCellBytes = 32;

// Cells print the same: no value in both, or the same bits (-0 prints "-0").
bool SameCell(double a, double b) {
  return std::isnan(a) ? std::isnan(b) : std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

// Rows of a piece gathered at once. Each column lies in memory of its own,
// far from the next: a row read across them all touches a cache line per
// column, so blocks of rows are first copied into one array, row after row,
// read column by column from start to end.
constexpr size_t kBlockRows = 256;

// Drive-test logs have a line per 40-60 bytes and change a handful of cells
// per row; room for more costs address space only.
constexpr size_t kBytesPerRow = 32;
constexpr size_t kChangesPerRow = 8;

// Reserves room for n elements, so the arrays are not copied as they grow
// (at most a gigabyte; past that an array grows as it fills, so a huge log
// never asks for more than a machine may promise).
template <typename T>
void Reserve(std::vector<T>* values, size_t n) {
  values->reserve(std::min(n, (size_t{1} << 30) / sizeof(T)));
}

// The position columns and their units.
struct PositionColumn {
  const char* name;
  const char* unit;
};
constexpr PositionColumn kPositions[ParamsCsv::kPositionColumns] = {
    {"latitude", "deg"}, {"longitude", "deg"}, {"fix_age", "s"}};

void AppendName(std::string* row, std::string_view name, std::string_view unit, bool units) {
  if (!units || unit.empty()) {
    AppendCsv(row, name);
    return;
  }
  AppendCsv(row, std::string(name) + " [" + std::string(unit) + "]");
}

}  // namespace

ParamsCsv::ParamsCsv(size_t logBytes, bool recordFields) : current_(kPositionColumns, std::nan("")), recordFields_(recordFields) {
  const size_t rows = logBytes / kBytesPerRow + 1024;
  Reserve(&line_, rows);
  Reserve(&stamp_, rows);
  Reserve(&stampMicros_, rows);
  Reserve(&code_, rows);
  Reserve(&label_, rows);
  Reserve(&changesAtRow_, rows);
  Reserve(&changedColumn_, rows * kChangesPerRow);
  Reserve(&changedValue_, rows * kChangesPerRow);
}

uint16_t ParamsCsv::ColumnOf(uint32_t id) {
  const auto [at, added] = columnOfId_.try_emplace(id, static_cast<uint16_t>(current_.size()));
  if (added) current_.push_back(std::nan(""));  // no value before the column came
  return at->second;
}

void ParamsCsv::AddPiece(const LogTable& piece) {
  const size_t rows = piece.rows();
  line_.insert(line_.end(), piece.line(), piece.line() + rows);
  stamp_.insert(stamp_.end(), piece.stamp(), piece.stamp() + rows);
  stampMicros_.insert(stampMicros_.end(), piece.stampMicros(), piece.stampMicros() + rows);
  code_.insert(code_.end(), piece.code(), piece.code() + rows);
  label_.insert(label_.end(), piece.label(), piece.label() + rows);
  for (int32_t code = static_cast<int32_t>(labelNames_.size()); code < piece.labelNameCount(); ++code) {
    labelNames_.emplace_back(piece.labelNames()[code]);
  }
  const std::vector<LogTable::Param>& params = piece.params();
  // The position's cells first, then the parameters'.
  std::vector<const double*> sources = {piece.latitude(), piece.longitude(), piece.fixAge()};
  std::vector<uint16_t> columns = {0, 1, 2};
  for (const LogTable::Param& param : params) {
    sources.push_back(param.values);
    columns.push_back(ColumnOf(param.id));
  }
  const size_t width = sources.size();
  block_.resize(kBlockRows * width);
  for (size_t from = 0; from < rows; from += kBlockRows) {
    const size_t to = std::min(from + kBlockRows, rows);
    for (size_t p = 0; p < width; ++p) {
      const double* values = sources[p];
      double* cell = block_.data() + p;
      for (size_t r = from; r < to; ++r, cell += width) *cell = values[r];
    }
    const double* cell = block_.data();
    for (size_t r = from; r < to; ++r) {
      uint16_t changes = 0;
      for (size_t p = 0; p < width; ++p, ++cell) {
        double& current = current_[columns[p]];
        if (SameCell(*cell, current)) continue;
        current = *cell;
        changedColumn_.push_back(columns[p]);
        changedValue_.push_back(*cell);
        ++changes;
      }
      changesAtRow_.push_back(changes);
    }
  }
  if (recordFields_) AddFields(piece);
}

void ParamsCsv::AddFields(const LogTable& piece) {
  const std::vector<LogTable::Field>& fields = piece.fields();
  std::vector<uint32_t> indexOf(fields.size());
  for (size_t k = 0; k < fields.size(); ++k) {
    const LogTable::Field& field = fields[k];
    const auto [at, added] = fieldOfName_.try_emplace(std::string(field.name), static_cast<uint32_t>(fieldNames_.size()));
    if (added) {
      fieldNames_.emplace_back(field.name);
      fieldTexts_.emplace_back();
    }
    indexOf[k] = at->second;
    // A category's texts only grow from piece to piece.
    std::vector<std::string>& texts = fieldTexts_[at->second];
    for (int32_t code = static_cast<int32_t>(texts.size()); code < field.categoryCount; ++code) {
      texts.emplace_back(field.categories[code]);
    }
  }
  for (size_t r = 0; r < piece.rows(); ++r) {
    uint16_t count = 0;
    for (size_t k = 0; k < fields.size(); ++k) {
      const LogTable::Field& field = fields[k];
      if (field.numbers != nullptr) {
        if (std::isnan(field.numbers[r])) continue;
        fieldCells_.push_back(FieldCell{indexOf[k], -1, field.numbers[r]});
      } else {
        if (field.codes[r] < 0) continue;
        fieldCells_.push_back(FieldCell{indexOf[k], field.codes[r], 0});
      }
      ++count;
    }
    fieldsAtRow_.push_back(count);
  }
}

void ParamsCsv::Write(std::string_view log, BufferedWriter* out, bool units) const {
  std::string& row = out->buffer();
  row += "line,time,record,code,label";
  for (const PositionColumn& position : kPositions) {
    row += ',';
    AppendName(&row, position.name, position.unit, units);
  }
  for (const auto& [id, column] : columnOfId_) {
    row += ',';
    AppendName(&row, ParamName(id), ParamUnit(id), units);
  }
  for (const std::string& name : fieldNames_) {
    row += ',';
    AppendCsv(&row, name);
  }
  row += '\n';
  out->Commit();

  // A row's record fields: most are empty; those its line has are written
  // into their place, then emptied again.
  std::vector<std::string> fieldCells(fieldNames_.size());
  size_t fieldCell = 0;

  // The cells in header order, and where each column's cell is.
  std::vector<std::string> cells(current_.size());
  std::vector<int32_t> scales(current_.size(), 1);
  std::vector<size_t> cellOf(current_.size());
  size_t position = 0;
  for (; position < kPositionColumns; ++position) cellOf[position] = position;
  for (const auto& [id, column] : columnOfId_) {
    scales[position] = ParamScale(id);
    cellOf[column] = position++;
  }
  // The cells' text, rebuilt only on rows where a cell changes.
  std::string cellsText(cells.size(), ',');
  std::vector<char> cellBytes(cells.size() * (1 + kMaxCellBytes));
  size_t change = 0;

  // The record token is the one on the item's line, as the per-item path
  // reads it: the table's record column names a type, and "VOT" lines share
  // the type of "GPS" lines.
  LogLines lines(log);
  LineSpan line;
  IsoClock clock;
  for (size_t r = 0; r < line_.size(); ++r) {
    const uint64_t number = line_[r];
    while (line.number < number && lines.Next(&line)) {
    }
    AppendInt(&row, number);
    row += ',';
    clock.Append(&row, stamp_[r], stampMicros_[r]);
    row += ',';
    AppendCsv(&row, line.number == number ? line.token() : std::string_view());
    row += ',';
    AppendHexCode(&row, code_[r]);
    row += ',';
    if (label_[r] >= 0) AppendCsv(&row, labelNames_[static_cast<size_t>(label_[r])]);
    if (changesAtRow_[r] > 0) {
      for (const size_t end = change + changesAtRow_[r]; change < end; ++change) {
        const size_t c = cellOf[changedColumn_[change]];
        const double value = changedValue_[change];
        cells[c].clear();
        if (!std::isnan(value)) AppendRealOfScale(&cells[c], value, scales[c]);
      }
      char* at = cellBytes.data();
      for (const std::string& cell : cells) {
        *at++ = ',';
        const size_t length = std::min(cell.size(), kMaxCellBytes);
        std::memcpy(at, cell.data(), length);
        at += length;
      }
      cellsText.assign(cellBytes.data(), at);
    }
    row += cellsText;
    if (recordFields_) {
      const size_t end = fieldCell + fieldsAtRow_[r];
      for (size_t c = fieldCell; c < end; ++c) {
        const FieldCell& cell = fieldCells_[c];
        std::string& text = fieldCells[cell.field];
        text.clear();
        if (cell.code < 0) {
          AppendReal(&text, cell.number);
        } else {
          AppendCsv(&text, fieldTexts_[cell.field][static_cast<size_t>(cell.code)]);
        }
      }
      for (std::string& text : fieldCells) {
        row += ',';
        row += text;
      }
      for (; fieldCell < end; ++fieldCell) fieldCells[fieldCells_[fieldCell].field].clear();
    }
    row += '\n';
    out->Commit();
  }
  out->Flush();
}

}  // namespace wendrake_cli
