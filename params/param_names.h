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

// The unit of a parameter's real value (stored value / scale), for the
// columns whose meaning the logs settle: powers in dBm, power ratios in dB,
// data rates in kbit/s, error and retransmission rates in percent. Counts,
// indexes, channel numbers and state words have none; neither has a
// parameter no column feeds.
struct ParamUnitEntry {
  std::string_view column;
  std::string_view unit;
};

inline constexpr ParamUnitEntry kParamUnits[] = {
    {"Rxagc", "dBm"},           {"RxAGC0", "dBm"},         {"RxAGC1", "dBm"},
    {"Txpower", "dBm"},         {"TxPilotPower", "dBm"},   {"TxOpenLoopPower", "dBm"},
    {"Total_Ec", "dBm"},        {"ReferenceEc", "dBm"},    {"MaxEc", "dBm"},
    {"Txgainadj", "dB"},        {"TxClosedloopadjust", "dB"},
    {"Total_EcIo", "dB"},       {"ReferenceEcIo", "dB"},   {"MaxEcIo", "dB"},
    {"Total_C/I", "dB"},        {"Total_SINR", "dB"},
    {"DRC_Rate", "kbit/s"},     {"Rlprx_Rate", "kbit/s"},  {"Rlptx_Rate", "kbit/s"},
    {"Physrx_Rate", "kbit/s"},  {"Phystx_Rate", "kbit/s"}, {"EV_RxRLPThroughput", "kbit/s"},
    {"EV_TxRLPThroughput", "kbit/s"}, {"EV_RxPacketThroughput", "kbit/s"},
    {"EV_TxPacketThroughput", "kbit/s"},
    {"Fber", "%"},              {"FFER", "%"},             {"Rlperr_Rate", "%"},
    {"Rlprtx_Rate", "%"},       {"EV_Duplicate_Rate", "%"}, {"EV_RLPErrorRate", "%"},
    {"EV_RLPRtxRate", "%"},     {"EV_RxPER", "%"},         {"EV_TxPER", "%"},
};

// Every unit belongs to a column that feeds a parameter.
constexpr bool UnitsNameKnownColumns() {
  for (const ParamUnitEntry& entry : kParamUnits) {
    bool known = false;
    for (const KnownName& name : kKnownNames) known = known || name.name == entry.column;
    if (!known) return false;
  }
  return true;
}
static_assert(UnitsNameKnownColumns());

// The unit of the parameter's real value, or an empty view.
constexpr std::string_view ParamUnit(uint32_t paramId) {
  const std::string_view column = KnownColumnName(paramId);
  if (column.empty()) return {};
  for (const ParamUnitEntry& entry : kParamUnits) {
    if (entry.column == column) return entry.unit;
  }
  return {};
}

// Token of the record type whose column feeds the parameter, or empty.
constexpr int32_t ParamRecordType(uint32_t paramId) {
  for (const KnownName& known : kKnownNames) {
    if (known.paramId == paramId) return known.type;
  }
  return kRecordUnknown;
}

}  // namespace wendrake
