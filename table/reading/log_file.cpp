#include "table/reading/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "wendrake/table.h"

namespace wendrake {

static_assert(WENDRAKE_ERROR_READ == -4, "ReadAll returns the read error by number");

LogFile::~LogFile() {
  if (fd_ >= 0) close(fd_);
}

int LogFile::Open(const char* path) {
  fd_ = open(path, O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return WENDRAKE_ERROR_OPEN;
  struct stat info;
  if (fstat(fd_, &info) != 0) return WENDRAKE_ERROR_READ;
  if (S_ISDIR(info.st_mode)) {
    errno = EISDIR;
    return WENDRAKE_ERROR_READ;
  }
  regular_ = S_ISREG(info.st_mode);
  if (regular_) posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  return WENDRAKE_OK;
}

long LogFile::Read(char* buffer, size_t capacity) {
  for (;;) {
    const ssize_t n = read(fd_, buffer, capacity);
    if (n >= 0 || errno != EINTR) return static_cast<long>(n);
  }
}

bool LogFile::Rewind() {
  if (!regular_) {
    errno = ESPIPE;
    return false;
  }
  return lseek(fd_, 0, SEEK_SET) == 0;
}

}  // namespace wendrake
