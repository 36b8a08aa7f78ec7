// Runs a log through the library's exported functions, the way any host
// does, and hands each report item to a sink together with its line.
#pragma once

#include <string>

#include "item_model.h"
#include "log_reader.h"

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

// Decodes every line of `reader` with a decoder of `moduleType`. Returns
// false with a one-line `error` when the decoder cannot be created or the
// input cannot be read.
bool DecodeLog(LogReader& reader, int moduleType, ItemSink& sink, std::string* error);

}  // namespace wendrake_cli
