#include "params/param_scales.h"

#include <array>
#include <iterator>

#include "params/param_table.h"

namespace wendrake {
namespace {

struct ScaleRange {
  uint32_t first;
  uint32_t last;  // inclusive
  int32_t factor;
};

// Parameters logged with fractional digits are stored as integers in
// thousandths or hundredths; every other parameter is stored as logged.
// Sorted by identifier, ranges do not overlap.
constexpr ScaleRange kScales[] = {
    {0x7F010001, 0x7F010004, 1000}, {0x7F010005, 0x7F010007, 100},
    {0x7F01000C, 0x7F010011, 1000}, {0x7F010101, 0x7F01010C, 1000},
    {0x7F010203, 0x7F010204, 100},  {0x7F018001, 0x7F018008, 1000},
    {0x7F018105, 0x7F018107, 100},  {0x7F018206, 0x7F018207, 100},
    {0x7F018407, 0x7F018408, 100},  {0x7F018502, 0x7F018506, 1000},
    {0x7F01850F, 0x7F01850F, 1000}, {0x7F019101, 0x7F019108, 1000},
    {0x7F019205, 0x7F019207, 100},  {0x7F019306, 0x7F019307, 100},
    {0x7F019408, 0x7F019409, 100},  {0x7F019502, 0x7F019506, 1000},
    {0x7F01A101, 0x7F01A108, 1000}, {0x7F01A205, 0x7F01A207, 100},
    {0x7F01A306, 0x7F01A307, 100},  {0x7F01A408, 0x7F01A409, 100},
    {0x7F01A502, 0x7F01A506, 1000}, {0x7F01B101, 0x7F01B108, 1000},
    {0x7F01B205, 0x7F01B207, 100},  {0x7F01B306, 0x7F01B307, 100},
    {0x7F01B408, 0x7F01B409, 100},  {0x7F01B502, 0x7F01B506, 1000},
};

constexpr bool Sorted() {
  for (size_t i = 0; i < std::size(kScales); ++i) {
    if (kScales[i].first > kScales[i].last) return false;
    if (i > 0 && kScales[i - 1].last >= kScales[i].first) return false;
  }
  return true;
}

constexpr uint32_t CountWithFactor(int32_t factor) {
  uint32_t count = 0;
  for (const ScaleRange& range : kScales)
    if (range.factor == factor) count += range.last - range.first + 1;
  return count;
}

static_assert(Sorted(), "the lookup needs sorted, disjoint ranges");
static_assert(CountWithFactor(1000) == 75 && CountWithFactor(100) == 33);

}  // namespace

int32_t ParamScale(uint32_t paramId) {
  // Binary search: this runs for every column value that feeds a parameter.
  size_t low = 0;
  size_t high = std::size(kScales);
  while (low < high) {
    size_t mid = (low + high) / 2;
    if (paramId < kScales[mid].first) {
      high = mid;
    } else if (paramId > kScales[mid].last) {
      low = mid + 1;
    } else {
      return kScales[mid].factor;
    }
  }
  return 1;
}

namespace {

// Built when the library loads, so the per-value lookup needs no guard.
const std::array<int32_t, kParamCount> kSlotScales = [] {
  std::array<int32_t, kParamCount> table{};
  for (int slot = 0; slot < kParamCount; ++slot) table[slot] = ParamScale(kSlotParamIds[slot]);
  return table;
}();

}  // namespace

int32_t SlotScale(int slotIndex) { return kSlotScales[slotIndex]; }

}  // namespace wendrake
