#include "table/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "wendrake/table.h"

namespace wendrake {
namespace {

// Mapping every page in one call costs far less than a fault per page; a
// file larger than a quarter gigabyte faults its pages as it is read.
int PopulateFlag(size_t size) { return size <= (size_t{256} << 20) ? MAP_POPULATE : 0; }

}  // namespace

static_assert(WENDRAKE_ERROR_READ == -4, "ReadAll returns the read error by number");

MappedFile::~MappedFile() {
  if (data_ != nullptr) munmap(const_cast<char*>(data_), size_);
  if (fd_ >= 0) close(fd_);
}

int MappedFile::Open(const char* path, Access access) {
  fd_ = open(path, O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return WENDRAKE_ERROR_OPEN;
  struct stat info;
  if (fstat(fd_, &info) != 0) return WENDRAKE_ERROR_READ;
  if (S_ISDIR(info.st_mode)) {
    errno = EISDIR;
    return WENDRAKE_ERROR_READ;
  }
  if (access == Access::kMap && S_ISREG(info.st_mode) && info.st_size > 0) {
    const auto size = static_cast<size_t>(info.st_size);
    void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | PopulateFlag(size), fd_, 0);
    if (map != MAP_FAILED) {
      data_ = static_cast<const char*>(map);
      size_ = size;
      madvise(map, size_, MADV_SEQUENTIAL);
    }
  }
  return WENDRAKE_OK;
}

long MappedFile::ReadChunk(char* buffer, size_t capacity) {
  for (;;) {
    const ssize_t n = read(fd_, buffer, capacity);
    if (n >= 0 || errno != EINTR) return static_cast<long>(n);
  }
}

}  // namespace wendrake
