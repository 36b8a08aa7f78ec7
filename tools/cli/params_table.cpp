#include "params_table.h"

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

  void Append(std::string* row, double value) {
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    if (length_ == 0 || bits != bits_) {
      const size_t start = row->size();
      AppendRealOfScale(row, value, scale_);
      const size_t length = row->size() - start;
      if (length > sizeof text_) return;  // too long to keep: formatted each time
      std::memcpy(text_, row->data() + start, length);
      length_ = length;
      bits_ = bits;
      return;
    }
    row->append(text_, length_);
  }

 private:
  int32_t scale_;
  uint64_t bits_ = 0;
  size_t length_ = 0;  // 0: nothing kept
  char text_[32];
};

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
  LogLines lines(log);
  LineSpan line;
  IsoClock clock;
  for (size_t r = 0; r < table.rows(); ++r) {
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
    for (size_t c = 0; c < cells.size(); ++c) {
      row += ',';
      const double value = table.params()[c].values[r];
      if (!std::isnan(value)) cells[c].Append(&row, value);
    }
    row += '\n';
    out->Commit();
  }
  out->Flush();
}

}  // namespace wendrake_cli
