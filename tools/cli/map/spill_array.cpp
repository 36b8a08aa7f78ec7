#include "map/spill_array.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace wendrake_cli {

SpillFile::~SpillFile() {
  if (fd_ >= 0) close(fd_);
}

// A file in $TMPDIR (else /tmp), removed at once: it is gone when closed,
// however the process ends.
bool SpillFile::Open() {
  const char* folder = std::getenv("TMPDIR");
  std::string path = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/wendrake-map-XXXXXX";
  fd_ = mkostemp(path.data(), O_CLOEXEC);
  if (fd_ < 0) return false;
  unlink(path.c_str());
  return true;
}

bool SpillFile::Append(const void* data, size_t bytes) {
  if (fd_ < 0 && !Open()) return false;
  const int fd = fd_;
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
  if (fd_ < 0) {
    errno = EINVAL;
    return false;
  }
  const int fd = fd_;
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
