#include "io/log_bytes.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace wendrake_cli {
namespace {

// Blocks that stay in the processor's cache while their lines are checked.
constexpr size_t kReadBytes = size_t{64} << 10;
constexpr size_t kHeadBytes = 8;
constexpr size_t kPageBytes = 4096;

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
    Populate(kReadBytes);
    const ssize_t got = read(fd, kept_ + size_, kReadBytes);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = "cannot read " + reader.name() + ": " + std::strerror(errno);
      return false;
    }
    if (got == 0) break;
    const auto n = static_cast<size_t>(got);
    if (profile_.head.size() < kHeadBytes) {
      profile_.head.append(kept_ + size_, std::min(n, kHeadBytes - profile_.head.size()));
    }
    profile_.bytes += n;
    Keep(n);
  }
  return true;
}

void LogBytes::Reserve(size_t bytes) {
  if (capacity_ - size_ < bytes) {
    const size_t capacity = std::max(size_ + bytes, capacity_ * 2);
    void* grown = mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (grown == MAP_FAILED) throw std::bad_alloc();
    if (size_ > 0) std::memcpy(grown, kept_, size_);
    if (kept_ != nullptr) munmap(kept_, capacity_);
    kept_ = static_cast<char*>(grown);
    capacity_ = capacity;
    populated_ = size_;
  }
}

void LogBytes::Populate(size_t bytes) {
  // The pages about to be read into are made present a few megabytes at a
  // time, rather than by a fault per page as the reads fill them (the faults
  // cost more than the reading); only pages that will hold kept bytes are
  // taken. This is memory, not the file: nothing here goes when the file
  // shrinks. Kernels without MADV_POPULATE_WRITE fault the pages in.
  constexpr size_t kPopulateBytes = size_t{4} << 20;
  if (size_ + bytes > populated_ && populated_ < capacity_) {
    const size_t to = std::min(capacity_, std::max(size_ + bytes, populated_ + kPopulateBytes));
#ifdef MADV_POPULATE_WRITE
    const size_t from = populated_ / kPageBytes * kPageBytes;  // madvise takes whole pages
    if (madvise(kept_ + from, to - from, MADV_POPULATE_WRITE) != 0) populated_ = capacity_;
#endif
    populated_ = std::max(populated_, to);
  }
}

void LogBytes::Keep(size_t n) {
  constexpr uint64_t kKeep = kKeptLineBytes + 1;
  char* base = kept_;
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

LogBytes::~LogBytes() {
  if (kept_ != nullptr) munmap(kept_, capacity_);
}

}  // namespace wendrake_cli
