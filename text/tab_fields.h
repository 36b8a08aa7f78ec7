// Splitting of log lines into TAB-separated fields.
#pragma once

#include <string_view>

namespace wendrake {

// Yields the fields of a line in order. A TAB ends a field and belongs to no
// field; two adjacent TABs enclose an empty field; a line that ends in a TAB
// has no empty last field, and an empty line has no field at all. Every other
// byte, blanks and NULs included, is field content.
class TabFields {
 public:
  explicit TabFields(std::string_view line) : rest_(line) {}

  bool Next(std::string_view* field) {
    if (done_ || rest_.empty()) return false;
    // Fields are a few bytes long: a plain scan beats a library call.
    size_t tab = 0;
    while (tab < rest_.size() && rest_[tab] != '\t') ++tab;
    if (tab == rest_.size()) {
      *field = rest_;
      done_ = true;
    } else {
      *field = rest_.substr(0, tab);
      rest_.remove_prefix(tab + 1);
    }
    return true;
  }

 private:
  std::string_view rest_;
  bool done_ = false;
};

}  // namespace wendrake
