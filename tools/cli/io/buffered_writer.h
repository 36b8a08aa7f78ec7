// One large buffer in front of an Output: rows are formatted straight into
// it and written in blocks of about a megabyte, so the cost of a write is
// paid once per block, not once per row.
#pragma once

#include <string>

#include "io/output.h"

namespace wendrake_cli {

class BufferedWriter {
 public:
  static constexpr size_t kBlockBytes = 1 << 20;

  explicit BufferedWriter(Output* out) : out_(out) { buffer_.reserve(kBlockBytes + kBlockBytes / 4); }

  // Where to append; call Commit after each row.
  std::string& buffer() { return buffer_; }

  // Writes the buffer once it holds a block. A failed write throws WriteError.
  void Commit() {
    if (buffer_.size() >= kBlockBytes) Flush();
  }

  // Writes whatever the buffer holds.
  void Flush() {
    if (buffer_.empty()) return;
    out_->Write(buffer_);
    buffer_.clear();
  }

 private:
  Output* out_;
  std::string buffer_;
};

}  // namespace wendrake_cli
