#include "output.h"

#include <cerrno>
#include <cstring>

namespace wendrake_cli {

Output::~Output() {
  if (owns_) std::fclose(file_);
}

bool Output::Open(const std::string& path, std::string* error) {
  if (path.empty() || path == "-") return true;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  file_ = file;
  owns_ = true;
  name_ = path;
  return true;
}

bool Output::Close(std::string* error) {
  bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
  if (owns_) {
    ok = std::fclose(file_) == 0 && ok;
    owns_ = false;
    file_ = stdout;
  }
  if (!ok) *error = "cannot write " + name_ + ": " + std::strerror(errno);
  return ok;
}

}  // namespace wendrake_cli
