#include "io/log_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace wendrake_cli {
namespace {

constexpr size_t kBlockBytes = 64 * 1024;
constexpr size_t kHeadBytes = 8;

std::string Describe(const std::string& name, int err) {
  return "cannot read " + name + ": " + std::strerror(err);
}

FileIdentity IdentityOf(const struct stat& info) { return FileIdentity{true, info.st_dev, info.st_ino}; }

}  // namespace

LogReader::~LogReader() { Close(); }

void LogReader::Close() {
  if (ownsFile_ && file_ != nullptr) std::fclose(file_);
  if (spool_ != nullptr) std::fclose(spool_);
  file_ = nullptr;
  spool_ = nullptr;
  ownsFile_ = false;
}

bool LogReader::Open(const std::string& path, bool rewindable, std::string* error) {
  Close();
  name_ = path == "-" ? "standard input" : path;
  lineNumber_ = totalBytes_ = 0;
  begin_ = end_ = 0;
  profile_ = InputProfile{};
  error_.clear();
  buffer_.resize(kBlockBytes);

  if (path.empty()) {
    *error = "the log file name is empty";
    return false;
  }
  struct stat info {};
  if (path == "-") {
    file_ = stdin;
    if (fstat(fileno(stdin), &info) != 0) {
      *error = Describe(name_, errno);
      return false;
    }
  } else {
    // stat first: fopen succeeds on a directory, and its read error later
    // would be a less helpful message.
    if (stat(path.c_str(), &info) != 0) {
      *error = Describe(name_, errno);
      return false;
    }
    if (S_ISDIR(info.st_mode)) {
      *error = "cannot read " + name_ + ": is a directory";
      return false;
    }
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) {
      *error = Describe(name_, errno);
      return false;
    }
    ownsFile_ = true;
    // The file actually opened, not the path, identifies the input.
    if (fstat(fileno(file_), &info) != 0) {
      *error = Describe(name_, errno);
      return false;
    }
  }
  identity_ = IdentityOf(info);
  const bool regular = S_ISREG(info.st_mode);
  if (regular) totalBytes_ = static_cast<uint64_t>(info.st_size);
  if (rewindable && !regular) {
    spool_ = std::tmpfile();
    if (spool_ == nullptr) {
      *error = "cannot create a temporary file: " + std::string(std::strerror(errno));
      return false;
    }
  }
  return true;
}

bool LogReader::Fill() {
  if (file_ == nullptr) return false;
  errno = 0;
  const size_t got = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  const int readErrno = errno;
  if (got == 0) {
    if (std::ferror(file_)) error_ = Describe(name_, readErrno != 0 ? readErrno : EIO);
    return false;
  }
  if (spool_ != nullptr && std::fwrite(buffer_.data(), 1, got, spool_) != got) {
    error_ = "cannot write the temporary copy of " + name_ + ": " + std::strerror(errno);
    return false;
  }
  const std::string_view block(buffer_.data(), got);
  if (profile_.head.size() < kHeadBytes) profile_.head += block.substr(0, kHeadBytes - profile_.head.size());
  profile_.bytes += got;
  profile_.newlines += static_cast<uint64_t>(std::count(block.begin(), block.end(), '\n'));
  profile_.carriageReturns += static_cast<uint64_t>(std::count(block.begin(), block.end(), '\r'));
  profile_.nuls += static_cast<uint64_t>(std::count(block.begin(), block.end(), '\0'));
  begin_ = 0;
  end_ = got;
  return true;
}

std::string_view LogReader::Take(size_t limit, bool* newline) {
  *newline = false;
  if (begin_ == end_ && (!error_.empty() || !Fill())) return {};
  const char* start = buffer_.data() + begin_;
  const size_t available = std::min(end_ - begin_, limit);
  const void* found = std::memchr(start, '\n', available);
  const size_t length = found != nullptr ? static_cast<const char*>(found) - start + 1 : available;
  *newline = found != nullptr;
  begin_ += length;
  return std::string_view(start, length);
}

bool LogReader::Next(LogLine* line) {
  line_.clear();
  bool newline = false;
  while (!newline && line_.size() < kKeptLineBytes) {
    const std::string_view piece = Take(kKeptLineBytes - line_.size(), &newline);
    if (piece.empty()) break;
    line_.append(piece);
  }
  if (line_.empty()) return false;
  line->number = ++lineNumber_;
  line->bytes = line_;
  line->length = line_.size();
  line->terminated = newline;
  // A line that filled the kept bytes may go on, unless the input ends here.
  line->complete = newline || (begin_ == end_ && !Fill());
  return true;
}

bool LogReader::MoreOfLine(LogLine* line, std::string_view* piece) {
  if (line->complete) return false;
  bool newline = false;
  *piece = Take(kBlockBytes, &newline);
  if (piece->empty()) {
    line->complete = true;
    return false;
  }
  line->length += piece->size();
  if (newline) {
    line->terminated = true;
    line->complete = true;
  }
  return true;
}

bool LogReader::Rewind(std::string* error) {
  if (spool_ != nullptr) {
    // Copy what is left of the input, then read the copy from now on.
    while (error_.empty() && Fill()) {
    }
    if (!error_.empty()) {
      *error = error_;
      return false;
    }
    if (ownsFile_) std::fclose(file_);
    file_ = spool_;
    ownsFile_ = true;
    spool_ = nullptr;
  }
  if (file_ == nullptr || std::fseek(file_, 0, SEEK_SET) != 0) {
    *error = "cannot read " + name_ + " twice";
    return false;
  }
  std::clearerr(file_);
  lineNumber_ = 0;
  begin_ = end_ = 0;
  profile_ = InputProfile{};
  error_.clear();
  return true;
}

}  // namespace wendrake_cli
