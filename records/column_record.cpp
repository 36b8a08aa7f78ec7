#include "records/column_record.h"

#include "params/param_scales.h"
#include "records/column_walk.h"
#include "text/c_numbers.h"

namespace wendrake {

bool DecodeColumnRecord(const RecordContext& line, std::string_view lineText) {
  const bool isEvent = line.type == kRecordEVT;
  // Values written into the text end at their first NUL; most lines hold
  // none, so fields need no search.
  const bool lineHasNul = line.writeText && lineText.find('\0') != std::string_view::npos;

  WalkColumns(line, lineText, [&](int column, std::string_view field, int32_t slotRef) {
    if (slotRef != kNoSlot) {
      const SlotRef ref = static_cast<SlotRef>(slotRef);
      const int32_t value =
          isEvent ? CHexToInt32(field) : ScaledValue(field, SlotScale(SlotIndexOf(ref)));
      line.params.Set(ref, value);
    }
    if (!line.writeText) return;
    const std::string_view value = lineHasNul ? ValueUpToNul(field) : field;
    AppendElement(line.columns.Tags(line.type, column), value, &line.text);
  });

  line.params.Settle();
  return true;
}

}  // namespace wendrake
