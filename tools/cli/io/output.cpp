#include "io/output.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "io/signal_cleanup.h"

namespace wendrake_cli {
namespace {

FileIdentity IdentityOf(const struct stat& info) { return FileIdentity{true, info.st_dev, info.st_ino}; }

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Permission bits a new file gets from fopen: 0666 less the umask.
mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

Output::~Output() { Discard(); }

void Output::Discard() {
  if (owns_) std::fclose(file_);
  owns_ = false;
  file_ = stdout;
  if (!temporary_.empty()) {
    SetSignalCleanupFile(nullptr);
    unlink(temporary_.c_str());
    temporary_.clear();
  }
}

std::string Output::Failure(int err) const {
  return "cannot write " + name_ + ": " + std::strerror(err != 0 ? err : EIO);
}

bool Output::Open(const std::string& path, const FileIdentity& input, std::string* error) {
  if (path.empty()) {
    *error = "the output file name is empty";
    return false;
  }
  struct stat info {};
  if (path == "-") {
    // "wendrake decode LOG >> LOG" would read its own output without end.
    if (fstat(STDOUT_FILENO, &info) == 0 && S_ISREG(info.st_mode) && IdentityOf(info) == input) {
      *error = "standard output is the input log; write elsewhere";
      return false;
    }
    return true;
  }
  name_ = path;
  if (stat(path.c_str(), &info) == 0 && IdentityOf(info) == input) {
    *error = "output " + path + " is the input log; write elsewhere";
    return false;
  }
  return OpenFile(path, error);
}

bool Output::OpenFile(const std::string& path, std::string* error) {
  struct stat info {};
  const bool exists = stat(path.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) {
    // A device or a pipe is written in place: it cannot be renamed over,
    // and there is no half-written file to fear.
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
      *error = Failure(errno);
      file_ = stdout;
      return false;
    }
    owns_ = true;
    return true;
  }
  // Through a symbolic link, the file it points to is replaced, not the link.
  final_ = path;
  struct stat link {};
  if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    std::unique_ptr<char, decltype(&free)> resolved(realpath(path.c_str(), nullptr), &free);
    if (resolved == nullptr) {
      *error = Failure(errno);
      return false;
    }
    final_ = resolved.get();
  }
  std::string pattern = FolderOf(final_) + "/." + BaseOf(final_) + ".XXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd < 0) {
    *error = Failure(errno);
    return false;
  }
  temporary_ = pattern;
  SetSignalCleanupFile(temporary_.c_str());
  // The file keeps the permissions it had, or gets those fopen would give.
  const mode_t mode = exists ? (info.st_mode & 07777) : NewFileMode();
  file_ = fchmod(fd, mode) == 0 ? fdopen(fd, "wb") : nullptr;
  if (file_ == nullptr) {
    *error = Failure(errno);
    close(fd);
    file_ = stdout;
    Discard();
    return false;
  }
  owns_ = true;
  return true;
}

void Output::Write(std::string_view bytes) {
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) throw WriteError(Failure(errno));
}

bool Output::Close(std::string* error) {
  errno = 0;
  int err = 0;
  if (std::fflush(file_) != 0 || std::ferror(file_)) err = errno != 0 ? errno : EIO;
  if (owns_) {
    errno = 0;
    const bool closed = std::fclose(file_) == 0;
    if (!closed && err == 0) err = errno != 0 ? errno : EIO;
    owns_ = false;
    file_ = stdout;
  }
  if (err == 0 && !temporary_.empty()) {
    if (rename(temporary_.c_str(), final_.c_str()) != 0) {
      err = errno;
    } else {
      SetSignalCleanupFile(nullptr);
      temporary_.clear();
    }
  }
  if (err != 0) {
    *error = Failure(err);
    Discard();
    return false;
  }
  return true;
}

bool Output::SharesTerminalWithStderr() const {
  if (file_ != stdout || !isatty(STDOUT_FILENO) || !isatty(STDERR_FILENO)) return false;
  struct stat out {}, err {};
  if (fstat(STDOUT_FILENO, &out) != 0 || fstat(STDERR_FILENO, &err) != 0) return true;
  return out.st_rdev == err.st_rdev;
}

}  // namespace wendrake_cli
