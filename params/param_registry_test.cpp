#include "params/param_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "params/report_item.h"
#include "params/param_table.h"

namespace wendrake {
namespace {

constexpr uint32_t kA = 0x7F010001;
constexpr uint32_t kB = 0x7F010003;
constexpr uint32_t kC = 0x7F018301;
constexpr uint32_t kUnfed = 0x7F010191;

SlotRef Ref(uint32_t id) { return SlotRefOf(SlotOfParam(id)); }

// Drives the registry the way a record decoder does, on one item.
class ParamRegistryTest : public testing::Test {
 protected:
  void SetUp() override { InitReportItem(item_.get()); }

  // One decoded line that sets the given parameters in order.
  void Line(std::vector<std::pair<uint32_t, int32_t>> sets) {
    registry_.BeginLine();
    for (auto [id, value] : sets) registry_.Set(Ref(id), value);
    registry_.Settle();
  }

  std::vector<uint32_t> IdsOf(const SlotRef* refs, int count) const {
    std::vector<uint32_t> ids;
    for (int i = 0; i < count; ++i) ids.push_back(item_->paramSlots[SlotIndexOf(refs[i])].paramId);
    return ids;
  }
  std::vector<uint32_t> Current() const { return IdsOf(item_->curParamList, item_->curParamCount); }
  std::vector<uint32_t> Inherited() const {
    return IdsOf(item_->inheritParamList, item_->inheritParamCount);
  }
  // Every parameter that holds a value, in first-set order: what the next
  // line begins with as its inherited list. Begins that line (beginning a
  // line twice changes nothing), so call it last in a step.
  std::vector<uint32_t> Seen() {
    registry_.BeginLine();
    return Inherited();
  }
  const ParamSlot& Slot(uint32_t id) const { return item_->paramSlots[SlotOfParam(id)]; }

  std::unique_ptr<ReportItem> item_ = std::make_unique<ReportItem>();
  ParamRegistry registry_{item_.get()};
};

using Ids = std::vector<uint32_t>;

TEST_F(ParamRegistryTest, SetParametersTurnIntoInheritedOnes) {
  Line({{kA, 7}});
  EXPECT_EQ(Current(), Ids{kA});
  EXPECT_EQ(Inherited(), Ids{});
  EXPECT_EQ(Slot(kA).state, 1);

  // A line that decodes nothing only refreshes the lists.
  registry_.BeginLine();
  EXPECT_EQ(Current(), Ids{});
  EXPECT_EQ(Inherited(), Ids{kA});
  EXPECT_EQ(Slot(kA).state, 0);
  EXPECT_EQ(Slot(kA).value, 7);

  Line({});
  EXPECT_EQ(Inherited(), Ids{kA});
  Line({{kA, 8}});
  EXPECT_EQ(Current(), Ids{kA});
  EXPECT_EQ(Inherited(), Ids{});
  EXPECT_EQ(Slot(kA).state, 1);
  EXPECT_EQ(Slot(kA).value, 8);
}

TEST_F(ParamRegistryTest, InheritedListKeepsFirstSetOrder) {
  Line({{kA, 1}});
  Line({{kB, 2}});
  Line({{kC, 3}, {kA, 4}});
  EXPECT_EQ(Current(), (Ids{kC, kA}));
  EXPECT_EQ(Inherited(), Ids{kB});
  Line({{kB, 5}});
  EXPECT_EQ(Current(), Ids{kB});
  EXPECT_EQ(Inherited(), (Ids{kA, kC}));
  EXPECT_EQ(Slot(kA).state, 0);
  EXPECT_EQ(Slot(kC).state, 0);
  EXPECT_EQ(Seen(), (Ids{kA, kB, kC}));
}

TEST_F(ParamRegistryTest, SlotSetTwiceInOneLineKeepsTheLaterValue) {
  Line({{kA, 1}, {kB, 2}, {kA, 3}});
  EXPECT_EQ(Current(), (Ids{kA, kB, kA}));
  EXPECT_EQ(Slot(kA).value, 3);
  EXPECT_EQ(Seen(), (Ids{kA, kB}));
  Line({});
  EXPECT_EQ(Inherited(), (Ids{kA, kB}));
}

TEST_F(ParamRegistryTest, DroppedParameterLeavesTheListsUntilSetAgain) {
  Line({{kA, 1}, {kB, 2}, {kC, 3}});
  Line({{kA, 4}});
  const ParamSlot before = Slot(kB);
  ParamSet drop;
  drop.AddRange(kA, kB);  // also the unset 0x7F010002
  registry_.Drop(drop);
  // The line's own entry stays; value and list are left alone.
  EXPECT_EQ(Current(), Ids{kA});
  EXPECT_EQ(Inherited(), Ids{kC});
  EXPECT_EQ(Slot(kB).state, -1);
  EXPECT_EQ(Slot(kB).value, before.value);
  EXPECT_EQ(Seen(), Ids{kC});

  Line({});
  EXPECT_EQ(Inherited(), Ids{kC});
  Line({{kB, 9}});
  EXPECT_EQ(Seen(), (Ids{kC, kB}));
  Line({});
  EXPECT_EQ(Inherited(), (Ids{kC, kB}));
  EXPECT_EQ(Slot(kB).value, 9);
}

TEST_F(ParamRegistryTest, UnfedSlotIsNeverListed) {
  Line({{kA, 1}, {kB, 2}});
  Line({{kC, 3}});
  const SlotRef unfed = Ref(kUnfed);
  for (int i = 0; i < item_->inheritParamCount; ++i) EXPECT_NE(item_->inheritParamList[i], unfed);
  for (int i = 0; i < item_->curParamCount; ++i) EXPECT_NE(item_->curParamList[i], unfed);
  const Ids seen = Seen();
  EXPECT_EQ(std::find(seen.begin(), seen.end(), kUnfed), seen.end());
  EXPECT_EQ(Slot(kUnfed).state, -1);
  EXPECT_EQ(Slot(kUnfed).value, 0);
}

// Long random runs against a plain model of the lists: seenList is the order
// in which parameters first got a value (since their last drop), and a line's
// inherited list is the part of it the line found and did not set.
TEST_F(ParamRegistryTest, RandomLinesAndDropsMatchAPlainModel) {
  std::vector<uint32_t> pool;
  for (uint32_t id = 0x7F010001; pool.size() < 40; ++id) {
    if (SlotOfParam(id) >= 0 && id != kUnfed) pool.push_back(id);
  }
  std::mt19937 rng(7);
  Ids seen;
  for (int line = 0; line < 20000; ++line) {
    // Lines set a few parameters, in an order that usually follows the
    // first-seen order and sometimes does not, now and then one twice.
    std::vector<std::pair<uint32_t, int32_t>> sets;
    const size_t n = rng() % 12;
    size_t at = rng() % pool.size();
    for (size_t i = 0; i < n; ++i) {
      at = rng() % 4 == 0 ? rng() % pool.size() : (at + 1 + rng() % 2) % pool.size();
      sets.push_back({pool[at], static_cast<int32_t>(rng())});
    }
    const Ids found = seen;
    Line(sets);
    std::set<uint32_t> setNow;
    for (auto [id, value] : sets) {
      setNow.insert(id);
      if (std::find(seen.begin(), seen.end(), id) == seen.end()) seen.push_back(id);
    }
    Ids inherited;
    for (uint32_t id : found) {
      if (!setNow.count(id)) inherited.push_back(id);
    }
    ASSERT_EQ(Inherited(), inherited) << "line " << line;

    if (rng() % 16 == 0) {
      const uint32_t first = pool[rng() % pool.size()];
      ParamSet drop;
      drop.AddRange(first, first + rng() % 8);
      registry_.Drop(drop);
      std::erase_if(seen, [&](uint32_t id) { return drop.Contains(Ref(id)); });
      std::erase_if(inherited, [&](uint32_t id) { return drop.Contains(Ref(id)); });
      ASSERT_EQ(Inherited(), inherited) << "drop after line " << line;
    }
    ASSERT_EQ(Seen(), seen) << "line " << line;
  }
}

// Items are queued by copying only the touched runs of slots: whatever the
// decoders did, that copy into a fresh item must give the whole slot array.
TEST_F(ParamRegistryTest, TouchedRunsCarryEveryChangedSlot) {
  std::mt19937 rng(3);
  std::vector<uint32_t> ids;
  for (uint32_t id = 0x7F010001; id < 0x7F020000; ++id) {
    if (SlotOfParam(id) >= 0) ids.push_back(id);
  }
  for (int line = 0; line < 3000; ++line) {
    std::vector<std::pair<uint32_t, int32_t>> sets;
    for (int i = static_cast<int>(rng() % 4); i > 0; --i) {
      // A few slots often, the rest of the table now and then.
      const size_t pick = rng() % 8 == 0 ? rng() % ids.size() : rng() % 12 * 7;
      sets.push_back({ids[pick % ids.size()], static_cast<int32_t>(rng())});
    }
    Line(sets);
    if (rng() % 20 == 0) {
      ParamSet drop;
      const uint32_t first = ids[rng() % ids.size()];
      drop.AddRange(first, first + 40);
      registry_.Drop(drop);
    }
    if (line % 100 != 0) continue;
    auto copy = std::make_unique<ReportItem>();
    InitReportItem(copy.get());
    for (const SlotRun& run : registry_.touchedRuns()) {
      std::memcpy(&copy->paramSlots[run.first], &item_->paramSlots[run.first], run.count * sizeof(ParamSlot));
    }
    ASSERT_EQ(std::memcmp(copy->paramSlots, item_->paramSlots, sizeof copy->paramSlots), 0) << "line " << line;
  }
}

TEST(ParamTableTest, IdentifiersStandInTheirSlots) {
  ASSERT_EQ(kSlotParamIds.size(), 278u);
  std::set<uint32_t> unique(kSlotParamIds.begin(), kSlotParamIds.end());
  EXPECT_EQ(unique.size(), 278u);
  for (int slot = 0; slot < kParamCount; ++slot) {
    EXPECT_EQ(kSlotParamIds[slot] >> 16, 0x7F01u) << slot;
    EXPECT_EQ(SlotOfParam(kSlotParamIds[slot]), slot);
  }
  EXPECT_EQ(kSlotParamIds[42], 0x7F010206u);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(kSlotParamIds[43 + i], 0x7F010191u + i);
  EXPECT_EQ(kSlotParamIds[54], 0x7F018001u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(kSlotParamIds[275 + i], 0x7F01C102u + i);
  for (uint32_t id : {0x7F010000u, 0x7F01001Au, 0x7F01010Du, 0x7F010190u, 0x7F01019Cu,
                      0x7F0107D0u, 0x7F01C101u, 0x7F01C105u, 0x7E010001u}) {
    EXPECT_EQ(SlotOfParam(id), -1) << std::hex << id;
  }
}

TEST(ParamTableTest, FreshItemHasEmptyListsAndConstructedStructArea) {
  auto item = std::make_unique<ReportItem>();
  std::memset(item.get(), 0xAB, sizeof(ReportItem));
  InitReportItem(item.get());
  EXPECT_EQ(item->curParamCount, 0);
  EXPECT_EQ(item->inheritParamCount, 0);
  EXPECT_EQ(item->paramCapacity, 278);
  EXPECT_EQ(item->curStructCount, 0);
  EXPECT_EQ(item->inheritStructCount, 0);
  EXPECT_EQ(item->structCapacity, 31);
  for (int slot = 0; slot < kParamCount; ++slot) {
    EXPECT_EQ(item->paramSlots[slot].state, -1);
    EXPECT_EQ(item->paramSlots[slot].paramId, kSlotParamIds[slot]);
    EXPECT_EQ(item->paramSlots[slot].value, 0);
  }

  // Records in order: 0x7F0107D0..D6, then F5..F7, then D7..F4.
  ASSERT_EQ(kStructParams.size(), 40u);
  EXPECT_EQ(kStructParams[0].payloadSize, 19u);
  EXPECT_EQ(kStructParams[6].payloadSize, 2564u);
  EXPECT_EQ(kStructParams[7].payloadSize, 200u);
  EXPECT_EQ(kStructParams[39].payloadSize, 478u);
  size_t offset = 0;
  for (int i = 0; i < kStructParamCount; ++i) {
    const uint32_t id =
        i < 7 ? 0x7F0107D0 + i : i < 10 ? 0x7F0107F5 + (i - 7) : 0x7F0107D7 + (i - 10);
    EXPECT_EQ(kStructParams[i].paramId, id) << i;
    StructParam header;
    std::memcpy(&header, item->structParams + offset, sizeof header);
    EXPECT_EQ(header.state, -1) << i;
    EXPECT_EQ(header.paramId, id) << i;
    EXPECT_EQ(header.reserved, 0u) << i;
    EXPECT_EQ(header.payload, 0u) << i;
    offset += sizeof header;
    for (uint32_t b = 0; b < kStructParams[i].payloadSize; ++b) {
      ASSERT_EQ(item->structParams[offset + b], 0) << "record " << i << " byte " << b;
    }
    offset += kStructParams[i].payloadSize;
  }
  EXPECT_EQ(offset, 32505u);
}

}  // namespace
}  // namespace wendrake
