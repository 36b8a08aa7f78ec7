// 1x message layouts from 3GPP2 C.S0005 (layer 3) and C.S0004 (link layer),
// one step per field in the standard's order. Where later revisions append
// fields, MayEnd() marks the point from which an older base station's or
// handset's message may simply end; fields past the last one listed here are
// left undecoded.
#include "fields/cdma1x_layouts.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <cstddef>

#include "l3/log_codes.h"

namespace wendrake {

namespace {

constexpr Test kEq = Test::kEqual;

// ---- Channel headers (after MSG_LENGTH, which the framing reads).

// Every channel: the message's length in octets, this field included.
constexpr Step kLength[] = {F("MSG_LENGTH", 8)};

// Sync and Paging Channel: the type octet alone; addressed messages carry
// their own address fields.
constexpr Step kTypeOnly[] = {F("MSG_TYPE", 8)};

// Access Channel (C.S0004 r-csch: ARQ, addressing and authentication fields).
constexpr Step kAccessHeader[] = {
    F("MSG_TYPE", 8),
    F("ACK_SEQ", 3), F("MSG_SEQ", 3), F("ACK_REQ", 1), F("VALID_ACK", 1), F("ACK_TYPE", 3),
    F("MSID_TYPE", 3), F("MSID_LEN", 4), VarF("MSID", "MSID_LEN", 8),
    F("AUTH_MODE", 2),
    IfSet("AUTH_MODE"), F("AUTHR", 18), F("RANDC", 8), F("COUNT", 6), EndIf(),
};

// Traffic Channels (C.S0004 r-dsch / f-dsch: ARQ fields and ENCRYPTION).
constexpr Step kTrafficHeader[] = {
    F("MSG_TYPE", 8), F("ACK_SEQ", 3), F("MSG_SEQ", 3), F("ACK_REQ", 1), F("ENCRYPTION", 2),
};

// ---- Shared pieces.

// The order and its order-specific fields (C.S0005 Table 2.7.3-1 on the
// reverse channels, Table 3.7.4-1 on the forward ones): ORDQ leads the
// additional record; service option orders carry the option after it.
// The order-specific fields lie in a record of ADD_RECORD_LEN octets; what
// the fields below leave of it is kept as ORDER_SPECIFIC.
constexpr Step kReverseOrderFields[] = {
    F("ORDER", 6, Conv::kOrder), F("ADD_RECORD_LEN", 3),
    Within("ORDER_SPECIFIC", "ADD_RECORD_LEN"),
      If("ADD_RECORD_LEN", Test::kAtLeast, 1),
        F("ORDQ", 8),
        If("ORDER", kEq, 2), F("RANDBS", 32), EndIf(),
        If("ORDER", kEq, 19), F("SERVICE_OPTION", 16, Conv::kServiceOption), EndIf(),
        If("ORDER", kEq, 20), F("SERVICE_OPTION", 16, Conv::kServiceOption), EndIf(),
      EndIf(),
    EndWithin(),
};
constexpr Step kForwardOrderFields[] = {
    F("ORDER", 6, Conv::kOrder), F("ADD_RECORD_LEN", 3),
    Within("ORDER_SPECIFIC", "ADD_RECORD_LEN"),
      If("ADD_RECORD_LEN", Test::kAtLeast, 1),
        F("ORDQ", 8),
        If("ORDER", kEq, 2), F("AUTHBS", 18), EndIf(),
        If("ORDER", kEq, 19), F("SERVICE_OPTION", 16, Conv::kServiceOption), EndIf(),
        If("ORDER", kEq, 20), F("SERVICE_OPTION", 16, Conv::kServiceOption), EndIf(),
        If("ORDER", kEq, 27),
          If("ORDQ", kEq, 5), F("ROAM_INDI", 8), EndIf(),
          If("ORDQ", kEq, 7), F("ROAM_INDI", 8), EndIf(),
        EndIf(),
      EndIf(),
    EndWithin(),
};

// Layouts one after the other, for messages that share a part.
template <size_t... N>
constexpr std::array<Step, (N + ...)> Join(const Step (&... parts)[N]) {
  std::array<Step, (N + ...)> joined{};
  size_t next = 0;
  ((std::copy(std::begin(parts), std::end(parts), joined.begin() + next), next += N), ...);
  return joined;
}

// ---- Sync Channel.

// C.S0005 3.7.2.3.2.26, Sync Channel Message.
constexpr Step kSyncChannel[] = {
    F("P_REV", 8), F("MIN_P_REV", 8), F("SID", 15), F("NID", 16), F("PILOT_PN", 9),
    F("LC_STATE", 42), F("SYS_TIME", 36, Conv::kSysTime), F("LP_SEC", 8),
    F("LTM_OFF", 6, Conv::kLtmOffset), F("DAYLT", 1), F("PRAT", 2), F("CDMA_FREQ", 11),
    MayEnd(),
    F("EXT_CDMA_FREQ", 11),
};

// ---- Paging Channel.

// C.S0005 3.7.2.3.2.1, System Parameters Message.
constexpr Step kSystemParameters[] = {
    F("PILOT_PN", 9), F("CONFIG_MSG_SEQ", 6), F("SID", 15), F("NID", 16), F("REG_ZONE", 12),
    F("TOTAL_ZONES", 3), F("ZONE_TIMER", 3), F("MULT_SIDS", 1), F("MULT_NIDS", 1),
    F("BASE_ID", 16), F("BASE_CLASS", 4), F("PAGE_CHAN", 3), F("MAX_SLOT_CYCLE_INDEX", 3),
    F("HOME_REG", 1), F("FOR_SID_REG", 1), F("FOR_NID_REG", 1), F("POWER_UP_REG", 1),
    F("POWER_DOWN_REG", 1), F("PARAMETER_REG", 1), F("REG_PRD", 7),
    F("BASE_LAT", 22, Conv::kLatitude), F("BASE_LONG", 23, Conv::kLongitude), F("REG_DIST", 11),
    F("SRCH_WIN_A", 4), F("SRCH_WIN_N", 4), F("SRCH_WIN_R", 4), F("NGHBR_MAX_AGE", 4),
    F("PWR_REP_THRESH", 5), F("PWR_REP_FRAMES", 4), F("PWR_THRESH_ENABLE", 1),
    F("PWR_PERIOD_ENABLE", 1), F("PWR_REP_DELAY", 5), F("RESCAN", 1),
    F("T_ADD", 6, Conv::kNegHalfDb), F("T_DROP", 6, Conv::kNegHalfDb),
    F("T_COMP", 4, Conv::kHalfDb), F("T_TDROP", 4), F("EXT_SYS_PARAMETER", 1),
    MayEnd(),
    F("EXT_NGHBR_LIST", 1), F("GEN_NGHBR_LIST", 1), F("GLOBAL_REDIRECT", 1),
    F("PRI_NGHBR_LIST", 1), F("USER_ZONE_ID", 1), F("EXT_GLOBAL_REDIRECT", 1),
    F("EXT_CHAN_LIST", 1),
};

// C.S0005 3.7.2.3.2.2, Access Parameters Message.
constexpr Step kAccessParameters[] = {
    F("PILOT_PN", 9), F("ACC_MSG_SEQ", 6), F("ACC_CHAN", 5), F("NOM_PWR", 4, Conv::kSigned),
    F("INIT_PWR", 5, Conv::kSigned), F("PWR_STEP", 3), F("NUM_STEP", 4), F("MAX_CAP_SZ", 3),
    F("PAM_SZ", 4), F("PSIST(0-9)", 6), F("PSIST(10)", 3), F("PSIST(11)", 3), F("PSIST(12)", 3),
    F("PSIST(13)", 3), F("PSIST(14)", 3), F("PSIST(15)", 3), F("MSG_PSIST", 3),
    F("REG_PSIST", 3), F("PROBE_PN_RAN", 4), F("ACC_TMO", 4), F("PROBE_BKOFF", 4), F("BKOFF", 4),
    F("MAX_REQ_SEQ", 4), F("MAX_RSP_SEQ", 4), F("AUTH", 2),
    If("AUTH", kEq, 1), F("RAND", 32), EndIf(),
    F("NOM_PWR_EXT", 1),
    MayEnd(),
    F("PSIST_EMG_INCL", 1), IfSet("PSIST_EMG_INCL"), F("PSIST_EMG", 3), EndIf(),
};

// C.S0005 3.7.2.3.2.3, Neighbor List Message: neighbours fill the message.
constexpr Step kNeighborList[] = {
    F("PILOT_PN", 9), F("CONFIG_MSG_SEQ", 6), F("PILOT_INC", 4),
    RepeatToEnd("NEIGHBORS", 12), F("NGHBR_CONFIG", 3), F("NGHBR_PN", 9), EndRepeat(),
};

// C.S0005 3.7.2.3.2.4, CDMA Channel List Message: channels fill the message.
constexpr Step kChannelList[] = {
    F("PILOT_PN", 9), F("CONFIG_MSG_SEQ", 6),
    RepeatToEnd("CHANNELS", 11), F("CDMA_FREQ", 11), EndRepeat(),
};

// C.S0005 3.7.2.3.2.7, Order Message (one order record).
constexpr Step kPagingOrderAddress[] = {
    F("ACK_SEQ", 3), F("MSG_SEQ", 3), F("ACK_REQ", 1), F("VALID_ACK", 1), F("ADDR_TYPE", 3),
    F("ADDR_LEN", 4), VarF("ADDRESS", "ADDR_LEN", 8),
};
constexpr auto kPagingOrder = Join(kPagingOrderAddress, kForwardOrderFields);

// C.S0005 3.7.2.3.2.13, Extended System Parameters Message, through
// PILOT_REPORT.
constexpr Step kExtendedSystemParameters[] = {
    F("PILOT_PN", 9), F("CONFIG_MSG_SEQ", 6), F("DELETE_FOR_TMSI", 1), F("USE_TMSI", 1),
    F("PREF_MSID_TYPE", 2), F("MCC", 10), F("IMSI_11_12", 7), F("TMSI_ZONE_LEN", 4),
    VarF("TMSI_ZONE", "TMSI_ZONE_LEN", 8), F("BCAST_INDEX", 3), F("IMSI_T_SUPPORTED", 1),
    F("P_REV", 8), F("MIN_P_REV", 8), F("SOFT_SLOPE", 6), F("ADD_INTERCEPT", 6, Conv::kHalfDb),
    F("DROP_INTERCEPT", 6, Conv::kHalfDb), F("PACKET_ZONE_ID", 8), F("MAX_NUM_ALT_SO", 3),
    F("RESELECT_INCLUDED", 1),
    IfSet("RESELECT_INCLUDED"), F("EC_THRESH", 5), F("EC_IO_THRESH", 5), EndIf(),
    F("PILOT_REPORT", 1),
};

// C.S0005 3.7.2.3.2.14, Extended Neighbor List Message.
constexpr Step kExtendedNeighborList[] = {
    F("PILOT_PN", 9), F("CONFIG_MSG_SEQ", 6), F("PILOT_INC", 4),
    RepeatToEnd("NEIGHBORS", 15),
    F("NGHBR_CONFIG", 3), F("NGHBR_PN", 9), F("SEARCH_PRIORITY", 2), F("FREQ_INCL", 1),
    IfSet("FREQ_INCL"), F("NGHBR_BAND", 5, Conv::kBandClass), F("NGHBR_FREQ", 11), EndIf(),
    EndRepeat(),
};

// C.S0005 3.7.2.3.2.17, General Page Message: the fields before the page
// records.
constexpr Step kGeneralPage[] = {
    F("CONFIG_MSG_SEQ", 6), F("ACC_MSG_SEQ", 6), F("CLASS_0_DONE", 1), F("CLASS_1_DONE", 1),
    F("TMSI_DONE", 1), F("ORDERED_TMSIS", 1), F("BROADCAST_DONE", 1), F("RESERVED", 4),
    F("ADD_LENGTH", 3), VarF("ADD_PFIELD", "ADD_LENGTH", 8),
    // The page records fill the rest; a record starts only where a whole
    // octet is left, so the last octet's padding reads as none.
    RepeatToEnd("PAGE_RECORDS", 8),
      F("PAGE_CLASS", 2), F("PAGE_SUBCLASS", 2),
      If("PAGE_CLASS", kEq, 0),  // IMSI class 0: the subclass says which IMSI parts follow
        F("MSG_SEQ", 3),
        If("PAGE_SUBCLASS", Test::kAnyBit, 2), F("MCC", 10), EndIf(),
        If("PAGE_SUBCLASS", Test::kAnyBit, 1), F("IMSI_11_12", 7), EndIf(),
        F("IMSI_S", 34), F("SPECIAL_SERVICE", 1),
        IfSet("SPECIAL_SERVICE"), F("SERVICE_OPTION", 16, Conv::kServiceOption), EndIf(),
      EndIf(),
      If("PAGE_CLASS", kEq, 3),  // broadcast
        F("BURST_TYPE", 6), F("ADDR_LEN", 4), VarF("BC_ADDR", "ADDR_LEN", 8),
      EndIf(),
      // IMSI class 1 and TMSI records are not laid out here: the records from
      // the first of them on are kept as octets rather than misread.
      If("PAGE_CLASS", kEq, 1), Rest("PAGE_RECORDS_REST"), EndIf(),
      If("PAGE_CLASS", kEq, 2), Rest("PAGE_RECORDS_REST"), EndIf(),
    EndRepeat(),
};

// C.S0005 Status Request and Status Response: the qualification the
// information records come under.
constexpr Step kQualInfo[] = {
    F("QUAL_INFO_TYPE", 8), F("QUAL_INFO_LEN", 3),
    Within("QUAL_INFO", "QUAL_INFO_LEN"),
      If("QUAL_INFO_TYPE", kEq, 1), F("BAND_CLASS", 5, Conv::kBandClass), EndIf(),
      If("QUAL_INFO_TYPE", kEq, 2), F("BAND_CLASS", 5, Conv::kBandClass), F("OP_MODE", 8),
      EndIf(),
    EndWithin(),
};

// C.S0005 3.7.2.3.2.15, Status Request Message (paging channel): the
// qualification, then the information record types asked for.
constexpr Step kStatusRequestTypes[] = {
    F("NUM_FIELDS", 4),
    Repeat("RECORD_TYPES", "NUM_FIELDS"), F("RECORD_TYPE", 8), EndRepeat(),
};
constexpr auto kPagingStatusRequest = Join(kPagingOrderAddress, kQualInfo, kStatusRequestTypes);

// C.S0005 3.7.2.3.2.21, Extended Channel Assignment Message: one assignment,
// its fields decoded for ASSIGN_MODE '000' (traffic channel assignment).
constexpr Step kExtendedChannelAssignmentFields[] = {
    F("RESERVED_1", 1), F("ADD_RECORD_LEN", 3), F("ASSIGN_MODE", 3),
    VarF("ADDITIONAL_FIELDS", "ADD_RECORD_LEN", 8),
    If("ASSIGN_MODE", kEq, 0),
      F("FREQ_INCL", 1), F("DEFAULT_CONFIG", 3), F("BYPASS_ALERT_ANSWER", 1), F("RESERVED", 1),
      F("NUM_PILOTS", 3), F("GRANTED_MODE", 2), F("FRAME_OFFSET", 4), F("ENCRYPT_MODE", 2),
      IfSet("FREQ_INCL"), F("BAND_CLASS", 5, Conv::kBandClass), F("CDMA_FREQ", 11), EndIf(),
      Repeat("PILOTS", "NUM_PILOTS", 1),
        F("PILOT_PN", 9), F("PWR_COMB_IND", 1), F("CODE_CHAN", 8),
      EndRepeat(),
    EndIf(),
};
constexpr auto kExtendedChannelAssignment =
    Join(kPagingOrderAddress, kExtendedChannelAssignmentFields);

// C.S0005 3.7.2.3.2.22, General Neighbor List Message: NGHBR_SRCH_MODE says
// whether each neighbour carries a search priority (bit 0) and a search
// window (bit 1); the include flags say which other per-neighbour fields are
// present.
constexpr Step kGeneralNeighborList[] = {
    F("PILOT_PN", 9), F("CONFIG_MSG_SEQ", 6), F("PILOT_INC", 4), F("NGHBR_SRCH_MODE", 2),
    F("NGHBR_CONFIG_PN_INCL", 1), F("FREQ_FIELDS_INCL", 1), F("USE_TIMING", 1),
    IfSet("USE_TIMING"),
      F("GLOBAL_TIMING_INCL", 1),
      IfSet("GLOBAL_TIMING_INCL"), F("GLOBAL_TX_DURATION", 4), F("GLOBAL_TX_PERIOD", 7), EndIf(),
    EndIf(),
    F("NUM_NGHBR", 6),
    Repeat("NEIGHBORS", "NUM_NGHBR"),
      IfSet("NGHBR_CONFIG_PN_INCL"), F("NGHBR_CONFIG", 3), F("NGHBR_PN", 9), EndIf(),
      If("NGHBR_SRCH_MODE", Test::kAnyBit, 1), F("SEARCH_PRIORITY", 2), EndIf(),
      If("NGHBR_SRCH_MODE", Test::kAnyBit, 2), F("SRCH_WIN_NGHBR", 4), EndIf(),
      IfSet("FREQ_FIELDS_INCL"),
        F("FREQ_INCL", 1),
        IfSet("FREQ_INCL"), F("NGHBR_BAND", 5, Conv::kBandClass), F("NGHBR_FREQ", 11), EndIf(),
      EndIf(),
      IfSet("USE_TIMING"),
        F("TIMING_INCL", 1),
        IfSet("TIMING_INCL"),
          F("NGHBR_TX_OFFSET", 7),
          If("GLOBAL_TIMING_INCL", kEq, 0), F("NGHBR_TX_DURATION", 4), F("NGHBR_TX_PERIOD", 7),
          EndIf(),
        EndIf(),
      EndIf(),
    EndRepeat(),
    F("NUM_ANALOG_NGHBR", 3),
    Repeat("ANALOG_NEIGHBORS", "NUM_ANALOG_NGHBR"),
      F("BAND_CLASS", 5, Conv::kBandClass), F("SYS_A_B", 2),
    EndRepeat(),
};

// C.S0005 3.7.2.3.2.27, Extended CDMA Channel List Message, through the
// channel list.
constexpr Step kExtendedChannelList[] = {
    F("PILOT_PN", 9), F("CONFIG_MSG_SEQ", 6), F("NUM_FREQ", 4),
    Repeat("CHANNELS", "NUM_FREQ"), F("CDMA_FREQ", 11), EndRepeat(),
};

// ---- Access Channel (the fields after the r-csch header).

// C.S0005 2.7.1.3.2.1, Registration Message.
constexpr Step kRegistration[] = {
    F("REG_TYPE", 4, Conv::kRegType), F("SLOT_CYCLE_INDEX", 3), F("MOB_P_REV", 8), F("SCM", 8),
    F("MOB_TERM", 1),
    If(kPRevInUse, Test::kAtLeast, 4), F("RETURN_CAUSE", 4), EndIf(),
    If(kPRevInUse, Test::kAtLeast, 6),
      F("QPCH_SUPPORTED", 1), F("ENHANCED_RC", 1), F("UZID_INCL", 1),
      IfSet("UZID_INCL"), F("UZID", 16), EndIf(),
    EndIf(),
    If(kPRevInUse, Test::kAtLeast, 7),
      F("GEO_LOC_INCL", 1), IfSet("GEO_LOC_INCL"), F("GEO_LOC_TYPE", 3), EndIf(),
    EndIf(),
};

// C.S0005 2.7.1.3.2.2, Order Message.
constexpr const auto& kAccessOrder = kReverseOrderFields;

// C.S0005 2.7.1.3.2.4, Origination Message, through REV_FCH_GATING_REQ.
constexpr Step kOrigination[] = {
    F("MOB_TERM", 1), F("SLOT_CYCLE_INDEX", 3), F("MOB_P_REV", 8), F("SCM", 8),
    F("REQUEST_MODE", 3), F("SPECIAL_SERVICE", 1),
    IfSet("SPECIAL_SERVICE"), F("SERVICE_OPTION", 16, Conv::kServiceOption), EndIf(),
    F("PM", 1), F("DIGIT_MODE", 1),
    IfSet("DIGIT_MODE"), F("NUMBER_TYPE", 3), F("NUMBER_PLAN", 4), EndIf(),
    F("MORE_FIELDS", 1), F("NUM_FIELDS", 8),
    Repeat("CHARi", "NUM_FIELDS"),
      IfSet("DIGIT_MODE"), F("CHARi", 8), Else(), F("CHARi", 4), EndIf(),
    EndRepeat(),
    F("NAR_AN_CAP", 1), F("PACA_REORIG", 1), F("RETURN_CAUSE", 4), F("MORE_RECORDS", 1),
    If(kPRevInUse, Test::kBelow, 7),
      If("AUTH_MODE", kEq, 1), F("ENCRYPTION_SUPPORTED", 4), EndIf(),
    EndIf(),
    F("PACA_SUPPORTED", 1), F("NUM_ALT_SO", 3),
    Repeat("ALT_SO", "NUM_ALT_SO"), F("ALT_SO", 16, Conv::kServiceOption), EndRepeat(),
    If(kPRevInUse, Test::kAtLeast, 6),
      F("DRS", 1), F("UZID_INCL", 1), IfSet("UZID_INCL"), F("UZID", 16), EndIf(),
      F("CH_IND", 2), F("SR_ID", 3), F("OTD_SUPPORTED", 1), F("QPCH_SUPPORTED", 1),
      F("ENHANCED_RC", 1), F("FOR_RC_PREF", 5), F("REV_RC_PREF", 5),
      F("FCH_SUPPORTED", 1),
      IfSet("FCH_SUPPORTED"),
        F("FCH_FRAME_SIZE", 1), F("FOR_FCH_LEN", 3), VarF("FOR_FCH_RC_MAP", "FOR_FCH_LEN", 3),
        F("REV_FCH_LEN", 3), VarF("REV_FCH_RC_MAP", "REV_FCH_LEN", 3),
      EndIf(),
      F("DCCH_SUPPORTED", 1),
      IfSet("DCCH_SUPPORTED"),
        F("DCCH_FRAME_SIZE", 2), F("FOR_DCCH_LEN", 3), VarF("FOR_DCCH_RC_MAP", "FOR_DCCH_LEN", 3),
        F("REV_DCCH_LEN", 3), VarF("REV_DCCH_RC_MAP", "REV_DCCH_LEN", 3),
      EndIf(),
      F("GEO_LOC_INCL", 1), IfSet("GEO_LOC_INCL"), F("GEO_LOC_TYPE", 3), EndIf(),
      F("REV_FCH_GATING_REQ", 1),
    EndIf(),
};

// C.S0005 2.7.1.3.2.5, Page Response Message, through REV_FCH_GATING_REQ.
constexpr Step kPageResponse[] = {
    F("MOB_TERM", 1), F("SLOT_CYCLE_INDEX", 3), F("MOB_P_REV", 8), F("SCM", 8),
    F("REQUEST_MODE", 3), F("SERVICE_OPTION", 16, Conv::kServiceOption), F("PM", 1),
    F("NAR_AN_CAP", 1),
    If(kPRevInUse, Test::kBelow, 7),
      If("AUTH_MODE", kEq, 1), F("ENCRYPTION_SUPPORTED", 4), EndIf(),
    EndIf(),
    F("NUM_ALT_SO", 3),
    Repeat("ALT_SO", "NUM_ALT_SO"), F("ALT_SO", 16, Conv::kServiceOption), EndRepeat(),
    If(kPRevInUse, Test::kAtLeast, 6),
      F("UZID_INCL", 1), IfSet("UZID_INCL"), F("UZID", 16), EndIf(),
      F("CH_IND", 2), F("OTD_SUPPORTED", 1), F("QPCH_SUPPORTED", 1), F("ENHANCED_RC", 1),
      F("FOR_RC_PREF", 5), F("REV_RC_PREF", 5),
      F("FCH_SUPPORTED", 1),
      IfSet("FCH_SUPPORTED"),
        F("FCH_FRAME_SIZE", 1), F("FOR_FCH_LEN", 3), VarF("FOR_FCH_RC_MAP", "FOR_FCH_LEN", 3),
        F("REV_FCH_LEN", 3), VarF("REV_FCH_RC_MAP", "REV_FCH_LEN", 3),
      EndIf(),
      F("DCCH_SUPPORTED", 1),
      IfSet("DCCH_SUPPORTED"),
        F("DCCH_FRAME_SIZE", 2), F("FOR_DCCH_LEN", 3), VarF("FOR_DCCH_RC_MAP", "FOR_DCCH_LEN", 3),
        F("REV_DCCH_LEN", 3), VarF("REV_DCCH_RC_MAP", "REV_DCCH_LEN", 3),
      EndIf(),
      F("REV_FCH_GATING_REQ", 1),
    EndIf(),
};

// ---- Traffic Channels (the fields after the dsch header).

// C.S0005 2.7.2.3.2.5, Pilot Strength Measurement Message: the reference
// pilot, then the other pilots fill the message.
constexpr Step kPilotStrengthMeasurement[] = {
    F("REF_PN", 9), F("PILOT_STRENGTH", 6, Conv::kNegHalfDb), F("KEEP", 1),
    RepeatToEnd("PILOTS", 22),
      F("PILOT_PN_PHASE", 15), F("PILOT_STRENGTH", 6, Conv::kNegHalfDb), F("KEEP", 1),
    EndRepeat(),
};

// C.S0005 2.7.2.3.2.6, Power Measurement Report Message.
constexpr Step kPowerMeasurementReport[] = {
    F("ERRORS_DETECTED", 5), F("POWER_MEAS_FRAMES", 10), F("LAST_HDM_SEQ", 2),
    F("NUM_PILOTS", 4),
    Repeat("PILOTS", "NUM_PILOTS"), F("PILOT_STRENGTH", 6, Conv::kNegHalfDb), EndRepeat(),
};

// C.S0005 2.7.2.3.2.14, Service Connect Completion Message, through
// SERV_CON_SEQ.
constexpr Step kServiceConnectCompletion[] = {F("RESERVED", 1), F("SERV_CON_SEQ", 3)};

// C.S0005 2.7.2.3.2.10, Handoff Completion Message: the active set's pilots
// fill the message.
constexpr Step kHandoffCompletion[] = {
    F("LAST_HDM_SEQ", 2),
    RepeatToEnd("PILOTS", 9), F("PILOT_PN", 9), EndRepeat(),
};

// C.S0005 f-dsch Alert With Information Message: information records, each
// a type, a length in octets and the type's fields (C.S0005 3.7.5), fill the
// message.
constexpr Step kAlertWithInformation[] = {
    RepeatToEnd("RECORDS", 16),
      F("RECORD_TYPE", 8), F("RECORD_LEN", 8),
      Within("TYPE_SPECIFIC_FIELDS", "RECORD_LEN"),
        If("RECORD_TYPE", kEq, 1), VarF("CHARi", "RECORD_LEN", 8), EndIf(),  // Display
        If("RECORD_TYPE", kEq, 2),  // Called Party Number
          F("NUMBER_TYPE", 3), F("NUMBER_PLAN", 4), VarF("CHARi", "RECORD_LEN", 8, -8),
          F("RESERVED", 1),
        EndIf(),
        If("RECORD_TYPE", kEq, 3),  // Calling Party Number
          F("NUMBER_TYPE", 3), F("NUMBER_PLAN", 4), F("PI", 2), F("SI", 2),
          VarF("CHARi", "RECORD_LEN", 8, -16), F("RESERVED", 5),
        EndIf(),
        If("RECORD_TYPE", kEq, 5),  // Signal
          F("SIGNAL_TYPE", 2), F("ALERT_PITCH", 2), F("SIGNAL", 6), F("RESERVED", 6),
        EndIf(),
        If("RECORD_TYPE", kEq, 6), F("MSG_COUNT", 8), EndIf(),  // Message Waiting
      EndWithin(),
    EndRepeat(),
};

// C.S0005 f-dsch Extended Handoff Direction Message.
constexpr Step kExtendedHandoffDirection[] = {
    F("USE_TIME", 1), F("ACTION_TIME", 6), F("HDM_SEQ", 2), F("SEARCH_INCLUDED", 1),
    IfSet("SEARCH_INCLUDED"),
      F("SRCH_WIN_A", 4), F("T_ADD", 6, Conv::kNegHalfDb), F("T_DROP", 6, Conv::kNegHalfDb),
      F("T_COMP", 4, Conv::kHalfDb), F("T_TDROP", 4),
    EndIf(),
    F("HARD_INCLUDED", 1),
    IfSet("HARD_INCLUDED"),
      F("FRAME_OFFSET", 4), F("PRIVATE_LCM", 1), F("RESET_L2", 1), F("RESET_FPC", 1),
      F("SERV_NEG_TYPE", 1), F("ENCRYPT_MODE", 2), F("NOM_PWR_EXT", 1),
      F("NOM_PWR", 4, Conv::kSigned),
      F("NUM_PREAMBLE", 3), F("BAND_CLASS", 5, Conv::kBandClass), F("CDMA_FREQ", 11),
    EndIf(),
    F("ADD_LENGTH", 3), VarF("ADD_FIELDS", "ADD_LENGTH", 8),
    RepeatToEnd("PILOTS", 18), F("PILOT_PN", 9), F("PWR_COMB_IND", 1), F("CODE_CHAN", 8),
    EndRepeat(),
};

// The active set record of the Universal Handoff Direction Message: its
// supplemental channels, then each pilot with the code channels CH_IND names
// (bit 0: fundamental, bit 1: dedicated control channel). The 3X and CCSH
// parts that follow are rare; what this layout leaves of the record, its
// padding included, stays as ACTIVE_SET_REC_FIELDS.
constexpr Step kActiveSetRecord[] = {
    IfSet("SCH_INCL"),
      F("NUM_FOR_SCH", 5),
      Repeat("FOR_SCH", "NUM_FOR_SCH"),
        F("FOR_SCH_ID", 1), F("SCCL_INDEX", 4), F("FOR_SCH_RATE", 4),
      EndRepeat(),
      F("NUM_REV_SCH", 5),
      Repeat("REV_SCH", "NUM_REV_SCH"),
        F("REV_SCH_ID", 1), F("REV_WALSH_ID", 1), F("REV_SCH_RATE", 4),
      EndRepeat(),
    EndIf(),
    F("NUM_PILOTS", 3), F("SRCH_OFFSET_INCL", 1),
    Repeat("PILOTS", "NUM_PILOTS"),
      F("PILOT_PN", 9),
      IfSet("SRCH_OFFSET_INCL"), F("SRCH_OFFSET", 3), EndIf(),
      F("ADD_PILOT_REC_INCL", 1),
      IfSet("ADD_PILOT_REC_INCL"),
        F("PILOT_REC_TYPE", 3), F("RECORD_LEN", 3), VarF("TYPE_SPECIFIC_FIELDS", "RECORD_LEN", 8),
      EndIf(),
      F("PWR_COMB_IND", 1),
      If("CH_IND", Test::kAnyBit, 1), F("CODE_CHAN_FCH", 11), F("QOF_MASK_ID_FCH", 2), EndIf(),
      If("CH_IND", Test::kAnyBit, 2), F("CODE_CHAN_DCCH", 11), F("QOF_MASK_ID_DCCH", 2), EndIf(),
      IfSet("SCH_INCL"),
        F("NUM_SCH", 5),
        Repeat("SCH", "NUM_SCH"),
          F("FOR_SCH_ID", 1), F("SCCL_INDEX", 4), F("PILOT_INCL", 1),
          IfSet("PILOT_INCL"), F("CODE_CHAN_SCH", 11), F("QOF_MASK_ID_SCH", 2), EndIf(),
        EndRepeat(),
      EndIf(),
    EndRepeat(),
    If("CH_IND", Test::kAnyBit, 1), F("3X_FCH_INFO_INCL", 1), EndIf(),
    If("CH_IND", Test::kAnyBit, 2), F("3X_DCCH_INFO_INCL", 1), EndIf(),
    If("3X_FCH_INFO_INCL", kEq, 0),
      If("3X_DCCH_INFO_INCL", kEq, 0),
        F("CCSH_INCLUDED", 1),
        If("CCSH_INCLUDED", kEq, 0),
          If("CH_IND", Test::kAnyBit, 2), F("FUNDICATED_BCMC_IND", 1), EndIf(),
        EndIf(),
      EndIf(),
    EndIf(),
};

// C.S0005 f-dsch Universal Handoff Direction Message, through 1XRL_FREQ_OFFSET.
constexpr Step kUniversalHandoffDirectionHead[] = {
    F("USE_TIME", 1), IfSet("USE_TIME"), F("ACTION_TIME", 6), EndIf(),
    F("HDM_SEQ", 2), F("PARMS_INCL", 1),
    IfSet("PARMS_INCL"), F("P_REV", 8), F("SERV_NEG_TYPE", 1), EndIf(),
    F("SEARCH_INCL", 1),
    IfSet("SEARCH_INCL"),
      F("SRCH_WIN_A", 4), F("SRCH_WIN_N", 4), F("SRCH_WIN_R", 4),
      F("T_ADD", 6, Conv::kNegHalfDb), F("T_DROP", 6, Conv::kNegHalfDb),
      F("T_COMP", 4, Conv::kHalfDb), F("T_TDROP", 4), F("SOFT_SLOPE", 6),
      F("ADD_INTERCEPT", 6, Conv::kHalfDb), F("DROP_INTERCEPT", 6, Conv::kHalfDb),
    EndIf(),
    F("EXTRA_PARMS_INCL", 1),
    IfSet("EXTRA_PARMS_INCL"),
      F("PACKET_ZONE_ID", 8), F("FRAME_OFFSET", 4), F("PRIVATE_LCM", 1), F("RESET_L2", 1),
      F("RESET_FPC", 1), F("ENCRYPT_MODE", 2), F("NOM_PWR_EXT", 1), F("NOM_PWR", 4, Conv::kSigned),
      F("RLGAIN_TRAFFIC_PILOT", 6, Conv::kSigned), F("DEFAULT_RLAG", 1), F("NUM_PREAMBLE", 3),
      F("BAND_CLASS", 5, Conv::kBandClass), F("CDMA_FREQ", 11),
      F("RETURN_IF_HANDOFF_FAIL", 1),
      IfSet("RETURN_IF_HANDOFF_FAIL"), F("COMPLETE_SEARCH", 1), EndIf(),
      F("PERIODIC_SEARCH", 1), F("SCR_INCL", 1),
      IfSet("SCR_INCL"),
        F("SERV_CON_SEQ", 3), F("RECORD_TYPE", 8), F("RECORD_LEN", 8),
        VarF("TYPE_SPECIFIC_FIELDS", "RECORD_LEN", 8),
      EndIf(),
      F("NNSCR_INCL", 1),
      IfSet("NNSCR_INCL"),
        F("RECORD_TYPE", 8), F("RECORD_LEN", 8), VarF("TYPE_SPECIFIC_FIELDS", "RECORD_LEN", 8),
      EndIf(),
    EndIf(),
    F("USE_PWR_CNTL_STEP", 1), IfSet("USE_PWR_CNTL_STEP"), F("PWR_CNTL_STEP", 3), EndIf(),
    F("CLEAR_RETRY_DELAY", 1), F("SCH_INCL", 1),
    IfSet("SCH_INCL"),
      F("NUM_FOR_ASSIGN", 2),
      Repeat("FOR_ASSIGN", "NUM_FOR_ASSIGN"),
        F("FOR_SCH_ID", 1), F("FOR_SCH_DURATION", 4), F("FOR_SCH_START_TIME_INCL", 1),
        IfSet("FOR_SCH_START_TIME_INCL"), F("FOR_SCH_START_TIME", 5), EndIf(),
        F("SCCL_INDEX", 4),
      EndRepeat(),
      F("NUM_REV_ASSIGN", 2),
      Repeat("REV_ASSIGN", "NUM_REV_ASSIGN"),
        F("REV_SCH_ID", 1), F("REV_SCH_DURATION", 4), F("REV_SCH_START_TIME_INCL", 1),
        IfSet("REV_SCH_START_TIME_INCL"), F("REV_SCH_START_TIME", 5), EndIf(),
        F("REV_SCH_NUM_BITS_IDX", 4),
      EndRepeat(),
    EndIf(),
    F("FPC_SUBCHAN_GAIN", 5), F("USE_PC_TIME", 1),
    IfSet("USE_PC_TIME"), F("PC_ACTION_TIME", 6), EndIf(),
    F("CH_IND", 3), F("ACTIVE_SET_REC_LEN", 8),
    Within("ACTIVE_SET_REC_FIELDS", "ACTIVE_SET_REC_LEN"),
    If("ACTIVE_SET_REC_LEN", Test::kAtLeast, 1), If("CH_IND", Test::kNotEqual, 0),
};
constexpr Step kUniversalHandoffDirectionTail[] = {
    EndIf(), EndIf(),
    EndWithin(),
    // The reverse fundamental channel's gating, unless CH_IND assigns none.
    If("CH_IND", Test::kNotEqual, 2),
      If("CH_IND", Test::kNotEqual, 6),
        F("REV_FCH_GATING_MODE", 1),
        IfSet("REV_FCH_GATING_MODE"),
          F("REV_PWR_CNTL_DELAY_INCL", 1),
          IfSet("REV_PWR_CNTL_DELAY_INCL"), F("REV_PWR_CNTL_DELAY", 2), EndIf(),
        EndIf(),
      EndIf(),
    EndIf(),
    If("ENCRYPT_MODE", kEq, 3), F("D_SIG_ENCRYPT_MODE", 3), EndIf(),
    If("ENCRYPT_MODE", Test::kAtLeast, 2), F("ENC_KEY_SIZE", 3), EndIf(),
    F("3XFL_1XRL_INCL", 1), IfSet("3XFL_1XRL_INCL"), F("1XRL_FREQ_OFFSET", 2), EndIf(),
};
constexpr auto kUniversalHandoffDirection =
    Join(kUniversalHandoffDirectionHead, kActiveSetRecord, kUniversalHandoffDirectionTail);

// C.S0005 f-dsch Status Request Message: the paging channel's fields without
// the address.
constexpr auto kTrafficStatusRequest = Join(kQualInfo, kStatusRequestTypes);

// C.S0005 r-dsch Status Response Message: the qualification, then the
// information records asked for, each a type, a length in octets and the
// type's fields (kept as octets).
constexpr Step kStatusResponseRecords[] = {
    RepeatToEnd("RECORDS", 16),
      F("RECORD_TYPE", 8), F("RECORD_LEN", 8), VarF("TYPE_SPECIFIC_FIELDS", "RECORD_LEN", 8),
    EndRepeat(),
};
constexpr auto kStatusResponse = Join(kQualInfo, kStatusResponseRecords);

// C.S0005 f-dsch Service Connect Message, through SERV_CON_SEQ.
constexpr Step kServiceConnect[] = {F("USE_TIME", 1), F("ACTION_TIME", 6), F("SERV_CON_SEQ", 3)};

// C.S0005 2.7.2.3.2.1, Order Message (reverse).
constexpr const auto& kReverseOrder = kReverseOrderFields;

// C.S0005 3.7.3.3.2.1, Order Message (forward).
constexpr Step kActionTime[] = {F("USE_TIME", 1), F("ACTION_TIME", 6)};
constexpr auto kForwardOrder = Join(kActionTime, kForwardOrderFields);

constexpr MessageLayout kLayouts[] = {
    {kLogCodeSync, 0x01, "C.S0005 3.7.2.3.2.26", kSyncChannel},
    {kLogCodePaging, 0x01, "C.S0005 3.7.2.3.2.1", kSystemParameters},
    {kLogCodePaging, 0x02, "C.S0005 3.7.2.3.2.2", kAccessParameters},
    {kLogCodePaging, 0x03, "C.S0005 3.7.2.3.2.3", kNeighborList},
    {kLogCodePaging, 0x04, "C.S0005 3.7.2.3.2.4", kChannelList},
    {kLogCodePaging, 0x07, "C.S0005 3.7.2.3.2.7", kPagingOrder},
    {kLogCodePaging, 0x0D, "C.S0005 3.7.2.3.2.13", kExtendedSystemParameters},
    {kLogCodePaging, 0x0E, "C.S0005 3.7.2.3.2.14", kExtendedNeighborList},
    {kLogCodePaging, 0x0F, "C.S0005 3.7.2.3.2.15", kPagingStatusRequest},
    {kLogCodePaging, 0x11, "C.S0005 3.7.2.3.2.17", kGeneralPage},
    {kLogCodePaging, 0x15, "C.S0005 3.7.2.3.2.21", kExtendedChannelAssignment},
    {kLogCodePaging, 0x16, "C.S0005 3.7.2.3.2.22", kGeneralNeighborList},
    {kLogCodePaging, 0x1B, "C.S0005 3.7.2.3.2.27", kExtendedChannelList},
    {kLogCodeAccess, 0x01, "C.S0005 2.7.1.3.2.1", kRegistration},
    {kLogCodeAccess, 0x02, "C.S0005 2.7.1.3.2.2", kAccessOrder},
    {kLogCodeAccess, 0x04, "C.S0005 2.7.1.3.2.4", kOrigination},
    {kLogCodeAccess, 0x05, "C.S0005 2.7.1.3.2.5", kPageResponse},
    {kLogCodeReverseTraffic, 0x01, "C.S0005 2.7.2.3.2.1", kReverseOrder},
    {kLogCodeReverseTraffic, 0x05, "C.S0005 2.7.2.3.2.5", kPilotStrengthMeasurement},
    {kLogCodeReverseTraffic, 0x06, "C.S0005 2.7.2.3.2.6", kPowerMeasurementReport},
    {kLogCodeReverseTraffic, 0x0A, "C.S0005 2.7.2.3.2.10", kHandoffCompletion},
    {kLogCodeReverseTraffic, 0x0E, "C.S0005 2.7.2.3.2.14", kServiceConnectCompletion},
    {kLogCodeReverseTraffic, 0x10, "C.S0005 r-dsch Status Response Message", kStatusResponse},
    {kLogCodeForwardTraffic, 0x01, "C.S0005 3.7.3.3.2.1", kForwardOrder},
    {kLogCodeForwardTraffic, 0x03, "C.S0005 3.7.3.3.2.3", kAlertWithInformation},
    {kLogCodeForwardTraffic, 0x10, "C.S0005 f-dsch Status Request Message", kTrafficStatusRequest},
    {kLogCodeForwardTraffic, 0x11, "C.S0005 f-dsch Extended Handoff Direction Message",
     kExtendedHandoffDirection},
    {kLogCodeForwardTraffic, 0x14, "C.S0005 f-dsch Service Connect Message", kServiceConnect},
    {kLogCodeForwardTraffic, 0x22, "C.S0005 f-dsch Universal Handoff Direction Message",
     kUniversalHandoffDirection},
};

}  // namespace

Layout Cdma1xLength() { return kLength; }

Layout Cdma1xChannelHeader(uint16_t logCode) {
  switch (logCode) {
    case kLogCodeSync:
    case kLogCodePaging:
      return kTypeOnly;
    case kLogCodeAccess:
      return kAccessHeader;
    case kLogCodeReverseTraffic:
    case kLogCodeForwardTraffic:
      return kTrafficHeader;
    default:
      return {};
  }
}

uint8_t Cdma1xMessageType(uint16_t logCode, uint64_t typeField) {
  return static_cast<uint8_t>(logCode == kLogCodeAccess ? typeField & 0x3F : typeField & 0xFF);
}

const MessageLayout* FindCdma1xLayout(uint16_t logCode, uint8_t msgType) {
  for (const MessageLayout& layout : kLayouts) {
    if (layout.logCode == logCode && layout.msgType == msgType) return &layout;
  }
  return nullptr;
}

std::span<const MessageLayout> Cdma1xLayouts() { return kLayouts; }

}  // namespace wendrake
