#include "params/param_registry.h"

#include <bit>
#include <cstring>

namespace wendrake {

ParamSet& ParamSet::AddRange(uint32_t first, uint32_t last) {
  for (uint32_t id = first; id <= last; ++id) {
    const int slot = SlotOfParam(id);
    if (slot >= 0) member_[slot] = true;
  }
  return *this;
}

void ParamRegistry::BeginLine() {
  ReportItem* item = item_;
  for (int i = 0; i < item->curParamCount; ++i) {
    item->paramSlots[SlotIndexOf(item->curParamList[i])].state = 0;
  }
  item->curParamCount = 0;
  item->inheritParamCount = seenCount_;
  // Only the first seenCount entries carry meaning; the rest of the list
  // never reaches a host.
  std::memcpy(item->inheritParamList, seenList_, seenCount_ * sizeof(SlotRef));
  lineStart_ = seenCount_;
}

void ParamRegistry::Set(SlotRef ref, int32_t value) {
  const int index = SlotIndexOf(ref);
  ParamSlot& slot = item_->paramSlots[index];
  slot.value = value;
  slot.state = 1;
  ++changes_;
  item_->curParamList[item_->curParamCount++] = ref;
  if (!seen_[index]) {
    if (!touched_[index]) Touch(index);
    seen_[index] = true;
    seenPosition_[index] = seenCount_;
    seenList_[seenCount_++] = ref;
  }
}

void ParamRegistry::Touch(int index) {
  // Untouched slots between two touched ones never change either: copying a
  // few of them along is cheaper than starting another copy.
  constexpr int kMaxGap = 16;
  touched_[index] = true;
  touchedRunCount_ = 0;
  for (int slot = 0; slot < kParamCount; ++slot) {
    if (!touched_[slot]) continue;
    SlotRun* last = touchedRunCount_ > 0 ? &touchedRuns_[touchedRunCount_ - 1] : nullptr;
    if (last != nullptr && slot - (last->first + last->count) <= kMaxGap) {
      last->count = static_cast<uint16_t>(slot - last->first + 1);
    } else {
      touchedRuns_[touchedRunCount_++] = SlotRun{static_cast<uint16_t>(slot), 1};
    }
  }
}

void ParamRegistry::Settle() {
  ReportItem* current = item_;
  const uint16_t start = lineStart_;
  const int k = current->curParamCount;
  // Marks, by position in seenList, the parameters the line set that already
  // held a value (a slot fed by two columns is simply marked twice).
  constexpr int kWords = (kParamCount + 63) / 64;
  uint64_t removed[kWords] = {};
  for (int i = 0; i < k; ++i) {
    const uint16_t position = seenPosition_[SlotIndexOf(current->curParamList[i])];
    if (position < start) removed[position / 64] |= uint64_t{1} << (position % 64);
  }
  // BeginLine copied seenList[0, start) into the inherited list and the
  // line leaves that part of seenList alone, so only the runs after the first
  // marked position move up. The slots kept already read state 0
  // (BeginLine moved the previous line's values there, and dropped
  // slots have left seenList).
  SlotRef* list = current->inheritParamList;
  uint16_t count = 0;
  uint16_t from = 0;  // next seenList position to keep
  auto keepUpTo = [&](uint16_t end) {
    if (end <= from) return;
    if (count != from) {
      std::memcpy(list + count, seenList_ + from, static_cast<size_t>(end - from) * sizeof(SlotRef));
    }
    count = static_cast<uint16_t>(count + end - from);
  };
  // Marked positions come in runs (a record sets its columns together), so
  // each run of marks is skipped at once.
  for (int w = 0; w < kWords; ++w) {
    uint64_t bits = removed[w];
    while (bits != 0) {
      const int first = std::countr_zero(bits);
      const int length = std::countr_one(bits >> first);
      keepUpTo(static_cast<uint16_t>(w * 64 + first));
      from = static_cast<uint16_t>(w * 64 + first + length);
      bits = first + length >= 64 ? 0 : bits & (~uint64_t{0} << (first + length));
    }
  }
  keepUpTo(start);
  current->inheritParamCount = count;
}

namespace {

// Keeps, in order, the entries not in the set; dropped slots lose their
// state. With `seen`, the list is seenList: its flags and positions follow.
uint16_t DropFromList(ReportItem* current, SlotRef* list, uint16_t count, const ParamSet& set,
                      bool* seen, uint16_t* positions) {
  uint16_t kept = 0;
  for (int i = 0; i < count; ++i) {
    if (set.Contains(list[i])) {
      current->paramSlots[SlotIndexOf(list[i])].state = -1;
      if (seen != nullptr) seen[SlotIndexOf(list[i])] = false;
    } else {
      if (positions != nullptr) positions[SlotIndexOf(list[i])] = kept;
      list[kept++] = list[i];
    }
  }
  return kept;
}

}  // namespace

void ParamRegistry::Drop(const ParamSet& set) {
  ReportItem* current = item_;
  current->inheritParamCount =
      DropFromList(current, current->inheritParamList, current->inheritParamCount, set, nullptr, nullptr);
  const uint16_t before = seenCount_;
  seenCount_ = DropFromList(current, seenList_, seenCount_, set, seen_, seenPosition_);
  // Every parameter in the inherited list is also in seenList.
  if (seenCount_ != before) ++changes_;
}

}  // namespace wendrake
