#include "log_reader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace wendrake_cli {
namespace {

std::string Describe(const std::string& name, int err) {
  return "cannot read " + name + ": " + std::strerror(err);
}

}  // namespace

LogReader::~LogReader() {
  Close();
  std::free(buffer_);
}

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
  lineNumber_ = bytesRead_ = totalBytes_ = 0;
  error_.clear();

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
  }
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

bool LogReader::Next(LogLine* line) {
  if (file_ == nullptr) return false;
  errno = 0;
  const ssize_t length = getline(&buffer_, &capacity_, file_);
  if (length < 0) {
    if (std::ferror(file_)) error_ = Describe(name_, errno != 0 ? errno : EIO);
    return false;
  }
  if (spool_ != nullptr && std::fwrite(buffer_, 1, length, spool_) != static_cast<size_t>(length)) {
    error_ = "cannot write the temporary copy of " + name_;
    return false;
  }
  line->number = ++lineNumber_;
  line->bytes = std::string_view(buffer_, static_cast<size_t>(length));
  line->terminated = buffer_[length - 1] == '\n';
  bytesRead_ += static_cast<uint64_t>(length);
  return true;
}

bool LogReader::Rewind(std::string* error) {
  if (spool_ != nullptr) {
    // The whole input has been copied; read the copy from now on.
    while (!std::feof(file_) && !std::ferror(file_)) {
      LogLine ignored;
      if (!Next(&ignored)) break;
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
  lineNumber_ = bytesRead_ = 0;
  error_.clear();
  return true;
}

}  // namespace wendrake_cli
