// Reads a log file (or standard input) line by line, keeping line numbers,
// so that every report item can be traced back to the line it came from.
// Memory stays bounded however long a line is: only its first
// kKeptLineBytes are held; the rest is handed out in pieces.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace wendrake_cli {

// The decoder drops any line of more than 8191 bytes, newline included, so
// no host needs more of a line than that.
constexpr size_t kKeptLineBytes = 8191;

struct LogLine {
  uint64_t number = 0;     // 1-based, counting every physical line
  std::string_view bytes;  // the line as stored (at most kKeptLineBytes), newline included
  bool terminated = false; // ends with a newline (set by MoreOfLine for a long line)
  bool complete = true;    // false while a longer line has bytes left for MoreOfLine
  uint64_t length = 0;     // bytes of the whole line so far, newline included
};

// What the reader saw of the raw input, to explain an input without items.
struct InputProfile {
  uint64_t bytes = 0;
  uint64_t newlines = 0;
  uint64_t carriageReturns = 0;
  uint64_t nuls = 0;
  std::string head;  // the first few bytes (magic numbers of compressed files)
};

// Device and inode of an open file, to tell whether two paths are one file.
struct FileIdentity {
  bool known = false;
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity& other) const {
    return known && other.known && device == other.device && inode == other.inode;
  }
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
  // (see error()). Before the following Next, call MoreOfLine until it
  // returns false when line.complete is false.
  bool Next(LogLine* line);

  // The next piece of a line longer than kKeptLineBytes, up to and including
  // its newline; false when the line has ended (line->terminated says how).
  bool MoreOfLine(LogLine* line, std::string_view* piece);

  // Starts over at the first line. Only after Open(..., rewindable = true).
  bool Rewind(std::string* error);

  uint64_t bytesRead() const { return profile_.bytes; }
  // Size of the input when it is a regular file, else 0.
  uint64_t totalBytes() const { return totalBytes_; }
  const std::string& name() const { return name_; }
  const std::string& error() const { return error_; }
  const InputProfile& profile() const { return profile_; }
  const FileIdentity& identity() const { return identity_; }
  // The open input's file descriptor (-1 before Open), for reading it whole.
  int descriptor() const { return file_ != nullptr ? fileno(file_) : -1; }

 private:
  void Close();
  // Reads the next block into buffer_; false at the end or on an error.
  bool Fill();
  // Takes bytes of the current line up to and including a newline, at most
  // `limit`; sets *newline when the line ended.
  std::string_view Take(size_t limit, bool* newline);

  std::string name_;
  std::FILE* file_ = nullptr;
  bool ownsFile_ = false;
  std::FILE* spool_ = nullptr;  // copy of non-seekable input, for Rewind
  std::vector<char> buffer_;
  size_t begin_ = 0, end_ = 0;  // unread bytes of buffer_
  std::string line_;            // the kept part of the current line
  uint64_t lineNumber_ = 0;
  uint64_t totalBytes_ = 0;
  InputProfile profile_;
  FileIdentity identity_;
  std::string error_;
};

}  // namespace wendrake_cli
