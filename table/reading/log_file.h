// A log file read with read(2) in blocks, never mapped: when the file
// shrinks while it is read (a log rotated or truncated under the reader) the
// reading ends early at its new end, where a mapping would raise SIGBUS on
// the pages that vanished. Regular files, pipes, devices and /proc files are
// read alike.
#pragma once

#include <cstddef>
#include <vector>

namespace wendrake {

class LogFile {
 public:
  // Blocks of this size stay in the processor's cache while they are
  // decoded; reading them costs less than faulting in mapped pages.
  static constexpr size_t kBlockBytes = size_t{64} << 10;

  LogFile() = default;
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;
  ~LogFile();

  // WENDRAKE_OK, or WENDRAKE_ERROR_OPEN / _READ with errno set (EISDIR for
  // a directory).
  int Open(const char* path);

  // Reads up to `capacity` bytes: the number read, 0 at the end, -1 with
  // errno set on an error.
  long Read(char* buffer, size_t capacity);

  // Whether the file is a regular file, which can be read again.
  bool regular() const { return regular_; }

  // Goes back to the first byte of a regular file; false with errno set
  // when it cannot.
  bool Rewind();

  // Hands the rest of the file to feed(block, n), block by block from one
  // buffer reused for each; WENDRAKE_OK or WENDRAKE_ERROR_READ with errno set.
  template <typename Feed>
  int ReadAll(Feed&& feed);

 private:
  int fd_ = -1;
  bool regular_ = false;
  std::vector<char> block_;
};

template <typename Feed>
int LogFile::ReadAll(Feed&& feed) {
  block_.resize(kBlockBytes);
  for (;;) {
    const long n = Read(block_.data(), block_.size());
    if (n < 0) return -4;  // WENDRAKE_ERROR_READ
    if (n == 0) return 0;
    feed(static_cast<const char*>(block_.data()), static_cast<size_t>(n));
  }
}

}  // namespace wendrake
