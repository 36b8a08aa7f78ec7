// Test harness that drives the library through its exported functions the
// way a host does, and keeps copies of the items it reads.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "wendrake/wendrake.h"

namespace wendrake_test {

struct Param {
  uint32_t id;
  int32_t state;
  int32_t value;
  bool operator==(const Param&) const = default;
};

// What a host reads of one item.
struct Item {
  uint32_t code;
  int direction;
  uint32_t seconds;
  uint32_t micros;
  std::string text;   // textLength bytes
  std::string raw;    // rawLength bytes
  std::vector<Param> current;
  std::vector<Param> inherited;
  bool operator==(const Item&) const = default;
};

// Owns one decoder object for a test.
class Host {
 public:
  explicit Host(int moduleType = WENDRAKE_MODULE_B101) : decoder_(CreateDecoderObjectProc(moduleType)) {}
  ~Host() { FreeDecoderObjectProc(&decoder_); }
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  DecoderObject* get() const { return decoder_; }

  // One host cycle: feed, count, read every item, clear.
  std::vector<Item> Cycle(std::string_view text) {
    DecodeMsgProc(decoder_, text.data(), static_cast<int>(text.size()));
    return Drain();
  }

  // Count, read every item, clear.
  std::vector<Item> Drain() {
    std::vector<Item> items;
    const int n = GetReportItemCountProc(decoder_);
    for (int i = 0; i < n; ++i) items.push_back(Read(i));
    ClearReportItemsProc(decoder_);
    return items;
  }

  Item Read(int i) {
    Item item;
    item.code = static_cast<uint32_t>(GetReportItemMsgCode(decoder_, i));
    item.direction = GetReportItemMsgDirection(decoder_, i);
    const ReportTime* time = GetReportItemMsgTime(decoder_, i);
    item.seconds = time->seconds;
    item.micros = time->micros;
    const ReportBlock* text = GetReportItemBinary(decoder_, i);
    item.text.assign(reinterpret_cast<const char*>(text->bytes), text->length);
    const ReportBlock* raw = GetReportItemBinaryToRCUFilter(decoder_, i);
    item.raw.assign(reinterpret_cast<const char*>(raw->bytes), raw->length);
    const int cur = GetReportItemCurDecodeParamCount(decoder_, i);
    for (int p = 0; p < cur; ++p) item.current.push_back(ToParam(GetReportItemCurDecodeParamList(decoder_, i, p)));
    const int inh = GetReportItemInheritDecodeParamCount(decoder_, i);
    for (int p = 0; p < inh; ++p) item.inherited.push_back(ToParam(GetReportItemInheritDecodeParamList(decoder_, i, p)));
    return item;
  }

 private:
  static Param ToParam(const ParamSlot* slot) { return Param{slot->paramId, slot->state, slot->value}; }

  DecoderObject* decoder_;
};

// Finds a parameter by id in a list; null when absent.
inline const Param* Find(const std::vector<Param>& list, uint32_t id) {
  for (const Param& p : list) {
    if (p.id == id) return &p;
  }
  return nullptr;
}

}  // namespace wendrake_test
