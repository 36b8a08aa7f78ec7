#include "io/signal_cleanup.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace wendrake_cli {
namespace {

// Only async-signal-safe state: a fixed buffer and lock-free flags.
char cleanupPath[PATH_MAX + 1];
std::atomic<bool> haveCleanupPath{false};
std::atomic<bool> progressShown{false};
static_assert(std::atomic<bool>::is_always_lock_free);

constexpr char kClearLine[] = "\r\033[K";

void OnSignal(int signal) {
  if (haveCleanupPath.load()) unlink(cleanupPath);
  if (progressShown.load()) {
    const ssize_t ignored = write(STDERR_FILENO, kClearLine, sizeof kClearLine - 1);
    (void)ignored;
  }
  ::signal(signal, SIG_DFL);
  raise(signal);
}

}  // namespace

void InstallSignalCleanup() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(signal, &action, nullptr);
  // A pipe's reader going away must end the tool, even when whoever started
  // it left SIGPIPE blocked.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  sigprocmask(SIG_UNBLOCK, &pipe, nullptr);
}

void SetSignalCleanupFile(const char* path) {
  haveCleanupPath.store(false);
  if (path == nullptr || std::strlen(path) > PATH_MAX) return;
  std::strcpy(cleanupPath, path);
  haveCleanupPath.store(true);
}

void SetProgressBarShown(bool shown) { progressShown.store(shown); }

}  // namespace wendrake_cli
