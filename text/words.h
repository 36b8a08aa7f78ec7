// Splitting of log lines into whitespace-delimited words, as the dispatcher
// reads a line's record token.
#pragma once

#include <cstddef>
#include <string_view>

namespace wendrake {

// Yields the words of a text in order; white space is the C locale's
// (blank, TAB, newline, vertical tab, form feed, carriage return). An empty
// view means no word is left.
class Words {
 public:
  explicit Words(std::string_view text) : rest_(text) {}

  std::string_view Next() {
    size_t start = 0;
    while (start < rest_.size() && IsWhiteSpace(rest_[start])) ++start;
    size_t end = start;
    while (end < rest_.size() && !IsWhiteSpace(rest_[end])) ++end;
    const std::string_view word = rest_.substr(start, end - start);
    rest_.remove_prefix(end);
    return word;
  }

 private:
  static bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  }

  std::string_view rest_;
};

}  // namespace wendrake
