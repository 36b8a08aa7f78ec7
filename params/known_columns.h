// The column names a log may register that feed decode parameters: the only
// way a logged column reaches a parameter.
#pragma once

#include <cstdint>
#include <string_view>

#include "params/record_type.h"

namespace wendrake {

struct KnownName {
  int32_t type;
  std::string_view name;
  uint32_t paramId;
};

inline constexpr KnownName kKnownNames[] = {
    {kRecordDM, "Rxagc", 0x7F010001},
    {kRecordDM, "RxAGC0", 0x7F018001},
    {kRecordDM, "RxAGC1", 0x7F018002},
    {kRecordDM, "Total_C/I", 0x7F018007},
    {kRecordDM, "Total_SINR", 0x7F018008},
    {kRecordDM, "DRC_Cover", 0x7F01800B},
    {kRecordDM, "DRC_Rate", 0x7F01800A},
    {kRecordDM, "TxPilotPower", 0x7F018004},
    {kRecordDM, "Txpower", 0x7F010003},
    {kRecordDM, "Txgainadj", 0x7F010004},
    {kRecordDM, "Total_EcIo", 0x7F01000C},
    {kRecordDM, "Total_Ec", 0x7F01000F},
    {kRecordDM, "ReferenceEcIo", 0x7F01000E},
    {kRecordDM, "ReferenceEc", 0x7F010011},
    {kRecordDM, "MaxEcIo", 0x7F01000D},
    {kRecordDM, "MaxEc", 0x7F010010},
    {kRecordDM, "Fber", 0x7F010005},
    {kRecordDM, "FFER", 0x7F010006},
    {kRecordDM, "Activesetcount", 0x7F01800C},
    {kRecordDM, "Handoffstate", 0x7F010015},
    {kRecordSC, "Freq", 0x7F010012},
    {kRecordSC, "RefPN", 0x7F01000A},
    {kRecordSC, "PRev", 0x7F010016},
    {kRecordSC, "EV_Sector_User_Served", 0x7F01830B},
    {kRecordSC, "EV_Revision", 0x7F01830A},
    {kRecordPCP, "TxOpenLoopPower", 0x7F018005},
    {kRecordPCP, "TxClosedloopadjust", 0x7F018006},
    {kRecordC1XQI, "Rlprx_Rate", 0x7F010201},
    {kRecordC1XQI, "Rlptx_Rate", 0x7F010202},
    {kRecordC1XQI, "Rlperr_Rate", 0x7F010203},
    {kRecordC1XQI, "Rlprtx_Rate", 0x7F010204},
    {kRecordC1XQI, "Physrx_Rate", 0x7F010205},
    {kRecordC1XQI, "Phystx_Rate", 0x7F010206},
    {kRecordC1XQI, "EV_RxRLPThroughput", 0x7F018101},
    {kRecordC1XQI, "EV_TxRLPThroughput", 0x7F018103},
    {kRecordC1XQI, "EV_Duplicate_Rate", 0x7F018105},
    {kRecordC1XQI, "EV_RLPErrorRate", 0x7F018106},
    {kRecordC1XQI, "EV_RLPRtxRate", 0x7F018107},
    {kRecordC1XQI, "EV_RxPacketThroughput", 0x7F018201},
    {kRecordC1XQI, "EV_RxPER", 0x7F018206},
    {kRecordC1XQI, "EV_TxPacketThroughput", 0x7F018204},
    {kRecordC1XQI, "EV_TxPER", 0x7F018207},
    {kRecordCEVS, "Session_State", 0x7F018301},
    {kRecordCEVS, "AT_State", 0x7F018302},
    {kRecordCEVS, "ALMP_State", 0x7F018303},
    {kRecordCEVS, "Init_State", 0x7F018304},
    {kRecordCEVS, "Idle_State", 0x7F018305},
    {kRecordCEVS, "Overhead_State", 0x7F018306},
    {kRecordCEVS, "Connected_State", 0x7F018307},
    {kRecordCEVS, "Route_Update_State", 0x7F018308},
    {kRecordCEVS, "HDR_HybridMode_State", 0x7F018309},
    {kRecordEVT, "Event", 0x7F01C104},
};

// Parameter a known column name of a record type feeds, or 0. Names match
// whole and case-sensitively.
constexpr uint32_t KnownColumnParam(int32_t type, std::string_view name) {
  for (const KnownName& known : kKnownNames) {
    if (known.type == type && known.name == name) return known.paramId;
  }
  return 0;
}

// The known column name that feeds a parameter, or an empty view when no
// column does.
constexpr std::string_view KnownColumnName(uint32_t paramId) {
  for (const KnownName& known : kKnownNames) {
    if (known.paramId == paramId) return known.name;
  }
  return {};
}

}  // namespace wendrake
