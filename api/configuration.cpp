#include "api/configuration.h"

#include <iterator>

#include "api/diagnostics.h"

namespace wendrake {
namespace {

struct Messages {
  Diagnostic buffer;
  Diagnostic count;
};

constexpr Messages kFilterMessages = {Diagnostic::kFilterBuffer, Diagnostic::kFilterCount};
constexpr Messages kScaleMessages = {Diagnostic::kScaleBuffer, Diagnostic::kScaleCount};

constexpr int32_t kMaxEntries = 100;
constexpr int64_t kEntrySize = 8;
constexpr int64_t kCountSize = 4;

}  // namespace

bool CheckConfiguration(int type, const uint8_t* buffer, int size) {
  const Messages* messages;
  if (type == kFilterConfiguration) {
    messages = &kFilterMessages;
  } else if (type == kScaleConfiguration) {
    messages = &kScaleMessages;
  } else {
    return true;
  }

  if (size < static_cast<int>(kCountSize)) {
    Print(messages->buffer);
    return false;
  }
  // Little-endian, byte by byte: hosts pass buffers of any alignment.
  int32_t count = static_cast<int32_t>(static_cast<uint32_t>(buffer[0]) |
                                       static_cast<uint32_t>(buffer[1]) << 8 |
                                       static_cast<uint32_t>(buffer[2]) << 16 |
                                       static_cast<uint32_t>(buffer[3]) << 24);
  // 64 bits, so no count can wrap around to a matching size.
  if (count < 0 || count * kEntrySize + kCountSize != size) {
    Print(messages->buffer);
    return false;
  }

  // The entries themselves change nothing the decoder does, so they are
  // checked, not kept.
  if (count > kMaxEntries) {
    Print(messages->count);
    return false;
  }
  return true;
}

}  // namespace wendrake
