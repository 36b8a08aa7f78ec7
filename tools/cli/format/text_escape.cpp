#include "format/text_escape.h"

#include <algorithm>
#include <cstring>

namespace wendrake_cli {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Bytes that AppendJson cannot copy as they are: controls, the quote, the
// backslash, and every byte of a multi-byte sequence (checked one by one).
constexpr bool NeedsJsonEscape(unsigned char byte) {
  return byte < 0x20 || byte == '"' || byte == '\\' || byte >= 0x7F;
}

// Bytes that AppendPrintable cannot copy as they are: controls other than
// tab and newline, and multi-byte sequences.
constexpr bool NeedsPrintableEscape(unsigned char byte) {
  return (byte < 0x20 && byte != '\t' && byte != '\n') || byte >= 0x7F;
}

// Length of the run at the start of `bytes` that `needsEscape` lets through.
template <bool (*needsEscape)(unsigned char)>
size_t PlainRun(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size() && !needsEscape(static_cast<unsigned char>(bytes[i]))) ++i;
  return i;
}

// Output gathered in a block on the stack and appended to the string a block
// at a time: the JSON text of a TAB-separated line is a row of short fields
// and two-byte escapes, and a string append for each costs more than its bytes.
class StagedText {
 public:
  explicit StagedText(std::string* out) : out_(out) {}
  StagedText(const StagedText&) = delete;
  StagedText& operator=(const StagedText&) = delete;
  ~StagedText() { Flush(); }

  void Add(std::string_view bytes) {
    if (bytes.size() > kRoom - used_) {
      Flush();
      if (bytes.size() > kRoom / 2) {  // long runs go straight through
        out_->append(bytes);
        return;
      }
    }
    std::memcpy(block_ + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
  }

  void Flush() {
    out_->append(block_, used_);
    used_ = 0;
  }

 private:
  static constexpr size_t kRoom = 512;
  std::string* out_;
  size_t used_ = 0;
  char block_[kRoom];
};

constexpr char kLowerHex[] = "0123456789abcdef";
constexpr char kUpperHex[] = "0123456789ABCDEF";

void AppendByteEscape(std::string* out, unsigned char byte) {
  const char escape[] = {'\\', 'x', kUpperHex[byte >> 4], kUpperHex[byte & 0xF]};
  out->append(escape, sizeof escape);
}

}  // namespace

size_t Utf8SequenceLength(std::string_view bytes) {
  if (bytes.empty()) return 0;
  const auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = at(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (bytes.size() < length || at(1) < low || at(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (!IsContinuation(at(i))) return 0;
  }
  return length;
}

void AppendJson(std::string* out, std::string_view bytes) {
  StagedText text(out);
  text.Add("\"");
  size_t i = 0;
  while (i < bytes.size()) {
    // Plain text is copied a run at a time; only the byte after it is looked at.
    const size_t run = PlainRun<NeedsJsonEscape>(bytes.substr(i));
    text.Add(bytes.substr(i, run));
    i += run;
    if (i == bytes.size()) break;
    const unsigned char byte = static_cast<unsigned char>(bytes[i]);
    // A well-formed multi-byte sequence is copied; a byte outside one
    // (length 0) is escaped below with its number as a code point.
    size_t length = 1;
    if (byte >= 0x80) length = Utf8SequenceLength(bytes.substr(i));
    if (length > 1) {
      text.Add(bytes.substr(i, length));
      i += length;
      continue;
    }
    switch (byte) {
      case '"': text.Add("\\\""); break;
      case '\\': text.Add("\\\\"); break;
      case '\n': text.Add("\\n"); break;
      case '\r': text.Add("\\r"); break;
      case '\t': text.Add("\\t"); break;
      case '\b': text.Add("\\b"); break;
      case '\f': text.Add("\\f"); break;
      default: {
        const char escape[] = {'\\', 'u', '0', '0', kLowerHex[byte >> 4], kLowerHex[byte & 0xF]};
        text.Add(std::string_view(escape, sizeof escape));
      }
    }
    ++i;
  }
  text.Add("\"");
}

void AppendPrintable(std::string* out, std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const size_t run = PlainRun<NeedsPrintableEscape>(bytes.substr(i));
    out->append(bytes.substr(i, run));
    i += run;
    if (i == bytes.size()) break;
    const unsigned char byte = static_cast<unsigned char>(bytes[i]);
    size_t length = 1;
    bool plain = false;  // a bare CR would overwrite the line on a terminal
    if (byte >= 0x80) {
      length = Utf8SequenceLength(bytes.substr(i));
      // C1 controls (U+0080..U+009F) steer terminals as C0 controls do.
      const bool c1 = length == 2 && byte == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA0;
      plain = length != 0 && !c1;
    }
    if (plain) {
      out->append(bytes.substr(i, length));
      i += length;
    } else {
      for (const size_t end = i + std::max<size_t>(length, 1); i < end; ++i) {
        AppendByteEscape(out, static_cast<unsigned char>(bytes[i]));
      }
    }
  }
}

void AppendCsv(std::string* out, std::string_view bytes) {
  // The printable form keeps commas, quotes and newlines as they are and
  // adds none, so the raw bytes tell whether the field needs quotes.
  const auto has = [bytes](char c) { return std::memchr(bytes.data(), c, bytes.size()) != nullptr; };
  if (bytes.empty() || !(has(',') || has('"') || has('\n'))) {
    AppendPrintable(out, bytes);
    return;
  }
  std::string field;
  AppendPrintable(&field, bytes);
  out->push_back('"');
  // Runs up to and including each quote, which is then doubled.
  std::string_view rest(field);
  for (size_t quote = rest.find('"'); quote != std::string_view::npos; quote = rest.find('"')) {
    out->append(rest.substr(0, quote + 1));
    out->push_back('"');
    rest.remove_prefix(quote + 1);
  }
  out->append(rest);
  out->push_back('"');
}

std::string Printable(std::string_view bytes) {
  std::string out;
  AppendPrintable(&out, bytes);
  return out;
}

std::string OneLine(std::string_view bytes) {
  std::string line;
  for (char c : Printable(bytes)) {
    if (c == '\n') {
      line += "\\x0A";
    } else {
      line += c;
    }
  }
  return line;
}

}  // namespace wendrake_cli
