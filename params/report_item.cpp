#include "params/report_item.h"

#include <cstring>

#include "params/param_table.h"

namespace wendrake {

void InitReportItem(ReportItem* item) {
  item->reservedA = 0;
  item->reservedB = 0;
  item->timeSeconds = 0;
  item->timeMicros = 0;
  item->msgCode = 0;
  item->textLength = 0;
  std::memset(item->text, 0xFF, sizeof item->text);
  item->rawLength = 0;
  std::memset(item->raw, 0xFF, sizeof item->raw);
  item->simpleLength = 0;
  std::memset(item->simple, 0xFF, sizeof item->simple);
  item->direction = 2;
  InitParamArea(item);
}

}  // namespace wendrake
