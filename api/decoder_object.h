// The object behind a host's handle: line assembly, the item queue, the
// snapshot of handed-out items and the decoding state.
#pragma once

#include <cstdint>
#include <vector>

#include "api/report_item_queue.h"
#include "decode/line_decoder.h"
#include "wendrake/wendrake.h"

struct DecoderObject {
  static constexpr int kLineBufferSize = 8192;

  explicit DecoderObject(int32_t moduleType);

  // Builds the item queue; false (after printing why) when it cannot be had.
  bool Init(wendrake::ReportItemQueue::Allocator allocate = nullptr);

  // Line assembly: gathers bytes into lines and decodes each complete one.
  bool Decode(const char* text, int length);

  // Takes every queued item into the snapshot; returns their number.
  int TakeSnapshot();
  // Discards items queued and not taken.
  void Clear() { itemQueue.Empty(); }

  // Snapshot item i, or null (with the bound-violation message naming
  // `argument`) when i is out of range.
  ReportItem* Item(int i, const char* argument);

  int32_t lineLength = 0;
  char lineBuffer[kLineBufferSize];
  // Set while the bytes of an over-long line are skipped up to its newline.
  bool discardingLine = false;
  wendrake::ReportItemQueue itemQueue;
  std::vector<wendrake::ListNode*> snapshot;
  int32_t snapshotCount = 0;
  int32_t moduleType;
  wendrake::LineDecoder lineDecoder;
};

namespace wendrake {

// Whether a module type is one of the five Qualcomm chip types.
bool IsKnownModuleType(int moduleType);

}  // namespace wendrake
