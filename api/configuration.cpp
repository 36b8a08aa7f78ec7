#include "api/configuration.h"

#include <array>

#include "params/param_table.h"

#include <cstdio>
#include <cstring>
#include <iterator>

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

struct Messages {
  const char* buffer;
  const char* count;
};

constexpr Messages kFilterMessages = {
    "The buffer that filter parameters need is set error.\n",
    "The filtering message number is greater than the default maximum value\n"};
constexpr Messages kScaleMessages = {
    "The buffer that scale parameters need is set error.\n",
    "The needed scale Parameter number is greater than the default maximum value\n"};

constexpr int32_t kMaxEntries = 100;
constexpr int64_t kEntrySize = 8;
constexpr int64_t kCountSize = 4;

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

bool CheckConfiguration(int type, const uint8_t* buffer, int size) {
  const Messages* messages;
  if (type == kFilterConfiguration) {
    messages = &kFilterMessages;
  } else if (type == kScaleConfiguration) {
    messages = &kScaleMessages;
  } else {
    return true;
  }

  if (size < static_cast<int>(kCountSize)) {
    std::printf("%s", messages->buffer);
    return false;
  }
  // Little-endian, byte by byte: hosts pass buffers of any alignment.
  int32_t count = static_cast<int32_t>(static_cast<uint32_t>(buffer[0]) |
                                       static_cast<uint32_t>(buffer[1]) << 8 |
                                       static_cast<uint32_t>(buffer[2]) << 16 |
                                       static_cast<uint32_t>(buffer[3]) << 24);
  // 64 bits, so no count can wrap around to a matching size.
  if (count < 0 || count * kEntrySize + kCountSize != size) {
    std::printf("%s", messages->buffer);
    return false;
  }

  // The entries are taken into a table of this call only; nothing decodes
  // differently because of them, so the table is dropped on return.
  uint8_t entries[kMaxEntries * kEntrySize];
  bool accepted = count <= kMaxEntries;
  int64_t taken = accepted ? count : kMaxEntries;
  std::memcpy(entries, buffer + kCountSize, static_cast<size_t>(taken * kEntrySize));
  if (!accepted) {
    std::printf("%s", messages->count);
    return false;
  }
  return true;
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
