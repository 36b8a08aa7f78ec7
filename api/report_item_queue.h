// The fixed ring of 200 report items a decoder object hands to its host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "params/param_registry.h"

#include "wendrake/wendrake.h"

namespace wendrake {

struct ListNode {
  ReportItem item;
  ListNode* next;
  // Bytes of item.text that may be non-zero: an append clears only what the
  // node's previous item left behind its own text.
  uint32_t textDirty;
};

class ReportItemQueue {
 public:
  static constexpr int kCapacity = 200;
  using Allocator = void* (*)(size_t);

  ReportItemQueue() = default;
  ~ReportItemQueue() { Release(); }
  ReportItemQueue(const ReportItemQueue&) = delete;
  ReportItemQueue& operator=(const ReportItemQueue&) = delete;

  // Allocates and links the 200 nodes, each holding a fresh item. If any
  // allocation fails, prints "Allocate ListNode Failed", frees what was
  // allocated and returns false: an incomplete ring is never used.
  bool Build(Allocator allocate = nullptr);

  // Copies an item into the next node; of its parameter slots only those in
  // `slots` (every other slot of the item must hold its constructed value).
  // When 200 items are queued and not yet taken, prints the overflow message
  // and drops the item; the queued items keep their order.
  bool Append(const ReportItem& item, std::span<const SlotRun> slots);

  // The oldest queued node, or null when the queue is empty.
  ListNode* Take();

  // Discards every queued item that was not taken.
  void Empty();

  void Release();

  int count() const { return count_; }
  ListNode* head() const { return head_; }

 private:
  ListNode* head_ = nullptr;
  ListNode* writeNode_ = nullptr;
  ListNode* readNode_ = nullptr;
  int count_ = 0;
};

}  // namespace wendrake
