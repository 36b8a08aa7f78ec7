#include "params_table.h"

#include <cmath>
#include <vector>

#include "fast_format.h"
#include "log_lines.h"
#include "param_info.h"
#include "text_escape.h"

namespace wendrake_cli {

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
  std::vector<int32_t> scales;
  for (const LogTable::Param& param : table.params()) scales.push_back(ParamScale(param.id));
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
    for (size_t c = 0; c < scales.size(); ++c) {
      row += ',';
      const double value = table.params()[c].values[r];
      if (!std::isnan(value)) AppendRealOfScale(&row, value, scales[c]);
    }
    row += '\n';
    out->Commit();
  }
  out->Flush();
}

}  // namespace wendrake_cli
