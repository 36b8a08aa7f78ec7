// A progress bar on standard error for long inputs.
#pragma once

#include <cstdint>

namespace wendrake_cli {

class Progress {
 public:
  // Shown only for inputs larger than 4 MB, only when standard error is a
  // terminal (so redirected output and tests never see it) and only when
  // `allowed` (false when the output goes to the same terminal, where the
  // bar would mix with it).
  Progress(uint64_t totalBytes, bool allowed);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Update(uint64_t doneBytes);
  // Clears the bar's line.
  void Finish();

  static constexpr uint64_t kMinimumBytes = 4u << 20;

 private:
  uint64_t total_;
  bool enabled_;
  int shown_ = -1;  // last percentage drawn
};

}  // namespace wendrake_cli
