#include "api/report_item_queue.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "api/diagnostics.h"
#include "params/param_table.h"
#include "params/report_item.h"

namespace wendrake {
namespace {

void* DefaultAllocate(size_t size) { return std::malloc(size); }

// Copies bytes [from, to) of an item.
inline void CopyRange(const ReportItem& src, ReportItem* dst, size_t from, size_t to) {
  std::memcpy(reinterpret_cast<char*>(dst) + from, reinterpret_cast<const char*>(&src) + from, to - from);
}

// Copies the parts of an item that decoding can change. The simple block, the
// structured area and the slots outside `slots` never change after
// construction; the raw block and the lists carry meaning only up to their
// lengths; the text must read as zeros past its length.
void CopyItem(const ReportItem& src, ListNode* node, std::span<const SlotRun> slots) {
  ReportItem& dst = node->item;
  // Each range below is contiguous in the item: header with text, raw length
  // with raw line, direction and counts with the current list.
  CopyRange(src, &dst, 0, offsetof(ReportItem, text) + src.textLength);
  if (node->textDirty > src.textLength) {
    std::memset(dst.text + src.textLength, 0, node->textDirty - src.textLength);
  }
  node->textDirty = src.textLength;
  CopyRange(src, &dst, offsetof(ReportItem, rawLength), offsetof(ReportItem, raw) + src.rawLength);
  CopyRange(src, &dst, offsetof(ReportItem, direction),
            offsetof(ReportItem, curParamList) + src.curParamCount * sizeof(uint16_t));
  std::memcpy(dst.inheritParamList, src.inheritParamList, src.inheritParamCount * sizeof(uint16_t));
  for (const SlotRun& run : slots) {
    std::memcpy(&dst.paramSlots[run.first], &src.paramSlots[run.first], run.count * sizeof(ParamSlot));
  }
}

}  // namespace

bool ReportItemQueue::Build(Allocator allocate) {
  if (allocate == nullptr) allocate = DefaultAllocate;
  Release();
  ListNode* last = nullptr;
  for (int i = 0; i < kCapacity; ++i) {
    void* memory = allocate(sizeof(ListNode));
    if (memory == nullptr) {
      Print(Diagnostic::kNodeAllocationFailed);
      if (last != nullptr) last->next = nullptr;
      Release();
      return false;
    }
    ListNode* node = new (memory) ListNode;
    InitReportItem(&node->item);
    node->next = nullptr;
    node->textDirty = WENDRAKE_BLOCK_SIZE;  // a fresh text block is 0xFF
    if (last == nullptr) {
      head_ = writeNode_ = readNode_ = node;
    } else {
      last->next = node;
    }
    last = node;
  }
  last->next = head_;
  count_ = 0;
  return true;
}

bool ReportItemQueue::Append(const ReportItem& item, std::span<const SlotRun> slots) {
  if (count_ >= kCapacity) {
    Print(Diagnostic::kQueueOverflow);
    return false;
  }
  ++count_;
  CopyItem(item, writeNode_, slots);
  writeNode_ = writeNode_->next;
  return true;
}

ListNode* ReportItemQueue::Take() {
  if (count_ == 0) return nullptr;
  ListNode* node = readNode_;
  --count_;
  readNode_ = readNode_->next;
  return node;
}

void ReportItemQueue::Empty() {
  count_ = 0;
  readNode_ = writeNode_;
}

void ReportItemQueue::Release() {
  // Walks an open chain (a failed build) as well as the closed ring.
  ListNode* node = head_;
  for (int i = 0; i < kCapacity && node != nullptr; ++i) {
    ListNode* next = node->next;
    node->~ListNode();
    std::free(node);
    node = next;
  }
  head_ = writeNode_ = readNode_ = nullptr;
  count_ = 0;
}

}  // namespace wendrake
