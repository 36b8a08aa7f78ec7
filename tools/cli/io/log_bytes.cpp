#include "io/log_bytes.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace wendrake_cli {
namespace {

constexpr size_t kReadBytes = 1 << 20;
constexpr size_t kHeadBytes = 8;

// Adds the counts of one block of raw input.
void Count(std::string_view block, InputProfile* profile) {
  if (profile->head.size() < kHeadBytes) profile->head += block.substr(0, kHeadBytes - profile->head.size());
  profile->bytes += block.size();
  for (const char c : block) {
    profile->newlines += c == '\n';
    profile->carriageReturns += c == '\r';
    profile->nuls += c == '\0';
  }
}

}  // namespace

LogBytes::~LogBytes() {
  if (map_ != nullptr) munmap(map_, mapSize_);
}

bool LogBytes::Load(const LogReader& reader, std::string* error) {
  const int fd = reader.descriptor();
  struct stat info {};
  if (fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    // Standard input may be a file read in part already: start where it stands.
    const off_t offset = lseek(fd, 0, SEEK_CUR);
    const size_t size = static_cast<size_t>(info.st_size);
    if (offset >= 0 && static_cast<size_t>(offset) >= size) return true;  // nothing left
    if (offset >= 0 && Map(fd, size, static_cast<size_t>(offset))) return true;
  }
  return Read(fd, reader.name(), error);
}

bool LogBytes::Map(int fd, size_t size, size_t offset) {
  // Mapping every page in one call costs far less than a fault per page; a
  // file larger than a quarter gigabyte faults its pages as it is read.
  const int populate = size <= (size_t{256} << 20) ? MAP_POPULATE : 0;
  void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | populate, fd, 0);
  if (map == MAP_FAILED) return false;
  madvise(map, size, MADV_SEQUENTIAL);
  map_ = map;
  mapSize_ = size;
  bytes_ = std::string_view(static_cast<const char*>(map) + offset, size - offset);
  return true;
}

bool LogBytes::Read(int fd, const std::string& name, std::string* error) {
  std::vector<char> block(kReadBytes);
  for (;;) {
    const ssize_t got = read(fd, block.data(), block.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = "cannot read " + name + ": " + std::strerror(errno);
      return false;
    }
    if (got == 0) break;
    const std::string_view bytes(block.data(), static_cast<size_t>(got));
    Count(bytes, &profile_);
    Keep(bytes);
  }
  bytes_ = read_;
  return true;
}

void LogBytes::Keep(std::string_view block) {
  constexpr uint64_t kKeep = kKeptLineBytes + 1;
  while (!block.empty()) {
    const size_t newline = block.find('\n');
    const size_t length = newline == std::string_view::npos ? block.size() : newline;
    // Bytes of this line before its newline, up to kKeep in all.
    const uint64_t room = lineBytes_ < kKeep ? kKeep - lineBytes_ : 0;
    read_.append(block.substr(0, static_cast<size_t>(std::min<uint64_t>(room, length))));
    if (newline == std::string_view::npos) {
      lineBytes_ += length;
      return;
    }
    read_.push_back('\n');
    lineBytes_ = 0;
    block.remove_prefix(newline + 1);
  }
}

InputProfile LogBytes::Profile() const {
  if (map_ == nullptr) return profile_;
  InputProfile profile;
  Count(bytes_, &profile);
  return profile;
}

}  // namespace wendrake_cli
