// Walks the lines of a log held in memory, numbered as LogReader numbers
// them: every physical line from 1, a last line without newline included.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "format/item_model.h"
#include "io/log_reader.h"

namespace wendrake_cli {

struct LineSpan {
  uint64_t number = 0;
  std::string_view content;  // without its newline (a CR before it stays)
  bool terminated = false;

  // Bytes of the line, newline included, as LogLine::length counts them.
  uint64_t length() const { return content.size() + (terminated ? 1 : 0); }
  // Its record token, read from the part of the line LogReader keeps.
  std::string_view token() const { return RecordTokenOf(content.substr(0, kKeptLineBytes)); }
};

class LogLines {
 public:
  explicit LogLines(std::string_view log) : rest_(log) {}

  bool Next(LineSpan* line) {
    if (rest_.empty()) return false;
    const void* found = std::memchr(rest_.data(), '\n', rest_.size());
    const size_t length = found != nullptr ? static_cast<size_t>(static_cast<const char*>(found) - rest_.data())
                                           : rest_.size();
    line->number = ++number_;
    line->content = rest_.substr(0, length);
    line->terminated = found != nullptr;
    rest_.remove_prefix(found != nullptr ? length + 1 : length);
    return true;
  }

 private:
  std::string_view rest_;
  uint64_t number_ = 0;
};

}  // namespace wendrake_cli
