#include "api/decoder_object.h"

#include <cstdio>

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
  snapshot.reserve(wendrake::ReportItemQueue::kCapacity);
  return true;
}

bool DecoderObject::Decode(const char* text, int length) {
  for (int i = 0; i < length; ++i) {
    const char byte = text[i];
    lineBuffer[lineLength++] = byte;
    if (byte != '\n') {
      // An over-long line is dropped; what follows starts a new line.
      if (lineLength >= kLineBufferSize) lineLength = 0;
      continue;
    }
    const int n = lineLength;
    lineLength = 0;
    if (n >= kLineBufferSize) continue;
    try {
      if (lineDecoder.Dispatch(lineBuffer, n)) itemQueue.Append(lineDecoder.current);
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
    std::printf("Entry parameter '%s' is bound violation\n", argument);
    return nullptr;
  }
  return &snapshot[static_cast<size_t>(i)]->item;
}
