// Gathers chunks of log text, split anywhere, into complete lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace wendrake {

// Lines wholly inside a chunk are handed over where they stand; the others
// are gathered in an 8192-byte buffer. A line is handled with its newline;
// one that reaches 8192 bytes without a newline is dropped whole, up to and
// including its newline, however many chunks carry it, and so is a line whose
// newline would be its 8192nd byte.
// The text of a complete line of n bytes: it ends before its newline, and
// before a carriage return directly in front of it (a CR LF line end).
inline std::string_view LineText(const char* line, int n) {
  size_t length = static_cast<size_t>(n - 1);
  if (length > 0 && line[length - 1] == '\r') --length;
  return {line, length};
}

class LineAssembler {
 public:
  static constexpr int kBufferSize = 8192;

  // Calls onLine(line, n) for every complete line of n bytes (newline
  // included). Stops and returns false as soon as onLine returns false.
  template <typename OnLine>
  bool Feed(const char* text, size_t length, OnLine&& onLine);

  // Newlines seen so far: inside onLine, the number of the line handed over
  // (dropped lines counted too).
  uint64_t lineCount() const { return lineCount_; }

  // Whether bytes of an unfinished line are held (or being skipped).
  bool pending() const { return length_ > 0 || discarding_; }

 private:
  int32_t length_ = 0;
  bool discarding_ = false;  // skipping an over-long line up to its newline
  uint64_t lineCount_ = 0;
  char buffer_[kBufferSize];
};

template <typename OnLine>
bool LineAssembler::Feed(const char* text, size_t length, OnLine&& onLine) {
  const char* end = text + length;
  while (text < end) {
    const char* newline = static_cast<const char*>(std::memchr(text, '\n', static_cast<size_t>(end - text)));
    if (discarding_) {
      if (newline == nullptr) break;
      text = newline + 1;
      discarding_ = false;
      ++lineCount_;
      continue;
    }
    const char* line = buffer_;
    int n = 0;
    if (newline != nullptr && length_ == 0 && newline - text < kBufferSize - 1) {
      line = text;
      n = static_cast<int>(newline - text) + 1;
      text = newline + 1;
    } else {
      const char* contentEnd = newline != nullptr ? newline : end;
      const ptrdiff_t room = kBufferSize - length_;
      if (contentEnd - text >= room) {
        length_ = 0;
        discarding_ = true;
        text += room;
        continue;
      }
      std::memcpy(buffer_ + length_, text, static_cast<size_t>(contentEnd - text));
      length_ += static_cast<int32_t>(contentEnd - text);
      text = contentEnd;
      if (newline == nullptr) break;
      ++text;
      buffer_[length_++] = '\n';
      n = length_;
      // Cleared before the line is handled, so a line whose handling fails
      // never prefixes the next one.
      length_ = 0;
      if (n >= kBufferSize) {
        ++lineCount_;
        continue;
      }
    }
    ++lineCount_;
    if (!onLine(line, n)) return false;
  }
  return true;
}

}  // namespace wendrake
