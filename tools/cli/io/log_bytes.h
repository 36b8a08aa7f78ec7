// A whole log in memory, for the commands that decode it into a table in one
// call. A regular file is mapped; other input (a pipe, a terminal) is read
// in blocks. Of a line the decoder drops for its length only the first
// kKeptLineBytes + 1 bytes are kept (still too long, so still dropped, and
// still counted as long): one huge line is never held whole.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "io/log_reader.h"

namespace wendrake_cli {

class LogBytes {
 public:
  LogBytes() = default;
  ~LogBytes();
  LogBytes(const LogBytes&) = delete;
  LogBytes& operator=(const LogBytes&) = delete;

  // Takes in what is left of `reader`'s input, opened and not yet read
  // from. False with a one-line `error` when it cannot be read.
  bool Load(const LogReader& reader, std::string* error);

  std::string_view bytes() const { return bytes_; }

  // What the raw input held, as LogReader counts it, for WhyNoItems.
  InputProfile Profile() const;

 private:
  bool Map(int fd, size_t size, size_t offset);
  bool Read(int fd, const std::string& name, std::string* error);
  void Keep(std::string_view block);

  void* map_ = nullptr;
  size_t mapSize_ = 0;
  std::string read_;        // input read in blocks, long lines shortened
  uint64_t lineBytes_ = 0;  // bytes of the current line so far, while reading
  InputProfile profile_;    // counted while reading; a mapped file on demand
  std::string_view bytes_;
};

}  // namespace wendrake_cli
