// A whole log in memory, for the commands that decode it into a table in one
// call. Every input, a regular file as well as a pipe or a terminal, is read
// in blocks, never mapped: a file that shrinks while it is read (a rotated
// log) then yields the lines read so far, where a mapping would kill the tool
// with SIGBUS on its vanished pages. Of a line the decoder drops for its
// length only the first kKeptLineBytes + 1 bytes are kept (still too long, so
// still dropped, and still counted as long): one huge line is never held
// whole.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "log_reader.h"

namespace wendrake_cli {

class LogBytes {
 public:
  LogBytes() = default;
  LogBytes(const LogBytes&) = delete;
  LogBytes& operator=(const LogBytes&) = delete;

  // Takes in what is left of `reader`'s input, opened and not yet read
  // from. False with a one-line `error` when it cannot be read.
  bool Load(const LogReader& reader, std::string* error);

  std::string_view bytes() const { return bytes_; }

  // What the raw input held, as LogReader counts it, for WhyNoItems.
  InputProfile Profile() const;

 private:
  void Keep(std::string_view block);

  std::string read_;        // the input, long lines shortened
  uint64_t lineBytes_ = 0;  // bytes of the current line so far, while reading
  InputProfile profile_;    // counted while reading
  std::string_view bytes_;
};

}  // namespace wendrake_cli
