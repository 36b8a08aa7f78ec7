// Runs a log through the library's exported functions, the way any host
// does, and hands each report item to a sink together with its line.
#pragma once

#include <cstdint>
#include <string>

#include "format/item_model.h"
#include "io/log_reader.h"

namespace wendrake_cli {

class ItemSink {
 public:
  virtual ~ItemSink() = default;
  virtual void OnItem(const Item& item) = 0;
  // Called for every line after its items; `items` is how many it yielded.
  virtual void OnLine(const LogLine& line, int items) {
    (void)line;
    (void)items;
  }
};

// What a pass over the log found besides its items.
struct DecodeSummary {
  uint64_t lines = 0;
  uint64_t items = 0;
  uint64_t longLines = 0;          // longer than kKeptLineBytes
  bool unterminatedLast = false;  // fed with a newline after it
};

// Decodes every line of `reader` with a decoder of `moduleType`, one line
// per call. The end of the input ends its last line: a last line without a
// newline is fed with one. Returns false with a one-line `error` when the
// decoder cannot be created or the input cannot be read; a failed write
// in a sink throws WriteError out of it. With `showProgress`, a progress bar
// may appear on standard error.
bool DecodeLog(LogReader& reader, int moduleType, bool showProgress, ItemSink& sink,
               DecodeSummary* summary, std::string* error);

}  // namespace wendrake_cli
