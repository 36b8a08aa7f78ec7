// Counting the lines of log text, for sizing tables and cutting pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace wendrake {

// Newlines in n bytes, eight bytes at a time: a byte that is a newline
// becomes zero, and each zero byte sets exactly its top bit (no population
// count instruction is assumed of the processor).
inline size_t CountNewlines(const char* text, size_t n) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  constexpr uint64_t kNewlines = 0x0A0A0A0A0A0A0A0Aull;
  size_t count = 0;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, text + i, 8);
    const uint64_t x = word ^ kNewlines;
    const uint64_t zeros = ~(((x & kLow7) + kLow7) | x | kLow7);
    // One bit per byte, summed into the top byte by the multiplication.
    count += static_cast<size_t>(((zeros >> 7) * 0x0101010101010101ull) >> 56);
  }
  for (; i < n; ++i) count += text[i] == '\n' ? 1 : 0;
  return count;
}

// Bytes of `text` up to and including its `lines`-th newline (all of it when
// it has fewer), and the newlines in them. Newlines are counted a block at a
// time until the block that holds the last one, so most of the text costs no
// call per line.
inline size_t PrefixOfLines(std::string_view text, size_t lines, size_t* newlines) {
  constexpr size_t kBlock = 4096;
  const char* at = text.data();
  const char* end = at + text.size();
  *newlines = 0;
  while (static_cast<size_t>(end - at) >= kBlock) {
    const size_t inBlock = CountNewlines(at, kBlock);
    if (*newlines + inBlock >= lines) break;
    *newlines += inBlock;
    at += kBlock;
  }
  while (*newlines < lines && at < end) {
    const void* found = std::memchr(at, '\n', static_cast<size_t>(end - at));
    if (found == nullptr) return text.size();
    at = static_cast<const char*>(found) + 1;
    ++*newlines;
  }
  return static_cast<size_t>(at - text.data());
}

}  // namespace wendrake
