// What a record decoder may touch while it decodes one data line.
#pragma once

#include <cstdint>

#include "params/column_registry.h"
#include "params/param_registry.h"
#include "text/element_writer.h"
#include "wendrake/wendrake.h"

namespace wendrake {

// The item under construction and its writers. The raw block already holds
// the line and the text its opening envelope; the parameter lists have begun
// the line.
struct RecordContext {
  int32_t type;                   // record type of the line
  const ColumnRegistry& columns;  // registered columns of every type
  ReportItem& item;               // blocks of the item under construction
  XmlText& text;                  // its text block
  ParamRegistry& params;          // its parameter lists
  bool writeText;                 // whether column values go into the text
};

// Signalling state carried from line to line: the two state words the
// decoders report and the hybrid mode of the latest "CEVS" line.
struct SignallingState {
  uint16_t layer3 = 0;  // WENDRAKE_PARAM_L3_STATE
  uint16_t evdo = 0;    // WENDRAKE_PARAM_EVDO_STATE
  int32_t hybridMode = -1;
};

}  // namespace wendrake
