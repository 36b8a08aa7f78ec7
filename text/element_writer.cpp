#include "text/element_writer.h"

#include <algorithm>
#include <cstring>

namespace wendrake {

void XmlText::MarkWritten(size_t length) { length_ = std::min(length, kBlockSize); }

namespace {

// The open tag is formed in a 256-byte scratch: "<", name, ">" and a zero.
constexpr size_t kTagScratchSize = 256;
constexpr size_t kMaxTagName = kTagScratchSize - 3;

// Forms "<name>" in `tag` and returns its length (without the zero).
size_t FormOpenTag(const char* name, char* tag) {
  const char* begin = name != nullptr ? name : "";
  while (*begin == ' ') ++begin;
  const char* end = begin + std::strlen(begin);
  while (end > begin && end[-1] == ' ') --end;
  size_t n = std::min(static_cast<size_t>(end - begin), kMaxTagName);
  tag[0] = '<';
  for (size_t i = 0; i < n; ++i) tag[i + 1] = begin[i] == ' ' ? '_' : begin[i];
  tag[n + 1] = '>';
  tag[n + 2] = '\0';
  return n + 2;
}

}  // namespace

void ElementTags::Form(const char* name) {
  char tag[kTagScratchSize];
  char cut[kMaxName + 1] = {};
  std::strncpy(cut, name != nullptr ? name : "", kMaxName);
  const size_t tagLength = FormOpenTag(cut, tag);
  const size_t lastOpen = static_cast<size_t>(std::strrchr(tag, '<') - tag);
  std::memset(open_, 0, sizeof open_);
  std::memset(close_, 0, sizeof close_);
  std::memcpy(open_, tag, tagLength);
  openLength_ = static_cast<uint8_t>(tagLength);
  const size_t rest = tagLength - lastOpen - 1;
  std::memcpy(close_, "</", 2);
  std::memcpy(close_ + 2, tag + lastOpen + 1, rest);
  close_[2 + rest] = '\n';
  closeLength_ = static_cast<uint8_t>(3 + rest);
}

namespace {

// Copies the few bytes of a tag or value without a library call: two
// overlapping fixed-size copies cover every length up to twice their size.
inline void CopyShort(char* to, const char* from, size_t n) {
  if (n >= 16 && n <= 32) {
    std::memcpy(to, from, 16);
    std::memcpy(to + n - 16, from + n - 16, 16);
  } else if (n >= 8 && n < 16) {
    std::memcpy(to, from, 8);
    std::memcpy(to + n - 8, from + n - 8, 8);
  } else if (n >= 4 && n < 8) {
    std::memcpy(to, from, 4);
    std::memcpy(to + n - 4, from + n - 4, 4);
  } else if (n >= 2 && n < 4) {
    std::memcpy(to, from, 2);
    std::memcpy(to + n - 2, from + n - 2, 2);
  } else if (n == 1) {
    *to = *from;
  } else if (n > 32) {
    std::memcpy(to, from, n);
  }
}

}  // namespace

bool AppendElement(const ElementTags& tags, std::string_view value, XmlText* out) {
  if (out->elementsCut()) return false;
  const std::string_view open = tags.open(), close = tags.close();
  const size_t count = open.size() + value.size() + close.size();
  constexpr size_t kPadded = ElementTags::kPadded;
  if (char* at = out->Extend(count, XmlText::kElementLimit, kPadded)) {
    // Tags go in as whole padded blocks: the close tag overwrites what the
    // open tag's padding left after the value, and its own padding lands in
    // the slack.
    std::memcpy(at, tags.paddedOpen(), kPadded);
    CopyShort(at + open.size(), value.data(), value.size());
    std::memcpy(at + open.size() + value.size(), tags.paddedClose(), kPadded);
    return true;
  }
  char* at = out->Extend(count, XmlText::kElementLimit);
  if (at == nullptr) {
    out->CutElements();
    return false;
  }
  CopyShort(at, open.data(), open.size());
  CopyShort(at + open.size(), value.data(), value.size());
  CopyShort(at + open.size() + value.size(), close.data(), close.size());
  return true;
}

}  // namespace wendrake
