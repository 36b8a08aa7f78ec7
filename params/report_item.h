// Construction of report items.
#pragma once

#include "wendrake/wendrake.h"

namespace wendrake {

// A fresh item: zero header fields, direction 2, text, raw and simple blocks
// of 0xFF bytes with length 0, and the parameter area as constructed.
void InitReportItem(ReportItem* item);

}  // namespace wendrake
