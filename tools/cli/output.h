// The destination of a command's output: standard output or a file.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace wendrake_cli {

class Output {
 public:
  Output() = default;
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // "" or "-" is standard output. False with a one-line `error`.
  bool Open(const std::string& path, std::string* error);
  void Write(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), file_); }
  // Flushes and closes; false with `error` when anything failed to write.
  bool Close(std::string* error);

 private:
  std::string name_ = "standard output";
  std::FILE* file_ = stdout;
  bool owns_ = false;
};

}  // namespace wendrake_cli
