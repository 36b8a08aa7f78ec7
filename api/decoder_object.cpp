#include "api/decoder_object.h"

#include <new>

#include "api/diagnostics.h"

DecoderObject::DecoderObject(int32_t moduleType) : lineDecoder_(moduleType) {}

bool DecoderObject::Init(wendrake::ReportItemQueue::Allocator allocate) {
  if (!itemQueue_.Build(allocate)) return false;
  // Reserved once so that taking a snapshot never allocates; a failure here
  // must not leave the library as an exception into a C host.
  try {
    snapshot_.reserve(wendrake::ReportItemQueue::kCapacity);
  } catch (const std::bad_alloc&) {
    wendrake::Print(wendrake::Diagnostic::kCreateFailed);
    return false;
  }
  return true;
}

bool DecoderObject::Decode(const char* text, int length) {
  return lines_.Feed(text, static_cast<size_t>(length), [this](const char* line, int n) {
    try {
      if (lineDecoder_.Dispatch(line, n)) itemQueue_.Append(lineDecoder_.item(), lineDecoder_.touchedRuns());
      return true;
    } catch (...) {
      // Nothing in decoding throws; should it ever, the host is not taken
      // down and the failed line does not prefix the next one.
      return false;
    }
  });
}

int DecoderObject::TakeSnapshot() {
  const int n = itemQueue_.count();
  snapshotCount_ = n;
  snapshot_.clear();
  for (int i = 0; i < n; ++i) snapshot_.push_back(itemQueue_.Take());
  return n;
}

ReportItem* DecoderObject::Item(int i, const char* argument) {
  if (i < 0 || i >= snapshotCount_) {
    wendrake::PrintBoundViolation(argument);
    return nullptr;
  }
  return &snapshot_[static_cast<size_t>(i)]->item;
}
