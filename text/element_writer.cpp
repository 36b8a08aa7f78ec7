#include "text/element_writer.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace wendrake {

void XmlText::MarkWritten(size_t length) { length_ = std::min(length, kBlockSize); }

namespace {

// The open tag is formed in a 256-byte scratch: "<", name, ">" and a zero.
constexpr size_t kTagScratchSize = 256;
constexpr size_t kMaxTagName = kTagScratchSize - 3;

constexpr char kFormatError[] = "format error in MakeXml function";

struct Piece {
  const char* data;
  size_t size;
};

Piece Literal(const char* text) { return {text, std::strlen(text)}; }

// Appends all pieces, or nothing when together they would pass `limit`.
bool AppendWhole(XmlText* out, const Piece* pieces, size_t count, size_t limit) {
  size_t total = 0;
  for (size_t i = 0; i < count; ++i) total += pieces[i].size;
  if (out->length() > limit || total > limit - out->length()) return false;
  for (size_t i = 0; i < count; ++i) out->Append(pieces[i].data, pieces[i].size, limit);
  return true;
}

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

// One value of type T, read byte-wise since it may sit anywhere in a record.
template <typename T>
T ReadAs(const void* value) {
  T v;
  std::memcpy(&v, value, sizeof v);
  return v;
}

// Integer of `width` bytes (1, 2, else 4), sign-extended when Int8 is signed
// and zero-extended otherwise.
template <typename Int8, typename Int16, typename Int32>
auto ReadInteger(const void* value, int width) -> decltype(Int32{} + int64_t{}) {
  if (value == nullptr) return 0;
  if (width == 1) return ReadAs<Int8>(value);
  if (width == 2) return ReadAs<Int16>(value);
  return ReadAs<Int32>(value);
}

int64_t ReadSigned(const void* value, int width) {
  return ReadInteger<int8_t, int16_t, int32_t>(value, width);
}

uint64_t ReadUnsigned(const void* value, int width) {
  return static_cast<uint64_t>(ReadInteger<uint8_t, uint16_t, uint32_t>(value, width));
}

double ReadDouble(const void* value) {
  double v = 0;
  if (value != nullptr) std::memcpy(&v, value, sizeof v);
  return v;
}

const char* ValueString(const void* value) {
  return value != nullptr ? static_cast<const char*>(value) : "";
}

bool Contains(const char* format, const char* part) {
  return std::strstr(format, part) != nullptr;
}

// Holds the formatted value as up to three pieces (text before the value,
// the value, text after it) plus its own storage for printed numbers. Long
// enough for any value that could fit in a text block at all.
class ValueText {
 public:
  const Piece* pieces() const { return pieces_; }
  size_t count() const { return count_; }
  bool tooLong() const { return tooLong_; }

  void Add(Piece piece) { pieces_[count_++] = piece; }

  template <typename Int>
  void AddInteger(Int v) {
    auto result = std::to_chars(number_, number_ + sizeof number_, v);
    Add({number_, static_cast<size_t>(result.ptr - number_)});
  }

  // Prints one argument with a format; a result that cannot fit in a text
  // block makes the element too long.
  template <typename Arg>
  void AddPrinted(const char* format, Arg arg) {
    int n = std::snprintf(printed_, sizeof printed_, format, arg);
    if (n < 0) n = 0;
    if (static_cast<size_t>(n) >= sizeof printed_) tooLong_ = true;
    Add({printed_, std::min(static_cast<size_t>(n), sizeof printed_ - 1)});
  }

  // "%s" formats are filled by copying when the "%s" is their only
  // conversion, which covers every column element; others go to snprintf.
  void AddString(const char* format, const char* text) {
    const char* at = std::strstr(format, "%s");
    if (std::strchr(format, '%') == at && std::strchr(at + 2, '%') == nullptr) {
      if (at != format) Add({format, static_cast<size_t>(at - format)});
      Add(Literal(text));
      if (at[2] != '\0') Add(Literal(at + 2));
    } else {
      AddPrinted(format, text);
    }
  }

 private:
  Piece pieces_[4];
  size_t count_ = 0;
  bool tooLong_ = false;
  char number_[24];
  char printed_[XmlText::kBlockSize];
};

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

void WriteXmlTag(const char* name, const char* suffix, XmlText* out) {
  if (out == nullptr) return;
  char tag[kTagScratchSize];
  Piece pieces[2] = {{tag, FormOpenTag(name, tag)}, {"", 0}};
  if (suffix != nullptr) pieces[1] = Literal(suffix);
  AppendWhole(out, pieces, 2, XmlText::kMaxLength);
}

bool MakeXml(const char* name, const char* format, const void* value, XmlText* out,
             const char* suffix, int width) {
  if (out == nullptr) return false;
  if (out->elementsCut()) return false;
  if (format == nullptr) format = "";

  bool recognised = true;
  ValueText text;
  if (format[0] == '%' && format[1] == 's' && format[2] == '\0') {
    text.Add(Literal(ValueString(value)));  // every column element takes this path
  } else if (Contains(format, "%ld") && Contains(format, "%s")) {
    text.AddInteger(ReadSigned(value, width));
    if (suffix != nullptr) text.Add(Literal(suffix));
  } else if (Contains(format, "%.2f") && Contains(format, "%s")) {
    text.AddPrinted("%.2f", ReadDouble(value));
    if (suffix != nullptr) text.Add(Literal(suffix));
  } else if (Contains(format, "%ld")) {
    text.AddPrinted(format, static_cast<long>(ReadSigned(value, 4)));
  } else if (Contains(format, "0x%s") && Contains(format, ": %s")) {
    text.Add({"0x", 2});
    text.Add(Literal(ValueString(value)));
  } else if (Contains(format, "%lu") && Contains(format, "%s")) {
    text.AddInteger(ReadUnsigned(value, width));
  } else if (Contains(format, "%s")) {
    text.AddString(format, ValueString(value));
  } else if (Contains(format, "%lu")) {
    text.AddPrinted(format, static_cast<unsigned long>(ReadUnsigned(value, 4)));
  } else {
    text.Add({kFormatError, sizeof kFormatError - 1});
    recognised = false;
  }

  char tag[kTagScratchSize];
  size_t tagLength = FormOpenTag(name, tag);
  // The close tag repeats what follows the open tag's last "<" (a name may
  // itself hold a "<").
  size_t lastOpen = static_cast<size_t>(std::strrchr(tag, '<') - tag);

  Piece pieces[8];
  size_t count = 0;
  pieces[count++] = {tag, tagLength};
  for (size_t i = 0; i < text.count(); ++i) pieces[count++] = text.pieces()[i];
  pieces[count++] = {"</", 2};
  pieces[count++] = {tag + lastOpen + 1, tagLength - lastOpen - 1};
  pieces[count++] = {"\n", 1};

  if (text.tooLong() || !AppendWhole(out, pieces, count, XmlText::kElementLimit)) {
    out->CutElements();
    return false;
  }
  return recognised;
}

}  // namespace wendrake
