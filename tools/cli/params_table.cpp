#include "params_table.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "fast_format.h"
#include "log_lines.h"
#include "param_info.h"
#include "text_escape.h"

namespace wendrake_cli {
namespace {

// The text of a column's last value: carried values repeat row after row,
// so most cells copy the text instead of formatting the number again.
class LastCell {
 public:
  explicit LastCell(int32_t scale) : scale_(scale) {}

  std::string_view Text(double value) {
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    if (text_.empty() || bits != bits_) {
      text_.clear();
      AppendRealOfScale(&text_, value, scale_);
      bits_ = bits;
    }
    return text_;
  }

 private:
  int32_t scale_;
  uint64_t bits_ = 0;
  std::string text_;  // empty: nothing kept
};

// Bytes a cell can take: the shortest text of a double has at most 24
// characters, a stored integer over its scale at most 22.
constexpr size_t kMaxCellBytes = 32;

// Rows whose cells are gathered at once. Each column lies in memory of its
// own, far from the next: a row read across them all touches a cache line and
// a page per column, so blocks of rows are first copied into one array, row
// after row, read column by column from start to end.
constexpr size_t kBlockRows = 256;

void GatherRows(const std::vector<LogTable::Param>& params, size_t from, size_t to, std::vector<double>* rows) {
  const size_t width = params.size();
  for (size_t c = 0; c < width; ++c) {
    const double* values = params[c].values;
    double* cell = rows->data() + c;
    for (size_t r = from; r < to; ++r, cell += width) *cell = values[r];
  }
}

}  // namespace

void WriteParamsCsv(const LogTable& table, std::string_view log, BufferedWriter* out) {
  std::string& row = out->buffer();
  row += "line,time,record,code";
  for (const LogTable::Param& param : table.params()) {
    row += ',';
    AppendCsv(&row, ParamName(param.id));
  }
  row += '\n';
  out->Commit();

  // The record token is the one on the item's line, as the per-item path
  // reads it: the table's record column names a type, and "VOT" lines share
  // the type of "GPS" lines.
  std::vector<LastCell> cells;
  for (const LogTable::Param& param : table.params()) cells.emplace_back(ParamScale(param.id));
  std::vector<char> cellBytes(cells.size() * (1 + kMaxCellBytes));
  std::vector<double> block(kBlockRows * cells.size());
  const double* blockRow = block.data();
  LogLines lines(log);
  LineSpan line;
  IsoClock clock;
  for (size_t r = 0; r < table.rows(); ++r, blockRow += cells.size()) {
    if (r % kBlockRows == 0) {
      GatherRows(table.params(), r, std::min(r + kBlockRows, table.rows()), &block);
      blockRow = block.data();
    }
    const auto number = static_cast<uint64_t>(table.line()[r]);
    while (line.number < number && lines.Next(&line)) {
    }
    AppendInt(&row, number);
    row += ',';
    clock.Append(&row, table.stamp()[r], table.stampMicros()[r]);
    row += ',';
    AppendCsv(&row, line.number == number ? line.token() : std::string_view());
    row += ',';
    AppendHexCode(&row, table.code()[r]);
    // The cells are written into a buffer with room for all of them, then
    // appended to the row at once.
    char* at = cellBytes.data();
    for (size_t c = 0; c < cells.size(); ++c) {
      *at++ = ',';
      const double value = blockRow[c];
      if (std::isnan(value)) continue;
      const std::string_view text = cells[c].Text(value);
      const size_t length = std::min(text.size(), kMaxCellBytes);
      std::memcpy(at, text.data(), length);
      at += length;
    }
    row.append(cellBytes.data(), at);
    row += '\n';
    out->Commit();
  }
  out->Flush();
}

}  // namespace wendrake_cli
