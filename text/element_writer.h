// The writer of a report item's XML text: column elements and the envelope.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace wendrake {

// The text of the item under construction, bound to its 5120-byte text block.
// The text never runs past the block: at most 5119 bytes, leaving room for a
// terminating zero. Column elements are written whole or not at all, and room
// is always kept for the closing "</content>\n</message>\n" so the envelope
// can close.
//
// Only the first length() bytes are the text; what lies past them is left
// over from earlier lines. Hosts never see this block: the queue copies the
// text into a node and clears what the node's previous text left behind.
class XmlText {
 public:
  static constexpr size_t kBlockSize = 5120;
  static constexpr size_t kMaxLength = kBlockSize - 1;
  static constexpr size_t kEnvelopeCloseLength = 22;  // "</content>\n</message>\n"
  // An element may end no later than this, so the envelope close still fits.
  static constexpr size_t kElementLimit = kMaxLength - kEnvelopeCloseLength;

  explicit XmlText(char* block) : block_(block) {}

  // Starts a new line's text: length 0, and elements may be written again.
  void Reset() {
    length_ = 0;
    elementsCut_ = false;
  }

  // Marks `length` leading bytes as written by someone else (binary text of
  // layer-3 items).
  void MarkWritten(size_t length);

  const char* data() const { return block_; }
  char* data() { return block_; }
  size_t length() const { return length_; }

  // Appends raw bytes when the text stays within `limit` bytes (never more
  // than kMaxLength); returns false (and appends nothing) otherwise. Inline,
  // so appending a constant copies it without a library call.
  bool Append(const char* bytes, size_t count, size_t limit = kMaxLength) {
    char* at = Extend(count, limit);
    if (at != nullptr && count > 0) std::memcpy(at, bytes, count);
    return at != nullptr;
  }

  // Extends the text by `count` bytes and returns where they go, or null
  // (extending nothing) when the text would pass `limit` bytes (never more
  // than kMaxLength). Writers that store fixed-size blocks may also write up
  // to `slack` bytes of scratch past the extension; the extension and the
  // scratch together must then fit within the limit.
  char* Extend(size_t count, size_t limit, size_t slack = 0) {
    // length_ never passes kMaxLength and counts are line-sized, so the sum
    // cannot wrap.
    if (length_ + count + slack > (limit < kMaxLength ? limit : kMaxLength)) return nullptr;
    char* at = block_ + length_;
    length_ += count;
    return at;
  }

  // Once one element of a line is left out for want of room, the later
  // elements of that line are left out too.
  bool elementsCut() const { return elementsCut_; }
  void CutElements() { elementsCut_ = true; }

 private:
  char* block_;
  size_t length_ = 0;
  bool elementsCut_ = false;
};

// The open and close tags of one element name ("<name>" and "</name>\n"),
// formed once when a column is registered rather than for every value.
// Registered names hold at most 31 bytes.
class ElementTags {
 public:
  static constexpr size_t kMaxName = 31;

  ElementTags() { Form(""); }
  // Forms the tags of a name: spaces stripped from both ends, inner spaces
  // turned into underscores; the close tag repeats what follows the open
  // tag's last "<" (a name may itself hold one).
  void Form(const char* name);

  // Each tag is kept zero-padded to kPadded bytes, so it can be written as
  // one fixed-size block (see XmlText::Extend).
  static constexpr size_t kPadded = 48;

  std::string_view open() const { return {open_, openLength_}; }
  std::string_view close() const { return {close_, closeLength_}; }
  const char* paddedOpen() const { return open_; }
  const char* paddedClose() const { return close_; }

 private:
  static_assert(kPadded >= kMaxName + 4);
  char open_[kPadded] = {};
  char close_[kPadded] = {};
  uint8_t openLength_ = 0;
  uint8_t closeLength_ = 0;
};

// Appends the element "<name>value</name>\n" whole, or nothing (and nothing
// more until the next Reset) when after it the envelope close would no longer
// fit. A C-string value ends at its first NUL: the caller cuts the value
// there (ValueUpToNul) before handing it in.
bool AppendElement(const ElementTags& tags, std::string_view value, XmlText* out);

// The part of a field a C string would hold: up to its first NUL.
inline std::string_view ValueUpToNul(std::string_view field) {
  return field.substr(0, field.find('\0'));
}

}  // namespace wendrake
