// A log file for reading whole: mapped into memory where it can be, read in
// chunks where it cannot (pipes, devices, /proc files).
#pragma once

#include <cstddef>
#include <vector>

namespace wendrake {

class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  // How a regular file is read: mapped whole, or in chunks like a pipe.
  enum class Access { kMap, kChunks };

  // WENDRAKE_OK, or WENDRAKE_ERROR_OPEN / _READ with errno set.
  int Open(const char* path, Access access = Access::kMap);

  bool mapped() const { return data_ != nullptr; }
  const char* data() const { return data_; }
  size_t size() const { return size_; }

  // For a file that could not be mapped: hands its bytes to feed(chunk, n)
  // chunk by chunk; WENDRAKE_OK or WENDRAKE_ERROR_READ with errno set.
  template <typename Feed>
  int ReadAll(Feed&& feed);

  // Reads up to `capacity` bytes of a file that is not mapped: the
  // number read, 0 at its end, -1 with errno set on an error.
  long ReadChunk(char* buffer, size_t capacity);

 private:
  int fd_ = -1;
  const char* data_ = nullptr;
  size_t size_ = 0;
};

template <typename Feed>
int MappedFile::ReadAll(Feed&& feed) {
  std::vector<char> chunk(1 << 20);
  for (;;) {
    const long n = ReadChunk(chunk.data(), chunk.size());
    if (n < 0) return -4;  // WENDRAKE_ERROR_READ
    if (n == 0) return 0;
    feed(chunk.data(), static_cast<size_t>(n));
  }
}

}  // namespace wendrake
