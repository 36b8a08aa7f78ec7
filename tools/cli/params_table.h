// "wendrake params --csv": a wide time series, one row per report item and
// one column per parameter that ever held a value, in real units.
#pragma once

#include <string_view>

#include "buffered_writer.h"
#include "log_table.h"

namespace wendrake_cli {

// Writes the header (line, time, record, code, then the parameters by
// identifier), then one row per item of `table`, decoded from `log` with
// carried values: a cell holds the value the parameter has at the item,
// set by its line or carried over, and is empty when it has none.
void WriteParamsCsv(const LogTable& table, std::string_view log, BufferedWriter* out);

}  // namespace wendrake_cli
