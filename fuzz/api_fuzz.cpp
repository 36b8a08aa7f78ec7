// Drives the 21 exported functions as a host does and checks what a host may
// rely on for every item it reads, not only that nothing crashes.
//
// Input: byte 0 picks the module type (five accepted ones and one refused),
// byte 1 the chunking scheme, bytes 2-3 seed the random calls mixed in (chunk
// sizes, configuration calls, bad indexes, null arguments); the rest is log
// text.
//
// The log is decoded three times, each time by a fresh object:
//   reference: at most 200 lines per DecodeMsgProc, so the queue never fills;
//   chunked:   random chunks (still at most 200 lines between two drains),
//              with configuration calls and bad calls in between;
//   one call:  all bytes in one call (when more than 200 lines); the queue
//              overflows past 200 items.
// Items must be identical in the bytes a host may rely on, and the one-call
// run must hand out exactly the first 200 items.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "params/report_item.h"
#include "fuzz/fuzz_check.h"
#include "params/param_table.h"
#include "wendrake/wendrake.h"

namespace {

using wendrake_fuzz::Rng;

constexpr int kModules[] = {WENDRAKE_MODULE_B101, WENDRAKE_MODULE_B200, WENDRAKE_MODULE_B20A,
                            WENDRAKE_MODULE_B20B, WENDRAKE_MODULE_BD00, 0xB102};
constexpr int kQueueCapacity = 200;
constexpr int kSlotSize = sizeof(ParamSlot);
constexpr int kMaxTextLength = WENDRAKE_BLOCK_SIZE - 1;

ReportItem* g_fresh = nullptr;  // a freshly constructed item, for the untouched areas

template <typename T>
void AppendBytes(std::string* out, const T* p, size_t n) {
  out->append(reinterpret_cast<const char*>(p), n);
}

// The bytes of an item a host may rely on: fixed fields, text and raw up to
// their lengths, list entries below their counts, all slots. (Text past its
// length, the simple block and the structured area are checked for their
// fixed contents by CheckItem instead.)
std::string Digest(const ReportItem& item) {
  std::string d;
  AppendBytes(&d, &item, offsetof(ReportItem, text));
  AppendBytes(&d, item.text, item.textLength);
  AppendBytes(&d, &item.rawLength, sizeof item.rawLength);
  AppendBytes(&d, item.raw, item.rawLength);
  AppendBytes(&d, &item.direction, 8);
  AppendBytes(&d, item.curParamList, item.curParamCount * sizeof(uint16_t));
  AppendBytes(&d, item.inheritParamList, item.inheritParamCount * sizeof(uint16_t));
  AppendBytes(&d, item.paramSlots, sizeof item.paramSlots);
  AppendBytes(&d, &item.curStructCount, 6);
  return d;
}

// Whether n bytes all hold `value` (0 or 0xFF); one memcmp, since a byte loop
// under AddressSanitizer costs more than the decoding it checks.
bool AllBytes(const void* p, size_t n, uint8_t value) {
  static const std::vector<uint8_t> zeros(WENDRAKE_BLOCK_SIZE, 0);
  static const std::vector<uint8_t> ones(WENDRAKE_BLOCK_SIZE, 0xFF);
  return n <= WENDRAKE_BLOCK_SIZE && std::memcmp(p, (value == 0 ? zeros : ones).data(), n) == 0;
}

void CheckItem(const ReportItem& item) {
  FUZZ_CHECK(item.reservedA == 0 && item.reservedB == 0);
  FUZZ_CHECK(item.textLength <= kMaxTextLength);
  FUZZ_CHECK(AllBytes(item.text + item.textLength, WENDRAKE_BLOCK_SIZE - item.textLength, 0));
  FUZZ_CHECK(item.rawLength <= WENDRAKE_BLOCK_SIZE);
  FUZZ_CHECK(item.simpleLength == 0);
  FUZZ_CHECK(AllBytes(item.simple, WENDRAKE_BLOCK_SIZE, 0xFF));
  FUZZ_CHECK(item.direction <= 2);
  FUZZ_CHECK(item.paramCapacity == WENDRAKE_PARAM_COUNT);
  FUZZ_CHECK(item.curParamCount <= WENDRAKE_PARAM_COUNT);
  FUZZ_CHECK(item.inheritParamCount <= WENDRAKE_PARAM_COUNT);

  // 1: in the current list, 2: in the inherited list.
  uint8_t listed[WENDRAKE_PARAM_COUNT] = {};
  for (int i = 0; i < item.curParamCount; ++i) {
    const uint16_t ref = item.curParamList[i];
    FUZZ_CHECK(ref % kSlotSize == 0 && ref < WENDRAKE_PARAM_COUNT * kSlotSize);
    FUZZ_CHECK(item.paramSlots[ref / kSlotSize].state == 1);
    listed[ref / kSlotSize] = 1;
  }
  for (int i = 0; i < item.inheritParamCount; ++i) {
    const uint16_t ref = item.inheritParamList[i];
    FUZZ_CHECK(ref % kSlotSize == 0 && ref < WENDRAKE_PARAM_COUNT * kSlotSize);
    FUZZ_CHECK(item.paramSlots[ref / kSlotSize].state == 0);
    FUZZ_CHECK(listed[ref / kSlotSize] == 0);  // in no list twice
    listed[ref / kSlotSize] = 2;
  }
  // Every slot keeps its identifier, and a slot's state says which list
  // names it: a host reading the slots directly sees the same as the lists.
  for (int s = 0; s < WENDRAKE_PARAM_COUNT; ++s) {
    const ParamSlot& slot = item.paramSlots[s];
    FUZZ_CHECK(slot.paramId == wendrake::kSlotParamIds[static_cast<size_t>(s)]);
    FUZZ_CHECK(slot.state >= -1 && slot.state <= 1);
    if (slot.state == 1) FUZZ_CHECK(listed[s] == 1);
    if (slot.state == 0) FUZZ_CHECK(listed[s] == 2);
  }

  FUZZ_CHECK(item.curStructCount == 0 && item.inheritStructCount == 0);
  FUZZ_CHECK(item.structCapacity == WENDRAKE_STRUCT_LIST_CAPACITY);
  FUZZ_CHECK(std::memcmp(item.structParams, g_fresh->structParams, sizeof item.structParams) == 0);
}

// Reads item i through every accessor, checks each against the item record
// and returns its digest.
std::string ReadItem(DecoderObject* d, int i, Rng& rng) {
  ReportItem* item = GetReportItemProc(d, i);
  FUZZ_CHECK(item != nullptr);
  CheckItem(*item);
  FUZZ_CHECK(GetReportItemMsgCode(d, i) == static_cast<int>(item->msgCode));
  FUZZ_CHECK(GetReportItemMsgDirection(d, i) == item->direction);
  FUZZ_CHECK(GetReportItemMsgTime(d, i) == reinterpret_cast<ReportTime*>(&item->timeSeconds));
  FUZZ_CHECK(GetReportItemBinary(d, i) == reinterpret_cast<ReportBlock*>(&item->textLength));
  FUZZ_CHECK(GetReportItemBinaryToRCUFilter(d, i) ==
             reinterpret_cast<ReportBlock*>(&item->rawLength));
  FUZZ_CHECK(GetReportItemBinaryToRCUSimple(d, i) ==
             reinterpret_cast<ReportBlock*>(&item->simpleLength));

  const int cur = GetReportItemCurDecodeParamCount(d, i);
  const int inh = GetReportItemInheritDecodeParamCount(d, i);
  FUZZ_CHECK(cur == item->curParamCount && inh == item->inheritParamCount);
  for (int p = 0; p < cur; ++p) {
    FUZZ_CHECK(GetReportItemCurDecodeParamList(d, i, p) ==
               &item->paramSlots[item->curParamList[p] / kSlotSize]);
  }
  for (int p = 0; p < inh; ++p) {
    FUZZ_CHECK(GetReportItemInheritDecodeParamList(d, i, p) ==
               &item->paramSlots[item->inheritParamList[p] / kSlotSize]);
  }
  const int badParams[] = {-1, cur, INT_MIN, static_cast<int>(rng.Below(1000)) + cur};
  const int badInherited[] = {-1, inh, INT_MAX, static_cast<int>(rng.Below(1000)) + inh};
  const int pick = static_cast<int>(rng.Below(4));
  FUZZ_CHECK(GetReportItemCurDecodeParamList(d, i, badParams[pick]) == nullptr);
  FUZZ_CHECK(GetReportItemInheritDecodeParamList(d, i, badInherited[pick]) == nullptr);

  FUZZ_CHECK(GetReportItemCurDecodeStructParamCount(d, i) == 0);
  FUZZ_CHECK(GetReportItemInheritDecodeStructParamCount(d, i) == 0);
  const int structIdx = static_cast<int>(rng.Below(40)) - 4;
  FUZZ_CHECK(GetReportItemCurDecodeStructParamList(d, i, structIdx) == nullptr);
  FUZZ_CHECK(GetReportItemInheritDecodeStructParamList(d, i, structIdx) == nullptr);
  return Digest(*item);
}

// Every accessor with an item index outside 0..n-1.
void CheckBadIndex(DecoderObject* d, int i) {
  FUZZ_CHECK(GetReportItemProc(d, i) == nullptr);
  FUZZ_CHECK(GetReportItemMsgCode(d, i) == -1);
  FUZZ_CHECK(GetReportItemMsgDirection(d, i) == -1);
  FUZZ_CHECK(GetReportItemMsgTime(d, i) == nullptr);
  FUZZ_CHECK(GetReportItemBinary(d, i) == nullptr);
  FUZZ_CHECK(GetReportItemBinaryToRCUFilter(d, i) == nullptr);
  FUZZ_CHECK(GetReportItemBinaryToRCUSimple(d, i) == nullptr);
  FUZZ_CHECK(GetReportItemCurDecodeParamCount(d, i) == -1);
  FUZZ_CHECK(GetReportItemInheritDecodeParamCount(d, i) == -1);
  FUZZ_CHECK(GetReportItemCurDecodeParamList(d, i, 0) == nullptr);
  FUZZ_CHECK(GetReportItemInheritDecodeParamList(d, i, 0) == nullptr);
  FUZZ_CHECK(GetReportItemCurDecodeStructParamCount(d, i) == -1);
  FUZZ_CHECK(GetReportItemInheritDecodeStructParamCount(d, i) == -1);
  FUZZ_CHECK(GetReportItemCurDecodeStructParamList(d, i, 0) == nullptr);
  FUZZ_CHECK(GetReportItemInheritDecodeStructParamList(d, i, 0) == nullptr);
}

// Every export on a null handle: nothing happens, the null results come back.
void CheckNullHandle() {
  DecoderObject* none = nullptr;
  const uint8_t buffer[4] = {0, 0, 0, 0};
  FUZZ_CHECK(!FreeDecoderObjectProc(nullptr));
  FUZZ_CHECK(!FreeDecoderObjectProc(&none));
  FUZZ_CHECK(!SetDecoderConfiguration(none, 1, buffer, 4));
  FUZZ_CHECK(!DecodeMsgProc(none, "DM\n", 3));
  FUZZ_CHECK(GetReportItemCountProc(none) == -1);
  FUZZ_CHECK(!ClearReportItemsProc(none));
  FUZZ_CHECK(GetReportItemProc(none, 0) == nullptr);
  FUZZ_CHECK(GetReportItemMsgCode(none, 0) == -1);
  FUZZ_CHECK(GetReportItemMsgDirection(none, 0) == -1);
  FUZZ_CHECK(GetReportItemMsgTime(none, 0) == nullptr);
  FUZZ_CHECK(GetReportItemBinary(none, 0) == nullptr);
  FUZZ_CHECK(GetReportItemBinaryToRCUFilter(none, 0) == nullptr);
  FUZZ_CHECK(GetReportItemBinaryToRCUSimple(none, 0) == nullptr);
  FUZZ_CHECK(GetReportItemCurDecodeParamCount(none, 0) == -1);
  FUZZ_CHECK(GetReportItemInheritDecodeParamCount(none, 0) == -1);
  FUZZ_CHECK(GetReportItemCurDecodeParamList(none, 0, 0) == nullptr);
  FUZZ_CHECK(GetReportItemInheritDecodeParamList(none, 0, 0) == nullptr);
  FUZZ_CHECK(GetReportItemCurDecodeStructParamCount(none, 0) == -1);
  FUZZ_CHECK(GetReportItemInheritDecodeStructParamCount(none, 0) == -1);
  FUZZ_CHECK(GetReportItemCurDecodeStructParamList(none, 0, 0) == nullptr);
  FUZZ_CHECK(GetReportItemInheritDecodeStructParamList(none, 0, 0) == nullptr);
}

// A configuration call with a buffer of exactly `size` bytes (so reading
// past the size the host gave is caught), well or badly formed.
void Configure(DecoderObject* d, Rng& rng) {
  static const int kTypes[] = {1, 2, 1, 2, 0, 3, -1, INT_MIN};
  const int type = kTypes[rng.Below(8)];
  int32_t count;
  switch (rng.Below(4)) {
    case 0: count = static_cast<int32_t>(rng.Below(101)); break;
    case 1: count = 101 + static_cast<int32_t>(rng.Below(20)); break;
    case 2: count = -static_cast<int32_t>(rng.Below(5)) - 1; break;
    default: count = static_cast<int32_t>(rng.Next()); break;
  }
  const int64_t matching = int64_t{count} * 8 + 4;
  int size;
  switch (rng.Below(3)) {
    case 0: size = matching >= 0 && matching <= 1000 ? static_cast<int>(matching) : 4; break;
    case 1: size = static_cast<int>(rng.Below(12)); break;
    default: size = static_cast<int>(rng.Below(1000)); break;
  }
  std::vector<uint8_t> buffer(static_cast<size_t>(size) + (size == 0 ? 1 : 0));
  for (uint8_t& b : buffer) b = static_cast<uint8_t>(rng.Next());
  if (size >= 4) std::memcpy(buffer.data(), &count, 4);
  const bool ok = SetDecoderConfiguration(d, type, buffer.data(), size);
  bool expected = true;
  if (type == 1 || type == 2) {
    expected = size >= 4 && count >= 0 && count <= 100 && matching == size;
  }
  FUZZ_CHECK(ok == expected);
  FUZZ_CHECK(!SetDecoderConfiguration(d, type, nullptr, size));
}

// Where the next call may end so that at most `room` lines end in it.
size_t EndAfterLines(const uint8_t* log, size_t begin, size_t end, int room) {
  for (size_t i = begin; i < end; ++i) {
    if (log[i] == '\n' && --room == 0) return i + 1;
  }
  return end;
}

// Count, read every item, clear. Appends the digests to `out`.
void Drain(DecoderObject* d, Rng& rng, std::vector<std::string>* out) {
  const int n = GetReportItemCountProc(d);
  FUZZ_CHECK(n >= 0 && n <= kQueueCapacity);
  for (int i = 0; i < n; ++i) out->push_back(ReadItem(d, i, rng));
  if (rng.OneIn(4)) CheckBadIndex(d, rng.OneIn(2) ? n : -1 - static_cast<int>(rng.Below(3)));
  if (rng.OneIn(16)) CheckBadIndex(d, rng.OneIn(2) ? INT_MAX : INT_MIN);
  FUZZ_CHECK(ClearReportItemsProc(d));
  if (rng.OneIn(8)) {
    // A second count with nothing decoded in between hands out nothing.
    FUZZ_CHECK(GetReportItemCountProc(d) == 0);
    CheckBadIndex(d, 0);
  }
}

std::vector<std::string> DecodeReference(int module, const uint8_t* log, size_t size) {
  DecoderObject* d = CreateDecoderObjectProc(module);
  FUZZ_CHECK(d != nullptr);
  Rng rng(1);
  std::vector<std::string> items;
  for (size_t pos = 0; pos < size;) {
    const size_t end = EndAfterLines(log, pos, size, kQueueCapacity);
    FUZZ_CHECK(DecodeMsgProc(d, reinterpret_cast<const char*>(log + pos), static_cast<int>(end - pos)));
    Drain(d, rng, &items);
    pos = end;
  }
  FUZZ_CHECK(FreeDecoderObjectProc(&d) && d == nullptr);
  return items;
}

std::vector<std::string> DecodeChunked(int module, uint8_t scheme, const uint8_t* log, size_t size,
                                       Rng& rng) {
  DecoderObject* d = CreateDecoderObjectProc(module);
  FUZZ_CHECK(d != nullptr);
  std::vector<std::string> items;
  int linesPending = 0;  // lines fed since the last drain
  for (size_t pos = 0; pos < size;) {
    size_t want;
    switch (scheme % 4) {
      case 0: want = 1; break;
      case 1: want = 1 + rng.Below(8); break;
      case 2: want = 1 + rng.Below(600); break;
      default: want = EndAfterLines(log, pos, size, 1 + static_cast<int>(rng.Below(3))) - pos; break;
    }
    size_t end = pos + want < size ? pos + want : size;
    end = EndAfterLines(log, pos, end, kQueueCapacity - linesPending);
    for (size_t i = pos; i < end; ++i) linesPending += log[i] == '\n';

    if (rng.OneIn(16)) Configure(d, rng);
    if (rng.OneIn(32)) {
      // Calls that must change nothing.
      FUZZ_CHECK(!DecodeMsgProc(d, reinterpret_cast<const char*>(log + pos), 0));
      FUZZ_CHECK(!DecodeMsgProc(d, reinterpret_cast<const char*>(log + pos), -1 - static_cast<int>(rng.Below(9))));
      FUZZ_CHECK(!DecodeMsgProc(d, nullptr, static_cast<int>(end - pos)));
    }
    const char* chunk = reinterpret_cast<const char*>(log + pos);
    const bool fed = rng.OneIn(8) ? DecodeMsgProc(d, chunk, static_cast<int>(end - pos), 0x5A5A)
                                  : DecodeMsgProc(d, chunk, static_cast<int>(end - pos));
    FUZZ_CHECK(fed);
    pos = end;
    // Sometimes several chunks go by before the host collects.
    if (linesPending == kQueueCapacity || pos == size || !rng.OneIn(3)) {
      Drain(d, rng, &items);
      linesPending = 0;
    }
  }
  if (rng.OneIn(4)) Configure(d, rng);
  FUZZ_CHECK(FreeDecoderObjectProc(&d) && d == nullptr);
  FUZZ_CHECK(!FreeDecoderObjectProc(&d));  // freeing twice through the nulled handle
  return items;
}

// All bytes in one call: the queue keeps the first 200 items.
std::vector<std::string> DecodeOneCall(int module, const uint8_t* log, size_t size) {
  DecoderObject* d = CreateDecoderObjectProc(module);
  FUZZ_CHECK(d != nullptr);
  std::vector<std::string> items;
  FUZZ_CHECK(DecodeMsgProc(d, reinterpret_cast<const char*>(log), static_cast<int>(size)));
  const int n = GetReportItemCountProc(d);
  for (int i = 0; i < n; ++i) items.push_back(Digest(*GetReportItemProc(d, i)));
  FUZZ_CHECK(FreeDecoderObjectProc(&d));
  return items;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  wendrake_fuzz::QuietStdout();
  g_fresh = new ReportItem;
  wendrake::InitReportItem(g_fresh);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t header[4] = {0, 0, 0, 0};
  std::memcpy(header, data, size < 4 ? size : 4);
  const uint8_t* log = size > 4 ? data + 4 : data;
  const size_t logSize = size > 4 ? size - 4 : 0;

  const int module = kModules[header[0] % 6];
  if (module == kModules[5]) {
    FUZZ_CHECK(CreateDecoderObjectProc(module) == nullptr);
    CheckNullHandle();
    return 0;
  }
  Rng rng(uint64_t{header[2]} << 8 | header[3]);
  const std::vector<std::string> reference = DecodeReference(module, log, logSize);
  const std::vector<std::string> chunked = DecodeChunked(module, header[1], log, logSize, rng);
  FUZZ_CHECK(chunked.size() == reference.size());
  for (size_t i = 0; i < reference.size(); ++i) FUZZ_CHECK(chunked[i] == reference[i]);

  // With 200 lines or fewer the reference run already fed everything in one
  // call; only a longer log overflows the queue.
  if (std::count(log, log + logSize, '\n') > kQueueCapacity) {
    const std::vector<std::string> whole = DecodeOneCall(module, log, logSize);
    const size_t expected = reference.size() < kQueueCapacity ? reference.size() : kQueueCapacity;
    FUZZ_CHECK(whole.size() == expected);
    for (size_t i = 0; i < whole.size(); ++i) FUZZ_CHECK(whole[i] == reference[i]);
  }
  return 0;
}
