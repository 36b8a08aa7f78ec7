#include "log_bytes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace wendrake_cli {
namespace {

// Blocks that stay in the processor's cache while they are counted and copied.
constexpr size_t kReadBytes = size_t{64} << 10;
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

bool LogBytes::Load(const LogReader& reader, std::string* error) {
  const int fd = reader.descriptor();
  // A regular file's size (less where standard input stands in it already)
  // sizes the copy once; a file that grows meanwhile grows it.
  struct stat info {};
  if (fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    const off_t offset = lseek(fd, 0, SEEK_CUR);
    if (offset >= 0 && offset < info.st_size) read_.reserve(static_cast<size_t>(info.st_size - offset));
  }
  std::vector<char> block(kReadBytes);
  for (;;) {
    const ssize_t got = read(fd, block.data(), block.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = "cannot read " + reader.name() + ": " + std::strerror(errno);
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

InputProfile LogBytes::Profile() const { return profile_; }

}  // namespace wendrake_cli
