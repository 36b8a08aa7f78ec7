#include "io/progress.h"

#include <unistd.h>

#include <cstdio>

#include "io/signal_cleanup.h"

namespace wendrake_cli {

Progress::Progress(uint64_t totalBytes, bool allowed)
    : total_(totalBytes), enabled_(allowed && totalBytes > kMinimumBytes && isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() { Finish(); }

void Progress::Update(uint64_t doneBytes) {
  if (!enabled_) return;
  if (doneBytes > total_) doneBytes = total_;
  const int percent = static_cast<int>(doneBytes * 100 / total_);
  if (percent == shown_) return;
  shown_ = percent;
  constexpr int kWidth = 40;
  char bar[kWidth + 1];
  const int filled = percent * kWidth / 100;
  for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
  bar[kWidth] = '\0';
  std::fprintf(stderr, "\r[%s] %3d%%  %.1f / %.1f MB", bar, percent, doneBytes / 1e6, total_ / 1e6);
  std::fflush(stderr);
  SetProgressBarShown(true);
}

void Progress::Finish() {
  if (!enabled_ || shown_ < 0) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  SetProgressBarShown(false);
  shown_ = -1;
}

}  // namespace wendrake_cli
