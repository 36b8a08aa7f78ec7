// The destination of a command's output: standard output or a file.
//
// A file is written under a temporary name in its folder and renamed over
// the final name only when everything was written, so a failed or
// interrupted run never leaves a half-written file under that name (nor a
// temporary one behind). The output may never be the input log itself.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

#include "io/log_reader.h"

namespace wendrake_cli {

// Thrown by Output::Write at the first byte that cannot be written, so the
// command stops at once; what() is the one-line message.
class WriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Output {
 public:
  Output() = default;
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // "-" is standard output. Refuses an output that is the file `input`
  // (also through another path or a link). False with a one-line `error`.
  bool Open(const std::string& path, const FileIdentity& input, std::string* error);
  void Write(std::string_view bytes);
  // Flushes, closes and renames into place; false with `error` when
  // anything failed to write.
  bool Close(std::string* error);

  // True when the output is standard output on the terminal that standard
  // error shows, where a progress bar would mix with the output.
  bool SharesTerminalWithStderr() const;

 private:
  bool OpenFile(const std::string& path, std::string* error);
  void Discard();
  std::string Failure(int err) const;

  std::string name_ = "standard output";
  std::FILE* file_ = stdout;
  bool owns_ = false;
  std::string final_;      // path to rename the temporary file to
  std::string temporary_;  // empty when writing in place
};

}  // namespace wendrake_cli
