"""Decode parameters: identifiers, the log columns that feed them, their scales.

The decoder stores every parameter as a 32-bit integer, the logged value times
a fixed scale (1000 for values logged in thousandths, 100 for hundredths, 1
otherwise). These tables let Python turn the stored integers back into real
units and label them with the column names an analyst knows from the log.
They mirror the library's own constant tables, which no export hands out.
"""

# Identifiers of the 278 parameter slots, as (first id, count) runs in slot
# order. The 0x7F010191 run follows the 0x7F0102xx run, not the 0x7F0101xx one.
_SLOT_RUNS = (
    (0x7F010001, 25), (0x7F010101, 12), (0x7F010201, 6), (0x7F010191, 11), (0x7F018001, 16),
    (0x7F018101, 7), (0x7F018201, 7), (0x7F018301, 12), (0x7F018401, 8), (0x7F018501, 15),
    (0x7F019101, 14), (0x7F019201, 7), (0x7F019301, 7), (0x7F019401, 9), (0x7F019501, 15),
    (0x7F01A101, 14), (0x7F01A201, 7), (0x7F01A301, 7), (0x7F01A401, 9), (0x7F01A501, 15),
    (0x7F01B101, 14), (0x7F01B201, 7), (0x7F01B301, 7), (0x7F01B401, 9), (0x7F01B501, 15),
    (0x7F01C102, 3),
)
SLOT_IDS = tuple(first + i for first, count in _SLOT_RUNS for i in range(count))

# Inclusive identifier ranges with their scale; every other identifier is 1.
_SCALE_RANGES = (
    (0x7F010001, 0x7F010004, 1000), (0x7F010005, 0x7F010007, 100),
    (0x7F01000C, 0x7F010011, 1000), (0x7F010101, 0x7F01010C, 1000),
    (0x7F010203, 0x7F010204, 100), (0x7F018001, 0x7F018008, 1000),
    (0x7F018105, 0x7F018107, 100), (0x7F018206, 0x7F018207, 100),
    (0x7F018407, 0x7F018408, 100), (0x7F018502, 0x7F018506, 1000),
    (0x7F01850F, 0x7F01850F, 1000), (0x7F019101, 0x7F019108, 1000),
    (0x7F019205, 0x7F019207, 100), (0x7F019306, 0x7F019307, 100),
    (0x7F019408, 0x7F019409, 100), (0x7F019502, 0x7F019506, 1000),
    (0x7F01A101, 0x7F01A108, 1000), (0x7F01A205, 0x7F01A207, 100),
    (0x7F01A306, 0x7F01A307, 100), (0x7F01A408, 0x7F01A409, 100),
    (0x7F01A502, 0x7F01A506, 1000), (0x7F01B101, 0x7F01B108, 1000),
    (0x7F01B205, 0x7F01B207, 100), (0x7F01B306, 0x7F01B307, 100),
    (0x7F01B408, 0x7F01B409, 100), (0x7F01B502, 0x7F01B506, 1000),
)
SCALES = {pid: factor for first, last, factor in _SCALE_RANGES for pid in range(first, last + 1)}

# The log columns the decoder recognises, per record token, and the parameter
# each feeds. A column of another name reaches no parameter.
KNOWN_COLUMNS = {
    "DM": {
        "Rxagc": 0x7F010001, "RxAGC0": 0x7F018001, "RxAGC1": 0x7F018002,
        "Total_C/I": 0x7F018007, "Total_SINR": 0x7F018008, "DRC_Cover": 0x7F01800B,
        "DRC_Rate": 0x7F01800A, "TxPilotPower": 0x7F018004, "Txpower": 0x7F010003,
        "Txgainadj": 0x7F010004, "Total_EcIo": 0x7F01000C, "Total_Ec": 0x7F01000F,
        "ReferenceEcIo": 0x7F01000E, "ReferenceEc": 0x7F010011, "MaxEcIo": 0x7F01000D,
        "MaxEc": 0x7F010010, "Fber": 0x7F010005, "FFER": 0x7F010006,
        "Activesetcount": 0x7F01800C, "Handoffstate": 0x7F010015,
    },
    "SC": {
        "Freq": 0x7F010012, "RefPN": 0x7F01000A, "PRev": 0x7F010016,
        "EV_Sector_User_Served": 0x7F01830B, "EV_Revision": 0x7F01830A,
    },
    "PCP": {"TxOpenLoopPower": 0x7F018005, "TxClosedloopadjust": 0x7F018006},
    "C1XQI": {
        "Rlprx_Rate": 0x7F010201, "Rlptx_Rate": 0x7F010202, "Rlperr_Rate": 0x7F010203,
        "Rlprtx_Rate": 0x7F010204, "Physrx_Rate": 0x7F010205, "Phystx_Rate": 0x7F010206,
        "EV_RxRLPThroughput": 0x7F018101, "EV_TxRLPThroughput": 0x7F018103,
        "EV_Duplicate_Rate": 0x7F018105, "EV_RLPErrorRate": 0x7F018106,
        "EV_RLPRtxRate": 0x7F018107, "EV_RxPacketThroughput": 0x7F018201,
        "EV_RxPER": 0x7F018206, "EV_TxPacketThroughput": 0x7F018204, "EV_TxPER": 0x7F018207,
    },
    "CEVS": {
        "Session_State": 0x7F018301, "AT_State": 0x7F018302, "ALMP_State": 0x7F018303,
        "Init_State": 0x7F018304, "Idle_State": 0x7F018305, "Overhead_State": 0x7F018306,
        "Connected_State": 0x7F018307, "Route_Update_State": 0x7F018308,
        "HDR_HybridMode_State": 0x7F018309,
    },
    "EVT": {"Event": 0x7F01C104},
}

# The two state words the decoder derives from layer-3 and EV-DO status records.
L3_STATE = 0x7F01C102
EVDO_STATE = 0x7F01C103

NAMES = {pid: name for columns in KNOWN_COLUMNS.values() for name, pid in columns.items()}
NAMES[L3_STATE] = "L3State"
NAMES[EVDO_STATE] = "EvdoState"

# Every parameter the decoder can ever give a value, in slot order: the table
# columns of logs decoded apart line up when they are concatenated.
VALUED_IDS = tuple(pid for pid in SLOT_IDS if pid in NAMES)
_SLOT_INDEX = {pid: index for index, pid in enumerate(SLOT_IDS)}


def scale(param_id):
    """The factor the decoder multiplied the logged value by (1, 100 or 1000)."""
    return SCALES.get(param_id, 1)


def name(param_id):
    """Column name that feeds the parameter, "L3State"/"EvdoState", or "0x7F01xxxx"."""
    known = NAMES.get(param_id)
    return known if known is not None else "0x%08X" % param_id


def real(param_id, stored):
    """The logged value in real units: stored / scale."""
    return stored / SCALES.get(param_id, 1)


def slot_index(param_id):
    """Position of the parameter in the decoder's slot order (KeyError if unknown)."""
    return _SLOT_INDEX[param_id]
