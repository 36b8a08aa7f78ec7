// Bookkeeping of which parameters the current line set and which carry a
// value over from earlier lines.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

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

// The parameter lists of the item under construction, and what they need to
// remember from line to line. A record decoder begins nothing itself: the
// dispatcher begins every line, the decoder sets the line's parameters and
// settles the lists once, and may then drop sets that lapse.
class ParamRegistry {
 public:
  // Binds the registry to the item it fills (the object's item under
  // construction, whose lists and slots the queue copies to hosts).
  explicit ParamRegistry(ReportItem* item) : item_(item) {}
  ParamRegistry(const ParamRegistry&) = delete;
  ParamRegistry& operator=(const ParamRegistry&) = delete;

  // Start of every line: what the previous line set now counts as carried
  // over, the current list empties, and the inherited list names every
  // parameter that holds a value.
  void BeginLine();

  // Stores a value with state 1 and appends the slot to the current list
  // (and, when it held no value before, to the parameters seen).
  void Set(SlotRef ref, int32_t value);

  // The value a slot holds now.
  int32_t Value(SlotRef ref) const { return item_->paramSlots[SlotIndexOf(ref)].value; }

  // Rebuilds the inherited list after the line's parameters are set: the
  // parameters that held a value at the line's start and were not set by it,
  // in the order they were first seen.
  void Settle();

  // Removes the set's parameters from the inherited list and from the
  // parameters seen; their slots keep the old value with state -1.
  void Drop(const ParamSet& set);

  // Runs that cover every slot the registry has ever written. Every other
  // slot holds its constructed value in the current item and in every queue
  // node alike, so copying an item needs only these.
  std::span<const SlotRun> touchedRuns() const { return {touchedRuns_, touchedRunCount_}; }

  // Calls of Set, and of Drop that dropped something, so far: between two
  // lines that set k values and drop nothing, it grows by exactly k.
  uint64_t changes() const { return changes_; }

 private:
  // Marks a slot as written and rebuilds the runs; a slot is touched once in
  // the life of the object.
  void Touch(int index);

  ReportItem* item_;
  // Parameters that hold a value, in the order they were first set. Until a
  // line settles, Set only appends to it, so its first lineStart_ entries are
  // the parameters that held a value when the line began.
  SlotRef seenList_[kParamCount] = {};
  uint16_t seenCount_ = 0;
  uint16_t lineStart_ = 0;
  // Per-slot mirror of seenList: whether the slot is in it, and where, so
  // lookups need no search.
  bool seen_[kParamCount] = {};
  uint16_t seenPosition_[kParamCount] = {};

  uint64_t changes_ = 0;
  bool touched_[kParamCount] = {};
  SlotRun touchedRuns_[kParamCount] = {};
  size_t touchedRunCount_ = 0;
};

}  // namespace wendrake
