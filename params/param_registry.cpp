#include "params/param_registry.h"

#include <algorithm>
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
  ParamSlot& slot = current->paramSlots[SlotIndexOf(ref)];
  slot.value = value;
  slot.state = 1;
  current->curParamList[*k] = ref;
  ++*k;
  if (!IsSeen(ref)) {
    seen_[SlotIndexOf(ref)] = true;
    seenList_[seenCount_++] = ref;
  }
}

void ParamRegistry::SettleInheritList(ReportItem* current, uint16_t start, uint8_t k) {
  // Each slot stands at most once in seenList, so a per-slot flag tells
  // whether the line set it without a search.
  for (int i = 0; i < k; ++i) setThisLine_[current->curParamList[i]] = true;
  // The slots kept here already read state 0: ResetLineParams moved the
  // previous line's values there, and dropped slots have left seenList.
  uint16_t count = 0;
  for (int m = 0; m < start; ++m) {
    const SlotRef ref = seenList_[m];
    current->inheritParamList[count] = ref;
    count += setThisLine_[ref] ? 0 : 1;
  }
  current->inheritParamCount = count;
  for (int i = 0; i < k; ++i) setThisLine_[current->curParamList[i]] = false;
}

namespace {

// Keeps, in order, the entries not in the set; dropped slots lose their state.
uint16_t DropFromList(ReportItem* current, SlotRef* list, uint16_t count, const ParamSet& set,
                      bool* seen) {
  uint16_t kept = 0;
  for (int i = 0; i < count; ++i) {
    if (set.Contains(list[i])) {
      current->paramSlots[SlotIndexOf(list[i])].state = -1;
      if (seen != nullptr) seen[SlotIndexOf(list[i])] = false;
    } else {
      list[kept++] = list[i];
    }
  }
  return kept;
}

}  // namespace

void ParamRegistry::DropParam(ReportItem* current, const ParamSet& set) {
  current->inheritParamCount =
      DropFromList(current, current->inheritParamList, current->inheritParamCount, set, nullptr);
  seenCount_ = DropFromList(current, seenList_, seenCount_, set, seen_);
}

}  // namespace wendrake
