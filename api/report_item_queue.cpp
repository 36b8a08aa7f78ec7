#include "api/report_item_queue.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "api/report_item.h"
#include "params/column_registry.h"
#include "params/param_table.h"

namespace wendrake {
namespace {

void* DefaultAllocate(size_t size) { return std::malloc(size); }

struct SlotRun {
  int first;
  int count;
};

// Runs of consecutive slots that decoding can change: those a known column
// feeds and the two layer-3 state words. Every other slot keeps its
// constructed value in the item under construction and in every node alike.
class ChangeableSlots {
 public:
  ChangeableSlots() {
    for (int slot = 0; slot < kParamCount; ++slot) {
      const bool changes = slot == kFirstStateWordSlot || slot == kSecondStateWordSlot ||
                           !KnownColumnName(kSlotParamIds[slot]).empty();
      if (!changes) continue;
      // Slots between two changeable ones never change either, so copying
      // them along is harmless; one longer copy beats several short ones.
      if (count_ > 0 && slot - (runs_[count_ - 1].first + runs_[count_ - 1].count) <= kMaxGap) {
        runs_[count_ - 1].count = slot - runs_[count_ - 1].first + 1;
      } else {
        runs_[count_++] = SlotRun{slot, 1};
      }
    }
  }
  const SlotRun* begin() const { return runs_; }
  const SlotRun* end() const { return runs_ + count_; }

 private:
  static constexpr int kMaxGap = 16;
  static constexpr int kFirstStateWordSlot = 275;
  static constexpr int kSecondStateWordSlot = 276;
  SlotRun runs_[kParamCount];
  int count_ = 0;
};

const ChangeableSlots& Changeable() {
  static const ChangeableSlots slots;
  return slots;
}

// Copies the parts of an item that decoding can change. The simple block, the
// structured area and the slots no decoder sets never change after
// construction; the raw block and the lists carry meaning only up to their
// lengths; the text must read as zeros past its length.
// Copies bytes [from, to) of an item.
inline void CopyRange(const ReportItem& src, ReportItem* dst, size_t from, size_t to) {
  std::memcpy(reinterpret_cast<char*>(dst) + from, reinterpret_cast<const char*>(&src) + from, to - from);
}

void CopyItem(const ReportItem& src, ListNode* node) {
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
  for (const SlotRun& run : Changeable()) {
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
      std::printf("Allocate ListNode Failed\n");
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

bool ReportItemQueue::Append(const ReportItem& item) {
  if (count_ >= kCapacity) {
    std::printf("Overflow! The decoded node number is greater than the default node number.\n");
    return false;
  }
  ++count_;
  CopyItem(item, writeNode_);
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
