#include "io/empty_input.h"

#include <fmt/format.h>

#include <string_view>

namespace wendrake_cli {
namespace {

struct Magic {
  std::string_view bytes;
  const char* format;
};
constexpr Magic kCompressed[] = {
    {"\x1F\x8B", "gzip"},
    {"BZh", "bzip2"},
    {std::string_view("\xFD" "7zXZ\0", 6), "xz"},
    {"\x28\xB5\x2F\xFD", "zstd"},
    {"PK\x03\x04", "zip"},
    {"7z\xBC\xAF\x27\x1C", "7-Zip"},
};

}  // namespace

std::string WhyNoItems(const InputProfile& input, uint64_t lines) {
  if (input.bytes == 0) return {};
  for (const Magic& magic : kCompressed) {
    if (input.head.substr(0, magic.bytes.size()) == magic.bytes) {
      return fmt::format("it is {} compressed; decompress it first", magic.format);
    }
  }
  // A text log has no NUL; UTF-16 text has one in every other byte.
  if (input.nuls * 10 >= input.bytes) {
    return fmt::format("{}% of its bytes are NUL: UTF-16 text or binary data, not a log in ASCII or UTF-8",
                       input.nuls * 100 / input.bytes);
  }
  if (input.newlines == 0) {
    if (input.carriageReturns > 0) {
      return fmt::format("no newline in {} bytes, but {} carriage returns: its lines end in CR only",
                         input.bytes, input.carriageReturns);
    }
    return fmt::format("no newline in {} bytes", input.bytes);
  }
  return fmt::format("none of its {} lines is a record the decoder knows", lines);
}

}  // namespace wendrake_cli
