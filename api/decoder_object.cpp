#include "api/decoder_object.h"

#include <cstddef>
#include "api/diagnostics.h"
#include <cstring>
#include <new>

namespace wendrake {

bool IsKnownModuleType(int moduleType) {
  switch (moduleType) {
    case WENDRAKE_MODULE_B101: case WENDRAKE_MODULE_B200: case WENDRAKE_MODULE_B20A:
    case WENDRAKE_MODULE_B20B: case WENDRAKE_MODULE_BD00:
      return true;
    default:
      return false;
  }
}

}  // namespace wendrake

DecoderObject::DecoderObject(int32_t moduleType) : moduleType(moduleType), lineDecoder(moduleType) {}

bool DecoderObject::Init(wendrake::ReportItemQueue::Allocator allocate) {
  if (!itemQueue.Build(allocate)) return false;
  // Reserved once so that taking a snapshot never allocates; a failure here
  // must not leave the library as an exception into a C host.
  try {
    snapshot.reserve(wendrake::ReportItemQueue::kCapacity);
  } catch (const std::bad_alloc&) {
    wendrake::Print(wendrake::Diagnostic::kCreateFailed);
    return false;
  }
  return true;
}

bool DecoderObject::Decode(const char* text, int length) {
  const char* end = text + length;
  while (text < end) {
    const char* newline = static_cast<const char*>(std::memchr(text, '\n', static_cast<size_t>(end - text)));
    if (discardingLine) {
      // The rest of an over-long line, up to and including its newline.
      if (newline == nullptr) break;
      text = newline + 1;
      discardingLine = false;
      continue;
    }
    const char* line = lineBuffer;
    int n = 0;
    if (newline != nullptr && lineLength == 0 && newline - text < kLineBufferSize - 1) {
      // A whole line inside the chunk is decoded where it stands.
      line = text;
      n = static_cast<int>(newline - text) + 1;
      text = newline + 1;
    } else {
      const char* contentEnd = newline != nullptr ? newline : end;
      const ptrdiff_t room = kLineBufferSize - lineLength;
      if (contentEnd - text >= room) {
        // 8192 bytes without a newline: the whole line is dropped, however
        // many chunks it spans, so none of its text is taken for a line.
        lineLength = 0;
        discardingLine = true;
        text += room;
        continue;
      }
      std::memcpy(lineBuffer + lineLength, text, static_cast<size_t>(contentEnd - text));
      lineLength += static_cast<int32_t>(contentEnd - text);
      text = contentEnd;
      if (newline == nullptr) break;
      ++text;
      lineBuffer[lineLength++] = '\n';
      n = lineLength;
      lineLength = 0;
      // A line whose newline would be its 8192nd byte is dropped.
      if (n >= kLineBufferSize) continue;
    }
    try {
      if (lineDecoder.Dispatch(line, n)) itemQueue.Append(lineDecoder.item(), lineDecoder.touchedRuns());
    } catch (...) {
      // Nothing in decoding throws; should it ever, the host is not taken
      // down and the failed line does not prefix the next one.
      return false;
    }
  }
  return true;
}

int DecoderObject::TakeSnapshot() {
  const int n = itemQueue.count();
  snapshotCount = n;
  snapshot.clear();
  for (int i = 0; i < n; ++i) snapshot.push_back(itemQueue.Take());
  return n;
}

ReportItem* DecoderObject::Item(int i, const char* argument) {
  if (i < 0 || i >= snapshotCount) {
    wendrake::PrintBoundViolation(argument);
    return nullptr;
  }
  return &snapshot[static_cast<size_t>(i)]->item;
}
