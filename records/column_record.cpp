#include "records/column_record.h"

#include "api/configuration.h"
#include "core/c_numbers.h"
#include "core/line_decoder.h"
#include "core/tab_fields.h"
#include "records/column_walk.h"

namespace wendrake {

bool DecodeColumnRecord(LineDecoder& decoder, std::string_view lineText) {
  const bool isEvent = decoder.recordType == kRecordEVT;
  ReportItem& current = decoder.current;
  const uint16_t start = decoder.params.seenCount();
  uint8_t k = 0;
  // Values written into the text end at their first NUL; most lines hold
  // none, so fields need no search.
  const bool lineHasNul = lineText.find('\0') != std::string_view::npos;

  WalkColumns(decoder, lineText, [&](int column, std::string_view field, int32_t slotRef) {
    if (slotRef != kNoSlot) {
      const SlotRef ref = static_cast<SlotRef>(slotRef);
      const int32_t value =
          isEvent ? CHexToInt32(field) : ScaledValue(field, SlotScale(SlotIndexOf(ref)));
      decoder.params.SetParam(&current, ref, value, &k);
    }
    const std::string_view value = lineHasNul ? ValueUpToNul(field) : field;
    AppendElement(decoder.columns.Tags(decoder.recordType, column), value, &decoder.text);
  });

  current.curParamCount = k;
  decoder.params.SettleInheritList(&current, start, k);
  return true;
}

}  // namespace wendrake
