// The names under which tools show decode parameters.
#pragma once

#include <cstdint>
#include <string_view>

#include "params/known_columns.h"
#include "wendrake/wendrake.h"

namespace wendrake {

// The column name that feeds the parameter ("Rxagc"), the name of a state
// word the decoders report, or an empty view.
constexpr std::string_view ParamName(uint32_t paramId) {
  if (paramId == WENDRAKE_PARAM_L3_STATE) return "L3State";
  if (paramId == WENDRAKE_PARAM_EVDO_STATE) return "EvdoState";
  return KnownColumnName(paramId);
}

// Token of the record type whose column feeds the parameter, or empty.
constexpr int32_t ParamRecordType(uint32_t paramId) {
  for (const KnownName& known : kKnownNames) {
    if (known.paramId == paramId) return known.type;
  }
  return kRecordUnknown;
}

}  // namespace wendrake
