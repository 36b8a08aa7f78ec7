#include "params/param_registry.h"

#include <algorithm>
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

void ParamRegistry::ResetLineParams(ReportItem* current) {
  for (int i = 0; i < current->curParamCount; ++i) {
    current->paramSlots[SlotIndexOf(current->curParamList[i])].state = 0;
  }
  current->curParamCount = 0;
  current->inheritParamCount = seenCount_;
  // Only the first seenCount entries carry meaning; the rest of the list
  // never reaches a host.
  std::memcpy(current->inheritParamList, seenList_, seenCount_ * sizeof(SlotRef));

  uint8_t* records = current->structParams;
  for (int i = 0; i < current->curStructCount; ++i) {
    StructParam header;
    std::memcpy(&header, records + current->curStructList[i], sizeof header);
    header.state = 0;
    std::memcpy(records + current->curStructList[i], &header, sizeof header);
  }
  current->curStructCount = 0;
  if (!structSeenList_.empty()) {
    const size_t count = std::min<size_t>(structSeenList_.size(), WENDRAKE_STRUCT_LIST_CAPACITY);
    std::copy_n(structSeenList_.begin(), count, current->inheritStructList);
    current->inheritStructCount = static_cast<uint16_t>(count);
  }
}

bool ParamRegistry::IsSeen(SlotRef ref) const { return seen_[SlotIndexOf(ref)]; }

void ParamRegistry::SetParam(ReportItem* current, SlotRef ref, int32_t value, uint8_t* k) {
  const int index = SlotIndexOf(ref);
  ParamSlot& slot = current->paramSlots[index];
  slot.value = value;
  slot.state = 1;
  current->curParamList[*k] = ref;
  ++*k;
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

void ParamRegistry::SettleInheritList(ReportItem* current, uint16_t start, uint8_t k) {
  // Marks, by position in seenList, the parameters the line set that already
  // held a value (a slot fed by two columns is simply marked twice).
  constexpr int kWords = (kParamCount + 63) / 64;
  uint64_t removed[kWords] = {};
  for (int i = 0; i < k; ++i) {
    const uint16_t position = seenPosition_[SlotIndexOf(current->curParamList[i])];
    if (position < start) removed[position / 64] |= uint64_t{1} << (position % 64);
  }
  // ResetLineParams copied seenList[0, start) into the inherited list and the
  // line leaves that part of seenList alone, so only the runs after the first
  // marked position move up. The slots kept already read state 0
  // (ResetLineParams moved the previous line's values there, and dropped
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

void ParamRegistry::DropParam(ReportItem* current, const ParamSet& set) {
  current->inheritParamCount =
      DropFromList(current, current->inheritParamList, current->inheritParamCount, set, nullptr, nullptr);
  seenCount_ = DropFromList(current, seenList_, seenCount_, set, seen_, seenPosition_);
}

}  // namespace wendrake
