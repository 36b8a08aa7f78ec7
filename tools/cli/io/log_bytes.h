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

  std::string_view bytes() const { return {kept_, size_}; }

  // What the raw input held, as LogReader counts it, for WhyNoItems.
  InputProfile Profile() const;

 private:
  // Makes room for `bytes` more after the kept ones.
  void Reserve(size_t bytes);
  // Makes the pages of the next `bytes` of that room present.
  void Populate(size_t bytes);
  // Keeps the `n` bytes just read in after the kept ones, cutting the lines
  // that are too long.
  void Keep(size_t n);

  // The input, read straight in after the bytes kept so far (no copy of
  // each block), long lines shortened.
  char* kept_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  size_t populated_ = 0;  // bytes whose pages are made present
  uint64_t lineBytes_ = 0;  // bytes of the current line so far, while reading
  // Counted while reading: the bytes and head, and the carriage returns and
  // NULs of the bytes cut off long lines. The rest is counted on demand in
  // what was kept, which holds every newline.
  InputProfile profile_;
};

}  // namespace wendrake_cli
