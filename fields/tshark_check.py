#!/usr/bin/env python3
"""Cross-checks the field decoder against Wireshark's cdma2k dissector.

tshark decodes a handful of 1x messages wrapped in a short tunnelling header:
a channel bit, the 8-bit protocol revision, the message type (6 bits on the
reverse common channel, 8 on the others), a 4-bit count of header records,
padding to an octet, a 16-bit length and the layer-3 message after its
link-layer fields. This script wraps messages from a drive-test log and
messages generated here from the standard's tables, runs text2pcap and tshark
over them, decodes the same messages with the field decoder, and fails on any
field whose values differ.

Usage: tshark_check.py FIELDS_DUMP LOG
Exit status: 0 agreement, 1 a difference, 77 tshark or text2pcap missing.
"""
import collections
import json
import random
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from pathlib import Path

SKIP = 77
USER_DLT = 147
TSHARK_PREFS = ["-o", f'uat:user_dlts:"User 0 (DLT={USER_DLT})","cdma2k","0","","0",""']

ACCESS, REVERSE_TRAFFIC, PAGING, FORWARD_TRAFFIC = 0x1004, 0x1005, 0x1007, 0x1008

# Wireshark field -> field decoder name, for the fields both decode.
FIELD_NAMES = {
    "Reg_Type": "REG_TYPE", "Slot_Cycle_Index": "SLOT_CYCLE_INDEX", "Mob_P_Rev": "MOB_P_REV",
    "Mob_Term": "MOB_TERM", "Return_Cause": "RETURN_CAUSE", "Enhanced_Rc": "ENHANCED_RC",
    "Uzid_Incl": "UZID_INCL", "Uzid": "UZID", "GeoLoc_Incl": "GEO_LOC_INCL",
    "GeoLoc_Type": "GEO_LOC_TYPE", "Order_Ind": "ORDER", "Add_Record_Len": "ADD_RECORD_LEN",
    "Ordq": "ORDQ", "Randbs": "RANDBS", "Authbs": "AUTHBS", "Roam_Ind": "ROAM_INDI",
    "service_option": "SERVICE_OPTION", "Request_Mode": "REQUEST_MODE",
    "Special_Service": "SPECIAL_SERVICE", "pm": "PM", "digit_mode": "DIGIT_MODE",
    "Number_Type": "NUMBER_TYPE", "Number_Plan": "NUMBER_PLAN", "More_Fields": "MORE_FIELDS",
    "Num_Fields": "NUM_FIELDS", "Nar_An_Cap": "NAR_AN_CAP", "Paca_Reorig": "PACA_REORIG",
    "More_Records": "MORE_RECORDS", "Paca_Supported": "PACA_SUPPORTED",
    "num_alt_so": "NUM_ALT_SO", "Alt_So": "ALT_SO", "DRS": "DRS", "Ch_Ind": "CH_IND",
    "SR_ID": "SR_ID", "Otd_Supported": "OTD_SUPPORTED", "For_Rc_Pref": "FOR_RC_PREF",
    "Rev_Rc_Pref": "REV_RC_PREF", "Fch_Supported": "FCH_SUPPORTED",
    "Fch_Frame_Size": "FCH_FRAME_SIZE", "For_Fch_Len": "FOR_FCH_LEN",
    "For_Fch_Rc_Map": "FOR_FCH_RC_MAP", "Rev_Fch_Len": "REV_FCH_LEN",
    "Rev_Fch_Rc_Map": "REV_FCH_RC_MAP", "Dcch_Supported": "DCCH_SUPPORTED",
    "Dcch_Frame_Size": "DCCH_FRAME_SIZE", "For_Dcch_Len": "FOR_DCCH_LEN",
    "For_Dcch_Rc_Map": "FOR_DCCH_RC_MAP", "Rev_Dcch_Len": "REV_DCCH_LEN",
    "Rev_Dcch_Rc_Map": "REV_DCCH_RC_MAP", "Rev_Fch_Gating_Req": "REV_FCH_GATING_REQ",
    "Record_Type": "RECORD_TYPE", "Record_Len": "RECORD_LEN", "Signal_Type": "SIGNAL_TYPE",
    "Alert_Pitch": "ALERT_PITCH", "Signal": "SIGNAL", "Pres_Indicator": "PI",
    "Scr_Indicator": "SI", "Msg_Count": "MSG_COUNT", "Use_Time": "USE_TIME",
    "Action_Time": "ACTION_TIME", "Hdm_Seq": "HDM_SEQ", "Parms_Incl": "PARMS_INCL",
    "P_Rev": "P_REV", "Serv_Neg_Type": "SERV_NEG_TYPE", "Search_Incl": "SEARCH_INCL",
    "Srch_Win_A": "SRCH_WIN_A", "Srch_Win_N": "SRCH_WIN_N", "Srch_Win_R": "SRCH_WIN_R",
    "T_Add": "T_ADD", "T_Drop": "T_DROP", "T_Comp": "T_COMP", "T_Tdrop": "T_TDROP",
    "Soft_Slope": "SOFT_SLOPE", "Add_Intercept": "ADD_INTERCEPT",
    "Drop_Intercept": "DROP_INTERCEPT", "Extra_Parms_Incl": "EXTRA_PARMS_INCL",
    "Packet_Zone_Id": "PACKET_ZONE_ID", "Frame_Offset": "FRAME_OFFSET",
    "Private_Lcm": "PRIVATE_LCM", "Reset_L2": "RESET_L2", "Reset_Fpc": "RESET_FPC",
    "Encrypt_Mode": "ENCRYPT_MODE", "Nom_Pwr_Ext": "NOM_PWR_EXT", "Nom_Pwr": "NOM_PWR",
    "Rlgain_Traffic_Pilot": "RLGAIN_TRAFFIC_PILOT", "Default_Rlag": "DEFAULT_RLAG",
    "Num_Preamble": "NUM_PREAMBLE", "Band_Class": "BAND_CLASS", "Cdma_Freq": "CDMA_FREQ",
    "Return_If_Handoff_Fail": "RETURN_IF_HANDOFF_FAIL", "Complete_Search": "COMPLETE_SEARCH",
    "Periodic_Search": "PERIODIC_SEARCH", "Scr_Incl": "SCR_INCL",
    "Serv_Con_Seq": "SERV_CON_SEQ", "Nnscr_Incl": "NNSCR_INCL",
    "Use_Pwr_Cntl_Step": "USE_PWR_CNTL_STEP", "Pwr_Cntl_Step": "PWR_CNTL_STEP",
    "Clear_Retry_Delay": "CLEAR_RETRY_DELAY", "Sch_Incl": "SCH_INCL",
    "Num_For_Assign": "NUM_FOR_ASSIGN", "Num_Rev_Assign": "NUM_REV_ASSIGN",
    "Fpc_Subchain_Gain": "FPC_SUBCHAN_GAIN", "Use_Pc_Time": "USE_PC_TIME",
    "Pc_Action_Time": "PC_ACTION_TIME", "Active_Set_Rec_Len": "ACTIVE_SET_REC_LEN",
    "Num_For_Sch": "NUM_FOR_SCH", "Num_Rev_Sch": "NUM_REV_SCH", "Walsh_Id": "REV_WALSH_ID",
    "Num_Pilots": "NUM_PILOTS", "Srch_Offset_Incl": "SRCH_OFFSET_INCL", "Pilot_Pn": "PILOT_PN",
    "Srch_Offset": "SRCH_OFFSET", "Add_Pilot_Rec_Incl": "ADD_PILOT_REC_INCL",
    "Pilot_Rec_Type": "PILOT_REC_TYPE", "Pwr_Comb_Ind": "PWR_COMB_IND",
    "Code_Chan_Fch": "CODE_CHAN_FCH", "Qof_Mask_Id_Fch": "QOF_MASK_ID_FCH",
    "Code_Chan_Dcch": "CODE_CHAN_DCCH", "Qof_Mask_Id_Dcch": "QOF_MASK_ID_DCCH",
    "Num_Sch": "NUM_SCH", "Pilot_Incl": "PILOT_INCL", "Code_Chan_Sch": "CODE_CHAN_SCH",
    "Qof_Mask_Id_Sch": "QOF_MASK_ID_SCH", "3xFch_Info_Incl": "3X_FCH_INFO_INCL",
    "3xDcch_Info_Incl": "3X_DCCH_INFO_INCL", "Ccsh_Included": "CCSH_INCLUDED",
    "Fundicated_Bcmc_Ind": "FUNDICATED_BCMC_IND", "Rev_Fch_Gating_Mode": "REV_FCH_GATING_MODE",
    "Rev_Pwr_Cntl_Delay_Incl": "REV_PWR_CNTL_DELAY_INCL",
    "Rev_Pwr_Cntl_Delay": "REV_PWR_CNTL_DELAY", "D_Sig_Encrypt_Mode": "D_SIG_ENCRYPT_MODE",
    "Enc_Key_Size": "ENC_KEY_SIZE", "3xfl_1xrl_Incl": "3XFL_1XRL_INCL",
    "1xrl_Freq_Offset": "1XRL_FREQ_OFFSET",
}
# Fields whose Wireshark names differ in the order message of each direction.
ORDER_FIELDS = ("Order_Cmd",)
# The station class mark, which Wireshark shows bit by bit.
SCM_BITS = ("ext_scm_ind", "scm.dual_mode", "scm.slotted_class", "scm.meid_sup",
            "scm.25mhz_bw", "scm.trans", "scm.pow_class")
SCM_WIDTHS = (1, 1, 1, 1, 1, 1, 2)
# RC maps of up to 21 bits, which tshark shows in an 8-bit field: only their
# low 8 bits can be compared.
EIGHT_BIT_IN_TSHARK = {"FOR_FCH_RC_MAP", "REV_FCH_RC_MAP", "FOR_DCCH_RC_MAP", "REV_DCCH_RC_MAP"}
# Supplementary channel fields, which tshark names alike in the forward and
# reverse records (of the assignment and of the active set): compared as one
# sequence in message order.
SCH_FIELDS = {"Sch_Id", "Sch_Duration", "Sch_Start_Time_Incl", "Sch_Start_Time",
              "Sccl_Index", "Sch_Num_Bits_Idx"}
SCH_NAMES = {
    "FOR_SCH_ID": "Sch_Id", "REV_SCH_ID": "Sch_Id", "FOR_SCH_DURATION": "Sch_Duration",
    "REV_SCH_DURATION": "Sch_Duration", "FOR_SCH_START_TIME_INCL": "Sch_Start_Time_Incl",
    "REV_SCH_START_TIME_INCL": "Sch_Start_Time_Incl", "FOR_SCH_START_TIME": "Sch_Start_Time",
    "REV_SCH_START_TIME": "Sch_Start_Time", "SCCL_INDEX": "Sccl_Index",
    "REV_SCH_NUM_BITS_IDX": "Sch_Num_Bits_Idx", "FOR_SCH_RATE": "Sch_Num_Bits_Idx",
    "REV_SCH_RATE": "Sch_Num_Bits_Idx",
}


# ---- Messages as bit strings.

class Bits:
    def __init__(self):
        self.bits = []

    def put(self, value, width):
        self.bits += [(value >> (width - 1 - i)) & 1 for i in range(width)]
        return self

    def octets(self):
        padded = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, padded[i:i + 8])), 2) for i in range(0, len(padded), 8))


def bit_string(data):
    return "".join(f"{byte:08b}" for byte in data)


def octets(bits):
    bits += "0" * (-len(bits) % 8)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))


def logged(log_code, body):
    """A logged message: length word, log code, time stamp, MSG_LENGTH, body."""
    payload = bytes([len(body) + 1]) + body
    total = 12 + len(payload)
    return bytes([total & 0xFF, total >> 8, log_code & 0xFF, log_code >> 8]) + bytes(8) + payload


def wrap(channel, p_rev, msg_type, pdu):
    """The tunnelling header the cdma2k dissector reads, without header records."""
    header = Bits().put(channel, 1).put(p_rev, 8)
    if channel == 0:
        header.put(0, 2).put(msg_type & 0x3F, 6)
    else:
        header.put(msg_type, 8)
    header.put(0, 1).put(0, 4)  # a spare bit, no header records
    return header.octets() + len(pdu).to_bytes(2, "big") + pdu


def tunnel(message):
    """(channel, protocol revision, type, PDU) of a logged 1x message, or None
    for messages the dissector does not decode. The PDU starts after the
    link-layer fields: ARQ, addressing and authentication fields."""
    if len(message) < 14:
        return None
    code = message[2] | message[3] << 8
    length = message[12]
    bits = bit_string(message[13:12 + max(length, 1)])
    if len(bits) < 8:
        return None
    msg_type = int(bits[:8], 2)
    try:
        if code == ACCESS:
            msg_type &= 0x3F
            msid_len = int(bits[22:26], 2)
            pos = 26 + 8 * msid_len
            auth = int(bits[pos:pos + 2], 2)
            pos += 2 + (32 if auth == 1 else 0)
            body = bits[pos:]
            if msg_type == 1:
                return 0, int(body[7:15], 2), 1, octets(body)
            if msg_type in (4, 5):
                return 0, int(body[4:12], 2), msg_type, octets(body)
            if msg_type == 2:
                return 0, 7, 2, octets(body)
        elif code == REVERSE_TRAFFIC and msg_type == 1:
            return 0, 7, 2, octets(bits[17:])
        elif code == PAGING and msg_type == 7:
            addr_len = int(bits[19:23], 2)
            return 0, 7, 7, octets(bits[23 + 8 * addr_len:])
        elif code == FORWARD_TRAFFIC and msg_type == 1:
            return 0, 7, 7, octets(bits[24:])  # after USE_TIME and ACTION_TIME
        elif code == FORWARD_TRAFFIC and msg_type == 3:
            # tshark reads records up to the last octet: leave out the padding
            # after the last record, which would read as one more record.
            records = bits[17:]
            return 1, 7, msg_type, octets(records[:len(records) // 8 * 8])
        elif code == FORWARD_TRAFFIC and msg_type == 0x22:
            return 1, 7, msg_type, octets(bits[17:])
    except ValueError:  # a header cut short
        return None
    return None


# ---- Generated messages, from the standard's tables.

def access_header(bits, msg_type):
    bits.put(msg_type, 8).put(1, 3).put(2, 3).put(1, 1).put(0, 1).put(0, 3)
    bits.put(1, 3).put(4, 4).put(0x9F3A21C4, 32).put(0, 2)  # MSID_TYPE ESN, no authentication


def gen_registration(rng):
    b = Bits()
    access_header(b, 1)
    p_rev = rng.choice([3, 4, 5, 6, 7])
    b.put(rng.randrange(8), 4).put(rng.randrange(8), 3).put(p_rev, 8).put(rng.randrange(256), 8)
    b.put(rng.randrange(2), 1)
    if p_rev >= 4:
        b.put(rng.randrange(16), 4)
    if p_rev >= 6:
        uzid = rng.randrange(2)
        b.put(rng.randrange(2), 1).put(rng.randrange(2), 1).put(uzid, 1)
        if uzid:
            b.put(rng.randrange(65536), 16)
    if p_rev >= 7:
        geo = rng.randrange(2)
        b.put(geo, 1)
        if geo:
            b.put(rng.randrange(8), 3)
    return logged(ACCESS, b.octets())


def order_fields(b, rng, orders):
    order, qualifier, extra = rng.choice(orders)
    specific = Bits()
    if qualifier is not None:
        specific.put(qualifier, 8)
    for width, value in extra:
        specific.put(value, width)
    body = specific.octets()
    b.put(order, 6).put(len(body), 3)
    for byte in body:
        b.put(byte, 8)


REVERSE_ORDERS = [(16, None, []), (2, 0, [(32, 0xDEADBEEF)]), (4, 0, []), (19, 0, [(16, 3)]),
                  (20, 0, [(16, 0x8000)]), (21, 0, [])]
FORWARD_ORDERS = [(16, None, []), (2, 0, [(18, 0x2ABCD), (6, 0)]), (4, 0, []), (21, 0, []),
                  (27, 0, []), (27, 1, []), (27, 2, []), (27, 5, [(8, 1)])]


def gen_access_order(rng):
    b = Bits()
    access_header(b, 2)
    order_fields(b, rng, REVERSE_ORDERS)
    return logged(ACCESS, b.octets())


def gen_reverse_order(rng):
    b = Bits().put(1, 8).put(1, 3).put(2, 3).put(1, 1).put(0, 2)
    order_fields(b, rng, REVERSE_ORDERS)
    return logged(REVERSE_TRAFFIC, b.octets())


def gen_paging_order(rng):
    b = Bits().put(7, 8).put(1, 3).put(2, 3).put(1, 1).put(0, 1).put(1, 3).put(4, 4)
    b.put(0x9F3A21C4, 32)
    order_fields(b, rng, FORWARD_ORDERS)
    return logged(PAGING, b.octets())


def gen_forward_order(rng):
    b = Bits().put(1, 8).put(1, 3).put(2, 3).put(1, 1).put(0, 2).put(0, 1).put(0, 6)
    order_fields(b, rng, FORWARD_ORDERS)
    return logged(FORWARD_TRAFFIC, b.octets())


def channel_capabilities(b, rng, with_geo):
    fch = rng.randrange(2)
    b.put(fch, 1)
    if fch:
        b.put(rng.randrange(2), 1)
        for _ in range(2):
            n = rng.randrange(1, 4)
            b.put(n, 3).put(rng.randrange(1 << (3 * n)), 3 * n)
    dcch = rng.randrange(2)
    b.put(dcch, 1)
    if dcch:
        b.put(rng.randrange(4), 2)
        for _ in range(2):
            n = rng.randrange(1, 4)
            b.put(n, 3).put(rng.randrange(1 << (3 * n)), 3 * n)
    if with_geo:
        geo = rng.randrange(2)
        b.put(geo, 1)
        if geo:
            b.put(rng.randrange(8), 3)
    b.put(rng.randrange(2), 1)  # REV_FCH_GATING_REQ


def gen_origination(rng):
    b = Bits()
    access_header(b, 4)
    p_rev = rng.choice([4, 5, 6])
    b.put(0, 1).put(rng.randrange(8), 3).put(p_rev, 8).put(rng.randrange(256), 8)
    special = rng.randrange(2)
    b.put(rng.randrange(8), 3).put(special, 1)
    if special:
        b.put(rng.choice([3, 17, 33, 0x8000]), 16)
    digit_mode = rng.randrange(2)
    b.put(rng.randrange(2), 1).put(digit_mode, 1)
    if digit_mode:
        b.put(rng.randrange(8), 3).put(rng.randrange(16), 4)
    digits = [rng.randrange(1, 11) for _ in range(rng.randrange(1, 11))]
    b.put(0, 1).put(len(digits), 8)
    for digit in digits:
        b.put(digit + (0x30 if digit_mode else 0), 8 if digit_mode else 4)
    b.put(rng.randrange(2), 1).put(rng.randrange(2), 1).put(rng.randrange(16), 4).put(0, 1)
    alternatives = rng.randrange(3)
    b.put(rng.randrange(2), 1).put(alternatives, 3)
    for _ in range(alternatives):
        b.put(rng.choice([3, 17, 68]), 16)
    if p_rev >= 6:
        uzid = rng.randrange(2)
        b.put(rng.randrange(2), 1).put(uzid, 1)
        if uzid:
            b.put(rng.randrange(65536), 16)
        b.put(rng.randrange(1, 4), 2).put(rng.randrange(8), 3).put(rng.randrange(2), 1)
        b.put(rng.randrange(2), 1).put(rng.randrange(2), 1).put(rng.randrange(32), 5)
        b.put(rng.randrange(32), 5)
        channel_capabilities(b, rng, with_geo=True)
    return logged(ACCESS, b.octets())


def gen_page_response(rng):
    b = Bits()
    access_header(b, 5)
    p_rev = rng.choice([4, 5, 6])
    b.put(1, 1).put(rng.randrange(8), 3).put(p_rev, 8).put(rng.randrange(256), 8)
    b.put(rng.randrange(8), 3).put(rng.choice([3, 17, 33]), 16).put(rng.randrange(2), 1)
    b.put(rng.randrange(2), 1)
    alternatives = rng.randrange(3)
    b.put(alternatives, 3)
    for _ in range(alternatives):
        b.put(rng.choice([3, 17, 68]), 16)
    if p_rev >= 6:
        uzid = rng.randrange(2)
        b.put(uzid, 1)
        if uzid:
            b.put(rng.randrange(65536), 16)
        b.put(rng.randrange(1, 4), 2).put(rng.randrange(2), 1).put(rng.randrange(2), 1)
        b.put(rng.randrange(2), 1).put(rng.randrange(32), 5).put(rng.randrange(32), 5)
        channel_capabilities(b, rng, with_geo=False)
    return logged(ACCESS, b.octets())


def gen_alert_with_information(rng):
    b = Bits().put(3, 8).put(1, 3).put(2, 3).put(1, 1).put(0, 2)
    for _ in range(rng.randrange(1, 4)):
        kind = rng.choice([5, 6, 3])
        if kind == 5:  # Signal
            b.put(5, 8).put(2, 8).put(rng.randrange(4), 2).put(rng.randrange(4), 2)
            b.put(rng.randrange(64), 6).put(0, 6)
        elif kind == 6:  # Message Waiting
            b.put(6, 8).put(1, 8).put(rng.randrange(256), 8)
        else:  # Calling Party Number
            digits = [0x30 + rng.randrange(10) for _ in range(rng.randrange(1, 11))]
            b.put(3, 8).put(len(digits) + 2, 8).put(rng.randrange(8), 3).put(rng.randrange(16), 4)
            b.put(rng.randrange(4), 2).put(rng.randrange(4), 2)
            for digit in digits:
                b.put(digit, 8)
            b.put(0, 5)
    return logged(FORWARD_TRAFFIC, b.octets())


def gen_universal_handoff_direction(rng):
    b = Bits().put(0x22, 8).put(1, 3).put(2, 3).put(1, 1).put(0, 2)
    use_time = rng.randrange(2)
    encrypt_mode = 0
    b.put(use_time, 1)
    if use_time:
        b.put(rng.randrange(64), 6)
    parms = rng.randrange(2)
    b.put(rng.randrange(4), 2).put(parms, 1)
    if parms:
        b.put(rng.choice([6, 7]), 8).put(rng.randrange(2), 1)
    search = rng.randrange(2)
    b.put(search, 1)
    if search:
        for width in (4, 4, 4, 6, 6, 4, 4, 6, 6, 6):
            b.put(rng.randrange(1 << width), width)
    extra = rng.randrange(2)
    b.put(extra, 1)
    if extra:
        for width in (8, 4, 1, 1, 1):
            b.put(rng.randrange(1 << width), width)
        encrypt_mode = rng.randrange(4)
        b.put(encrypt_mode, 2)
        for width in (1, 4, 6, 1, 3, 5, 11):
            b.put(rng.randrange(1 << width), width)
        fail = rng.randrange(2)
        b.put(fail, 1)
        if fail:
            b.put(rng.randrange(2), 1)
        scr = rng.randrange(2)
        b.put(rng.randrange(2), 1).put(scr, 1)
        if scr:
            b.put(rng.randrange(8), 3).put(rng.randrange(256), 8).put(2, 8).put(0xABCD, 16)
        nnscr = rng.randrange(2)
        b.put(nnscr, 1)
        if nnscr:
            b.put(rng.randrange(256), 8).put(1, 8).put(0x5A, 8)
    step = rng.randrange(2)
    b.put(step, 1)
    if step:
        b.put(rng.randrange(8), 3)
    sch = rng.randrange(2)
    b.put(rng.randrange(2), 1).put(sch, 1)
    if sch:
        for last in (4, 4):
            count = rng.randrange(4)
            b.put(count, 2)
            for _ in range(count):
                start = rng.randrange(2)
                b.put(rng.randrange(2), 1).put(rng.randrange(16), 4).put(start, 1)
                if start:
                    b.put(rng.randrange(32), 5)
                b.put(rng.randrange(16), last)
    pc_time = rng.randrange(2)
    b.put(rng.randrange(32), 5).put(pc_time, 1)
    if pc_time:
        b.put(rng.randrange(64), 6)
    # CH_IND 1 and 3 are left out: tshark reads the fundamental channel's code
    # only for 5 and 7, the field decoder wherever CH_IND's low bit is set.
    ch_ind = rng.choice([0, 2, 5, 6, 7])
    record = b""
    if ch_ind:
        # tshark reads on where the record's fields end, not at its length:
        # records whose fields fill whole octets read alike both ways.
        fields = active_set_record(rng, ch_ind, sch)
        while len(fields.bits) % 8:
            fields = active_set_record(rng, ch_ind, sch)
        record = fields.octets()
    b.put(ch_ind, 3).put(len(record), 8)
    for byte in record:
        b.put(byte, 8)
    gating = rng.randrange(2)
    if ch_ind not in (2, 6):
        b.put(gating, 1)
        if gating:
            delay = rng.randrange(2)
            b.put(delay, 1)
            if delay:
                b.put(rng.randrange(4), 2)
    if encrypt_mode == 3:
        b.put(rng.randrange(8), 3)
    if encrypt_mode >= 2:
        b.put(rng.randrange(8), 3)
    reverse_link = rng.randrange(2)
    b.put(reverse_link, 1)
    if reverse_link:
        b.put(rng.randrange(4), 2)
    b.put(0, 3)  # SYNC_ID_INCL or CC_INFO_INCL, CS_SUPPORTED: past what both decode
    return logged(FORWARD_TRAFFIC, b.octets())


def active_set_record(rng, ch_ind, sch):
    """The active set record: supplemental channels, pilots with the code
    channels CH_IND names, then the 3X and CCSH flags, padded to octets."""
    b = Bits()
    if sch:
        for rate_widths in ((1, 4, 4), (1, 1, 4)):
            count = rng.randrange(3)
            b.put(count, 5)
            for _ in range(count):
                for width in rate_widths:
                    b.put(rng.randrange(1 << width), width)
    # tshark's pilot loop shares its counter with the loops over each pilot's
    # supplemental channels: with them, only a single pilot reads as sent.
    pilots = 1 if sch else rng.randrange(1, 7)
    offsets = rng.randrange(2)
    b.put(pilots, 3).put(offsets, 1)
    for _ in range(pilots):
        b.put(rng.randrange(512), 9)
        if offsets:
            b.put(rng.randrange(8), 3)
        extra = rng.random() < 0.2
        b.put(extra, 1)
        if extra:
            octets_ = rng.randrange(3)
            b.put(rng.randrange(8), 3).put(octets_, 3)
            for _ in range(octets_):
                b.put(rng.randrange(256), 8)
        b.put(rng.randrange(2), 1)
        if ch_ind & 1:
            b.put(rng.randrange(2048), 11).put(rng.randrange(4), 2)
        if ch_ind & 2:
            b.put(rng.randrange(2048), 11).put(rng.randrange(4), 2)
        if sch:
            count = rng.randrange(3)
            b.put(count, 5)
            for _ in range(count):
                pilot_incl = rng.randrange(2)
                b.put(rng.randrange(2), 1).put(rng.randrange(16), 4).put(pilot_incl, 1)
                if pilot_incl:
                    b.put(rng.randrange(2048), 11).put(rng.randrange(4), 2)
    if ch_ind & 1:
        b.put(0, 1)  # 3X_FCH_INFO_INCL
    if ch_ind & 2:
        b.put(0, 1)  # 3X_DCCH_INFO_INCL
    b.put(0, 1)  # CCSH_INCLUDED
    if ch_ind & 2:
        b.put(0, 1)  # FUNDICATED_BCMC_IND
    return b


GENERATORS = [gen_registration, gen_access_order, gen_reverse_order, gen_paging_order,
              gen_forward_order, gen_origination, gen_page_response, gen_alert_with_information,
              gen_universal_handoff_direction]


def sample_messages(log):
    """Logged messages of the log's "CL3" lines, hex converted pair by pair."""
    messages = []
    for line in Path(log).read_text(errors="replace").splitlines():
        fields = line.split("\t")
        if len(fields) < 4 or fields[0] != "CL3" or not fields[3]:
            continue
        digits = fields[3]
        if re.fullmatch(r"(?:[0-9A-Fa-f]{2})+", digits):
            messages.append(bytes.fromhex(digits))
    return messages


# ---- Decoding both ways.

def field_decoder(dump, messages):
    lines = "".join(f"- {m.hex()}\n" for m in messages)
    out = subprocess.run([dump], input=lines, capture_output=True, text=True, check=True).stdout
    return [json.loads(line) for line in out.splitlines()]


def flatten(fields, out):
    """(name, raw) pairs of a decoded field object, records in order; the
    supplementary channel fields under tshark's shared names."""
    for key, value in fields.items():
        name = key.split("#")[0]
        if name in SCH_NAMES:
            name = "SCH:" + SCH_NAMES[name]
        if isinstance(value, list):
            for record in value:
                flatten(record, out)
        elif isinstance(value, dict) and "raw" in value:
            out[name].append(value["raw"])
        elif isinstance(value, int):
            out[name].append(value)
    return out


def tshark_fields(wrapped, workdir):
    text = workdir / "messages.txt"
    with text.open("w") as f:
        for packet in wrapped:
            f.write("0000 " + " ".join(f"{b:02x}" for b in packet) + "\n")
    pcap = workdir / "messages.pcap"
    subprocess.run(["text2pcap", "-q", "-l", str(USER_DLT), str(text), str(pcap)], check=True)
    pdml = subprocess.run(["tshark", "-r", str(pcap), *TSHARK_PREFS, "-T", "pdml"],
                          capture_output=True, text=True, check=True).stdout
    packets = []
    for packet in ET.fromstring(pdml).iter("packet"):
        seen = collections.defaultdict(list)
        scm = []
        for field in packet.iter("field"):
            name = field.get("name", "")
            if not name.startswith("cdma2k."):
                continue
            short = name[len("cdma2k."):]
            show = field.get("show", "")
            if short in SCM_BITS:
                scm.append(int(show, 0))
                if len(scm) == len(SCM_BITS):
                    value = 0
                    for bit, width in zip(scm, SCM_WIDTHS):
                        value = value << width | bit
                    seen["SCM"].append(value)
                    scm = []
            elif short in ORDER_FIELDS:
                seen["ORDER"].append(int(show, 0))
            elif short in SCH_FIELDS:
                seen["SCH:" + short].append(int(show, 0))
            elif short in FIELD_NAMES:
                seen[FIELD_NAMES[short]].append(int(show, 0))
        packets.append(seen)
    return packets


# The Universal Handoff Direction Message's fields after the active set
# record. tshark reads them where the record's last field ends rather than at
# the record's length, so they are compared only where the record has no
# padding (the field decoder then keeps no ACTIVE_SET_REC_FIELDS).
AFTER_ACTIVE_SET_RECORD = {"REV_FCH_GATING_MODE", "REV_PWR_CNTL_DELAY_INCL", "REV_PWR_CNTL_DELAY",
                           "D_SIG_ENCRYPT_MODE", "ENC_KEY_SIZE", "3XFL_1XRL_INCL",
                           "1XRL_FREQ_OFFSET"}


def compare(decoded, theirs):
    """Differences between the two decodes of one message, as text lines."""
    ours = flatten(decoded["fields"], collections.defaultdict(list))
    if "ACTIVE_SET_REC_FIELDS" in decoded["fields"]:
        theirs = {name: values for name, values in theirs.items()
                  if name not in AFTER_ACTIVE_SET_RECORD}
    complete = decoded["status"] == "complete"
    problems = []
    compared = 0
    for name in sorted(set(ours) | set(theirs)):
        if name not in theirs:
            continue  # a field tshark does not decode (headers, later fields)
        mine, other = ours.get(name, []), theirs[name]
        if name in EIGHT_BIT_IN_TSHARK:
            mine = [value & 0xFF for value in mine]
        prefix_ok = other[:len(mine)] == mine
        if not prefix_ok or (complete and len(mine) != len(other) and
                             decoded["message"] != "Universal Handoff Direction Message"):
            problems.append(f"{name}: field decoder {mine}, tshark {other}")
        compared += min(len(mine), len(other))
    return problems, compared


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    dump, log = sys.argv[1], sys.argv[2]
    for tool in ("tshark", "text2pcap"):
        if shutil.which(tool) is None:
            print(f"SKIP: {tool} not found; install tshark to cross-check the field decoder")
            return SKIP
    rng = random.Random(26)
    messages = [("sample", m) for m in sample_messages(log)]
    messages += [("generated", gen(rng)) for gen in GENERATORS for _ in range(40)]
    chosen = [(origin, m, tunnel(m)) for origin, m in messages]
    chosen = [(origin, m, t) for origin, m, t in chosen if t is not None]
    decoded = field_decoder(dump, [m for _, m, _ in chosen])
    with tempfile.TemporaryDirectory() as tmp:
        theirs = tshark_fields([wrap(*t) for _, _, t in chosen], Path(tmp))
    if len(theirs) != len(chosen):
        print(f"tshark decoded {len(theirs)} packets of {len(chosen)}", file=sys.stderr)
        return 1
    failures = 0
    per_message = collections.Counter()
    fields_compared = collections.Counter()
    for (origin, message, _), ours, other in zip(chosen, decoded, theirs):
        problems, compared = compare(ours, other)
        kind = f"{ours['channel']}: {ours['message']}"
        per_message[kind, origin] += 1
        fields_compared[kind] += compared
        if compared == 0:
            problems.append("no field compared")
        for problem in problems:
            failures += 1
            print(f"DIFF {origin} {kind} [{message.hex()}]: {problem}", file=sys.stderr)
    for (kind, origin), count in sorted(per_message.items()):
        print(f"{count:4} {origin:9} {kind}")
    for kind, count in sorted(fields_compared.items()):
        print(f"{count:6} field values compared: {kind}")
    print(f"tshark cross-check: {len(chosen)} messages, {failures} differences")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
