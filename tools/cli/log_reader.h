// Reads a log file (or standard input) line by line, keeping line numbers,
// so that every report item can be traced back to the line it came from.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace wendrake_cli {

struct LogLine {
  uint64_t number = 0;     // 1-based
  std::string_view bytes;  // the line as stored in the file, newline included
  bool terminated = false; // false only for a last line without a newline
};

class LogReader {
 public:
  LogReader() = default;
  ~LogReader();
  LogReader(const LogReader&) = delete;
  LogReader& operator=(const LogReader&) = delete;

  // Opens `path` ("-" is standard input). With `rewindable`, input that
  // cannot seek is copied to a temporary file while it is read, so Rewind()
  // works for pipes too. On failure returns false and sets `error` to a
  // one-line message.
  bool Open(const std::string& path, bool rewindable, std::string* error);

  // The next line, or false at the end of the input or on a read error
  // (see error()).
  bool Next(LogLine* line);

  // Starts over at the first line. Only after Open(..., rewindable = true).
  bool Rewind(std::string* error);

  uint64_t bytesRead() const { return bytesRead_; }
  // Size of the input when it is a regular file, else 0.
  uint64_t totalBytes() const { return totalBytes_; }
  const std::string& name() const { return name_; }
  const std::string& error() const { return error_; }

 private:
  void Close();

  std::string name_;
  std::FILE* file_ = nullptr;
  bool ownsFile_ = false;
  std::FILE* spool_ = nullptr;  // copy of non-seekable input, for Rewind
  char* buffer_ = nullptr;      // getline's reusable buffer
  size_t capacity_ = 0;
  uint64_t lineNumber_ = 0;
  uint64_t bytesRead_ = 0;
  uint64_t totalBytes_ = 0;
  std::string error_;
};

}  // namespace wendrake_cli
