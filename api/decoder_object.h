// The object behind a host's handle: line assembly, the item queue, the
// snapshot of handed-out items and the decoding state.
#pragma once

#include <cstdint>
#include <vector>

#include "api/report_item_queue.h"
#include "decode/line_assembler.h"
#include "decode/line_decoder.h"
#include "wendrake/wendrake.h"

struct DecoderObject {
 public:
  explicit DecoderObject(int32_t moduleType);

  // Builds the item queue; false (after printing why) when it cannot be had.
  bool Init(wendrake::ReportItemQueue::Allocator allocate = nullptr);

  // Gathers bytes into lines and decodes each complete one.
  bool Decode(const char* text, int length);

  // Takes every queued item into the snapshot; returns their number.
  int TakeSnapshot();
  // Discards items queued and not taken.
  void Clear() { itemQueue_.Empty(); }

  // Snapshot item i, or null (with the bound-violation message naming
  // `argument`) when i is out of range.
  ReportItem* Item(int i, const char* argument);

 private:
  wendrake::LineAssembler lines_;
  wendrake::ReportItemQueue itemQueue_;
  std::vector<wendrake::ListNode*> snapshot_;
  int32_t snapshotCount_ = 0;
  wendrake::LineDecoder lineDecoder_;
};
