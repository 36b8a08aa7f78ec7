// Output formats of "wendrake decode": one record per report item, each
// formatted straight into one buffered writer.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "commands/host_cycle.h"
#include "io/buffered_writer.h"
#include "io/output.h"

namespace wendrake_cli {

// Names accepted by --format.
inline constexpr std::string_view kFormats[] = {"jsonl", "csv", "text", "summary"};

class Formatter : public ItemSink {
 public:
  explicit Formatter(Output* out) : writer_(out) {}
  void OnItem(const Item& item) final {
    Format(item, &writer_.buffer());
    writer_.Commit();
  }
  // Writes what is still buffered; call once every item is in.
  void Flush() { writer_.Flush(); }

 protected:
  virtual void Format(const Item& item, std::string* out) = 0;
  BufferedWriter writer_;
};

// A formatter that writes every item to `out` in the named format, or null
// for an unknown name. CSV buffers its header at construction.
std::unique_ptr<Formatter> MakeFormatter(std::string_view format, Output* out);

}  // namespace wendrake_cli
