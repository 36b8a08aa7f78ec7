// Bookkeeping of which parameters the current line set and which carry a
// value over from earlier lines.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "params/param_table.h"

namespace wendrake {

// A set of parameters that lapse together; membership is a per-slot flag so
// a drop is one pass over the lists.
class ParamSet {
 public:
  constexpr ParamSet() = default;
  // Adds every identifier from first to last inclusive that has a slot.
  ParamSet& AddRange(uint32_t first, uint32_t last);
  bool Contains(SlotRef ref) const { return member_[SlotIndexOf(ref)]; }

 private:
  bool member_[kParamCount] = {};
};

// A run of consecutive parameter slots.
struct SlotRun {
  uint16_t first;
  uint16_t count;
};

// The parameter state of one decoder object. The operations work on the item
// under construction (`current`), whose lists and slots the host receives.
class ParamRegistry {
 public:
  ParamRegistry() = default;

  // Start of every line: what the previous line set now counts as carried
  // over, the current list empties, and the inherited list names every
  // parameter that holds a value.
  void ResetLineParams(ReportItem* current);

  bool IsSeen(SlotRef ref) const;

  // Stores a value with state 1, appends the slot to the current list at
  // position k (k then grows by one) and, when new, to seenList.
  void SetParam(ReportItem* current, SlotRef ref, int32_t value, uint8_t* k);

  // Rebuilds the inherited list: the parameters that held a value at the
  // line's start and were not set by it, in seenList order. `start` is
  // seenCount() as the line's decoder found it; until the line settles,
  // SetParam only appends to seenList, so its first `start` entries are the
  // parameters that held a value when the line began.
  void SettleInheritList(ReportItem* current, uint16_t start, uint8_t k);

  // Removes the set's parameters from the inherited list and seenList; their
  // slots keep the old value with state -1.
  void DropParam(ReportItem* current, const ParamSet& set);

  // Runs that cover every slot the registry has ever written. Every other
  // slot holds its constructed value in the current item and in every queue
  // node alike, so copying an item needs only these.
  std::span<const SlotRun> touchedRuns() const { return {touchedRuns_, touchedRunCount_}; }

  uint16_t seenCount() const { return seenCount_; }
  const SlotRef* seenList() const { return seenList_; }

 private:
  SlotRef seenList_[kParamCount] = {};
  uint16_t seenCount_ = 0;
  // Structured counterpart of seenList; no decoder sets a structured
  // parameter, so it stays empty.
  std::vector<uint16_t> structSeenList_;
  // Per-slot mirror of seenList: whether the slot is in it, and where, so
  // lookups need no search.
  bool seen_[kParamCount] = {};
  uint16_t seenPosition_[kParamCount] = {};

  // Marks a slot as written and rebuilds the runs; a slot is touched once in
  // the life of the object.
  void Touch(int index);
  bool touched_[kParamCount] = {};
  SlotRun touchedRuns_[kParamCount] = {};
  size_t touchedRunCount_ = 0;
};

}  // namespace wendrake
