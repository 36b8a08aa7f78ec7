#include "log_bytes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace wendrake_cli {
namespace {

// Blocks that stay in the processor's cache while their lines are checked.
constexpr size_t kReadBytes = size_t{64} << 10;
constexpr size_t kHeadBytes = 8;

// Occurrences of `c` in `bytes`: memchr's vector search skips the runs
// between them.
uint64_t CountByte(std::string_view bytes, char c) {
  uint64_t n = 0;
  const char* at = bytes.data();
  const char* end = at + bytes.size();
  while ((at = static_cast<const char*>(std::memchr(at, c, static_cast<size_t>(end - at)))) != nullptr) {
    ++n;
    ++at;
  }
  return n;
}

}  // namespace

bool LogBytes::Load(const LogReader& reader, std::string* error) {
  const int fd = reader.descriptor();
  // A regular file's size (less where standard input stands in it already)
  // sizes the memory once; a file that grows meanwhile grows it.
  struct stat info {};
  size_t expected = 0;
  if (fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    const off_t offset = lseek(fd, 0, SEEK_CUR);
    if (offset >= 0 && offset < info.st_size) expected = static_cast<size_t>(info.st_size - offset);
  }
  Reserve(expected + kReadBytes);
  for (;;) {
    Reserve(kReadBytes);
    const ssize_t got = read(fd, kept_.get() + size_, kReadBytes);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = "cannot read " + reader.name() + ": " + std::strerror(errno);
      return false;
    }
    if (got == 0) break;
    const auto n = static_cast<size_t>(got);
    if (profile_.head.size() < kHeadBytes) {
      profile_.head.append(kept_.get() + size_, std::min(n, kHeadBytes - profile_.head.size()));
    }
    profile_.bytes += n;
    Keep(n);
  }
  return true;
}

void LogBytes::Reserve(size_t bytes) {
  if (capacity_ - size_ >= bytes) return;
  const size_t capacity = std::max(size_ + bytes, capacity_ * 2);
  std::unique_ptr<char[]> grown(new char[capacity]);  // left uninitialised: read into
  if (size_ > 0) std::memcpy(grown.get(), kept_.get(), size_);
  kept_ = std::move(grown);
  capacity_ = capacity;
}

void LogBytes::Keep(size_t n) {
  constexpr uint64_t kKeep = kKeptLineBytes + 1;
  char* base = kept_.get();
  const size_t end = size_ + n;
  size_t at = size_;     // start of the current line's bytes in the block
  size_t write = size_;  // where the next kept bytes go
  size_t run = size_;    // start of the kept bytes not yet moved to `write`
  while (at < end) {
    if (lineBytes_ < kKeep) {
      // The line is kept whole when its newline lies within the next
      // kKeep - lineBytes_ bytes. Every line that ends in that window is
      // shorter than it: skip to the last newline there.
      const auto limit = static_cast<size_t>(kKeep - lineBytes_);
      const size_t window = std::min(end - at, limit + 1);
      const void* last = memrchr(base + at, '\n', window);
      if (last != nullptr) {
        at = static_cast<size_t>(static_cast<const char*>(last) - base) + 1;
        lineBytes_ = 0;
        continue;
      }
      if (window <= limit) {  // the block ends before the line is too long
        lineBytes_ += window;
        break;
      }
    }
    // A line too long: its first kKeep bytes are kept, the rest up to its
    // newline dropped (and counted).
    const size_t cut = at + static_cast<size_t>(lineBytes_ < kKeep ? kKeep - lineBytes_ : 0);
    std::memmove(base + write, base + run, cut - run);
    write += cut - run;
    const void* newline = std::memchr(base + cut, '\n', end - cut);
    const size_t dropEnd = newline != nullptr ? static_cast<size_t>(static_cast<const char*>(newline) - base) : end;
    const std::string_view dropped(base + cut, dropEnd - cut);
    profile_.carriageReturns += CountByte(dropped, '\r');
    profile_.nuls += CountByte(dropped, '\0');
    run = dropEnd;  // the newline, if any, is kept
    if (newline == nullptr) {
      lineBytes_ += end - at;
      at = end;
    } else {
      lineBytes_ = 0;
      at = dropEnd + 1;
    }
  }
  std::memmove(base + write, base + run, end - run);
  size_ = write + (end - run);
}

InputProfile LogBytes::Profile() const {
  InputProfile profile = profile_;
  const std::string_view kept = bytes();
  profile.newlines = static_cast<uint64_t>(std::count(kept.begin(), kept.end(), '\n'));
  profile.carriageReturns += CountByte(kept, '\r');
  profile.nuls += CountByte(kept, '\0');
  return profile;
}

}  // namespace wendrake_cli
