#include "params/param_table.h"

#include <cstring>

namespace wendrake {
namespace {

constexpr std::array<uint32_t, kParamCount> BuildSlotIds() {
  std::array<uint32_t, kParamCount> ids{};
  int slot = 0;
  for (const IdBlock& block : kIdBlocks) {
    for (int i = 0; i < block.count; ++i) ids[slot++] = block.first + static_cast<uint32_t>(i);
  }
  return ids;
}

constexpr int CountSlots() {
  int total = 0;
  for (const IdBlock& block : kIdBlocks) total += block.count;
  return total;
}
static_assert(CountSlots() == kParamCount);

constexpr uint32_t StructAreaSize() {
  uint32_t total = 0;
  for (const StructParamInfo& info : kStructParams) total += sizeof(StructParam) + info.payloadSize;
  return total;
}

}  // namespace

constexpr std::array<uint32_t, kParamCount> kSlotParamIds = BuildSlotIds();

// 0x7F0107F5..F7 stand between 0x7F0107D6 and 0x7F0107D7.
constexpr std::array<StructParamInfo, kStructParamCount> kStructParams = {{
    {0x7F0107D0, 19},   {0x7F0107D1, 5},    {0x7F0107D2, 24},   {0x7F0107D3, 4},
    {0x7F0107D4, 261},  {0x7F0107D5, 48},   {0x7F0107D6, 2564}, {0x7F0107F5, 200},
    {0x7F0107F6, 273},  {0x7F0107F7, 17},   {0x7F0107D7, 229},  {0x7F0107D8, 3588},
    {0x7F0107D9, 1165}, {0x7F0107DA, 899},  {0x7F0107DB, 1796}, {0x7F0107DC, 28},
    {0x7F0107DD, 52},   {0x7F0107DE, 4},    {0x7F0107DF, 40},   {0x7F0107E0, 288},
    {0x7F0107E1, 12},   {0x7F0107E2, 20},   {0x7F0107E3, 12},   {0x7F0107E4, 1344},
    {0x7F0107E5, 156},  {0x7F0107E6, 2472}, {0x7F0107E7, 66},   {0x7F0107E8, 59},
    {0x7F0107E9, 146},  {0x7F0107EA, 1375}, {0x7F0107EB, 3588}, {0x7F0107EC, 2823},
    {0x7F0107ED, 1155}, {0x7F0107EE, 2306}, {0x7F0107EF, 1356}, {0x7F0107F0, 168},
    {0x7F0107F1, 2484}, {0x7F0107F2, 167},  {0x7F0107F3, 174},  {0x7F0107F4, 478},
}};
static_assert(StructAreaSize() == WENDRAKE_STRUCT_AREA_SIZE);

void InitParamArea(ReportItem* item) {
  item->curParamCount = 0;
  item->inheritParamCount = 0;
  item->paramCapacity = kParamCount;
  std::memset(item->curParamList, 0, sizeof item->curParamList);
  std::memset(item->inheritParamList, 0, sizeof item->inheritParamList);
  for (int slot = 0; slot < kParamCount; ++slot) {
    item->paramSlots[slot] = ParamSlot{-1, kSlotParamIds[slot], 0};
  }

  item->curStructCount = 0;
  item->inheritStructCount = 0;
  item->structCapacity = WENDRAKE_STRUCT_LIST_CAPACITY;
  std::memset(item->curStructList, 0, sizeof item->curStructList);
  std::memset(item->inheritStructList, 0, sizeof item->inheritStructList);
  // Payloads are never filled; zeroing them keeps uninitialised memory away
  // from hosts.
  std::memset(item->structParams, 0, sizeof item->structParams);
  uint8_t* record = item->structParams;
  for (const StructParamInfo& info : kStructParams) {
    const StructParam header{-1, info.paramId, 0, 0};
    std::memcpy(record, &header, sizeof header);
    record += sizeof header + info.payloadSize;
  }
}

}  // namespace wendrake
