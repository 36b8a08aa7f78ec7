// Builds an ItemTable in one pass, straight from the decoder's lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "decode/line_assembler.h"
#include "decode/line_decoder.h"
#include "table/item_table.h"

namespace wendrake {

class TableBuilder {
 public:
  // `carried`: a parameter cell holds every value the parameter has at the
  // item (set by its line or carried over), as the item's lists report it;
  // otherwise only the values the item's own line set.
  TableBuilder(int32_t moduleType, bool carried);

  // Feeds log text split anywhere.
  void Feed(const char* text, size_t length);

  // Ends the log (a last line without newline is decoded as a line) and
  // hands over the table.
  ItemTable Finish();

 private:
  void AddRow(std::string_view lineText);
  void AddParams(const ReportItem& item);
  int64_t ClockMs(const ReportItem& item);
  int32_t EventName(std::string_view lineText);

  bool carried_;
  LineAssembler lines_;
  std::unique_ptr<LineDecoder> decoder_;  // 70 KB: on the heap
  ItemTable table_;
  int columnOfSlot_[WENDRAKE_PARAM_COUNT];  // index into table_.params, or -1
  std::unordered_map<std::string, int32_t> eventNameIndex_;
  bool clockValid_ = false;
  LogClock lastClock_;
  int64_t lastClockMs_ = 0;
};

}  // namespace wendrake
