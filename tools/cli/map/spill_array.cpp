#include "map/spill_array.h"

#include <unistd.h>

#include <cerrno>

namespace wendrake_cli {

SpillFile::~SpillFile() {
  if (file_ != nullptr) std::fclose(file_);
}

bool SpillFile::Append(const void* data, size_t bytes) {
  if (file_ == nullptr && (file_ = std::tmpfile()) == nullptr) return false;
  const int fd = fileno(file_);
  const char* at = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t written = write(fd, at, bytes);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    at += written;
    bytes -= static_cast<size_t>(written);
  }
  return true;
}

bool SpillFile::Read(uint64_t offset, void* data, size_t bytes) const {
  if (file_ == nullptr) {
    errno = EINVAL;
    return false;
  }
  const int fd = fileno(file_);
  char* at = static_cast<char*>(data);
  while (bytes > 0) {
    const ssize_t got = pread(fd, at, bytes, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got == 0) errno = EIO;
      return false;
    }
    at += got;
    offset += static_cast<uint64_t>(got);
    bytes -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace wendrake_cli
