#!/usr/bin/env python3
"""Writes the bundled sample drive-test log and the item counts it must decode to.

The log is a deterministic recording of a short drive with a hybrid CDMA 1x /
EV-DO handset: idle on 1x with overhead messages and a registration, a voice
call with soft handoffs, an EV-DO connection with a download, the dormant and
the inactive EV-DO states, and a 1x data call. It carries every record kind the
decoder knows, plus the quirks of real recordings: a stretch of CRLF line ends,
a truncated line, an unknown record token, a line of blanks, layer-3 records
with an odd number of hex digits, a wrong category or a wrong length word. Its
"GPS" lines follow the positional layout (latitude, longitude, altitude, speed,
heading, satellites) until the second capture tool registers them by name in
another order ("RegReport GPS"), and a few seconds carry impossible fixes
besides the real one: out of range, 0/0, a missing longitude, and a jump.

Usage:
    python3 examples/make_sample_log.py [-o examples/sample_drive.log]
                                        [--minutes N] [--seed S] [--table]

Next to the log it writes <name>.expected.json: the number of lines, the
report items a decoder created for module type 0xB101 must queue, by message
code, and their total. Those counts come from a small re-implementation of the
decoder's line rules run over the finished bytes, and are checked against what
the generator meant each line to be; a mismatch stops the script.

Every layer-3 message is numbered as the 3GPP2 standards number it (C.S0005
for 1x message types and orders, C.S0024 for EV-DO protocol types and
MessageIDs) and declares its name; cl3_message_names() lists, line by line,
the name each message code should show, for the tests to compare with the
library's. The few records that are no standard message (a header without a
message, an order without its qualifier) say so.

The output depends only on the seed and the length: no wall-clock time, no
transcendental math, so two runs give byte-identical files.
"""

import argparse
import datetime
import json
import os
import random
import struct
import sys

MODULE_TYPE = 0xB101
DEFAULT_MINUTES = 7
DEFAULT_SEED = 20111019
DEFAULT_OUTPUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sample_drive.log")

# The handset clock runs on local time (UTC+8); layer-3 log items carry GPS time
# in units of 1.25 ms in their upper 48 bits.
START_TIME = datetime.datetime(2011, 10, 19, 15, 42, 7)
UTC_OFFSET = datetime.timedelta(hours=8)
GPS_EPOCH = datetime.datetime(1980, 1, 6)
GPS_LEAP_SECONDS = 15  # GPS ran 15 s ahead of UTC in 2011

# The library drops lines longer than this (the line buffer is 8192 bytes).
MAX_LINE_BYTES = 8190

# --------------------------------------------------------------------------
# Record layouts declared by the RegReport lines. Names the decoder knows feed
# its parameters; the others only become XML element names.

COLUMNS = {
    "DM": ["Rxagc", "Txpower", "Txgainadj", "Total_EcIo", "Total_Ec", "ReferenceEcIo",
           "ReferenceEc", "MaxEcIo", "MaxEc", "Fber", "FFER", "Activesetcount",
           "Handoffstate", "FingerCount", "RxAGC0", "RxAGC1", "Total_C/I", "Total_SINR",
           "DRC_Cover", "DRC_Rate", "TxPilotPower"],
    "SC": ["Band", "Freq", "RefPN", "SID", "NID", "BaseID", "PRev", "EV_Channel",
           "EV_Sector_User_Served", "EV_Revision"],
    "HOP": ["PN", "Ec_Io", "Window", "SetType"],
    "PSM": ["RefPN", "Ref_EcIo", "PilotCount", "PN_1", "EcIo_1", "PN_2", "EcIo_2"],
    "AP": ["ProbeSeq", "ProbeNum", "TxPower", "Psist", "Result"],
    "PCP": ["TxOpenLoopPower", "TxClosedloopadjust", "TxAdjustStep", "PowerCtrlRate"],
    "UI": ["CallState", "ServiceOption", "Network", "Roam"],
    "ASFI": ["PN", "Fingers", "LockedFingers", "CombinedEcIo"],
    "C1XQI": ["Rlprx_Rate", "Rlptx_Rate", "Rlperr_Rate", "Rlprtx_Rate", "Physrx_Rate",
              "Phystx_Rate", "SchRate", "EV_RxRLPThroughput", "EV_TxRLPThroughput",
              "EV_Duplicate_Rate", "EV_RLPErrorRate", "EV_RLPRtxRate",
              "EV_RxPacketThroughput", "EV_RxPER", "EV_TxPacketThroughput", "EV_TxPER"],
    "C1XSMI": ["Band", "Channel", "PilotCount", "BestPN", "BestEcIo", "SearchWindow"],
    "EVT": ["Event", "EventName", "Payload"],
    "CEVS": ["Session_State", "AT_State", "ALMP_State", "Init_State", "Idle_State",
             "Overhead_State", "Connected_State", "Route_Update_State",
             "HDR_HybridMode_State"],
}

# Low half of the message code of each record type that yields an item; the
# module type forms the high half.
RECORD_CODES = {
    "DM": 0x2001, "SC": 0x2002, "HOP": 0x2003, "PSM": 0x2004, "AP": 0x2005,
    "PCP": 0x2006, "UI": 0x2007, "ASFI": 0x2008, "C1XQI": 0x2009, "C1XSMI": 0x200B,
    "CEVS": 0x200D,
}
EVENT_CODE_BASE = 0xEE000000

# The layout the second capture tool registers for "GPS" lines: by name, in
# another order than the positional one.
GPS_NAMED_COLUMNS = ["Sats", "Heading", "Lon", "Lat", "Speed", "Alt"]

# Seconds of the drive (from the start) that carry an impossible fix after
# the real one, and how it is impossible. The decoder's table rejects them.
BAD_FIXES = {60: "out of range", 61: "zero", 62: "no longitude", 63: "jump", 150: "jump"}

# Records the decoder reads but turns into no item.
NO_ITEM_TOKENS = {"GPS", "VOT", "C1XFMI", "LAB", "ENT", "DAY", "HOUR", "MIN", "SEC"}

# Event identifiers written to the "Event" column (hexadecimal).
EVENTS = {
    "POWER_UP": 0x0101, "REGISTRATION": 0x010B, "CALL_ORIGINATE": 0x0106,
    "CALL_CONNECT": 0x0108, "CALL_RELEASE": 0x0109, "HANDOFF_START": 0x0112,
    "HANDOFF_COMPLETE": 0x0113, "HDR_CONNECTION_ATTEMPT": 0x0200,
    "HDR_CONNECTION_OPEN": 0x0201, "HDR_CONNECTION_CLOSE": 0x0202,
    "HDR_DORMANT": 0x0205, "HDR_SESSION_ALIVE": 0x0206, "DATA_CALL_ORIGINATE": 0x0301,
    "DATA_CALL_CONNECT": 0x0302, "DATA_CALL_END": 0x0303,
    # A vendor event above 16 bits: only its low 16 bits reach the message code.
    "VENDOR_ROUTE_MARK": 0x1012A,
}

# --------------------------------------------------------------------------
# Layer-3 records: log codes, the category number written in field 2, and the
# name written in field 1.

LOG_ACCESS, LOG_REVERSE_TRAFFIC, LOG_SYNC, LOG_PAGING, LOG_FORWARD_TRAFFIC = (
    0x1004, 0x1005, 0x1006, 0x1007, 0x1008)
LOG_HDR_ACCESS, LOG_HDR_REVERSE, LOG_HDR_CONTROL, LOG_HDR_FORWARD, LOG_HDR_BROADCAST = (
    0x1076, 0x1077, 0x1078, 0x1079, 0x107C)

CATEGORY = {
    LOG_ACCESS: 0, LOG_PAGING: 1, LOG_REVERSE_TRAFFIC: 2, LOG_FORWARD_TRAFFIC: 3,
    LOG_SYNC: 4, LOG_HDR_ACCESS: 5, LOG_HDR_REVERSE: 6, LOG_HDR_FORWARD: 7,
    LOG_HDR_CONTROL: 8, LOG_HDR_BROADCAST: 9,
}
CHANNEL_NAME = {
    LOG_ACCESS: "ACH", LOG_PAGING: "PCH", LOG_REVERSE_TRAFFIC: "RTCH",
    LOG_FORWARD_TRAFFIC: "FTCH", LOG_SYNC: "SYNC", LOG_HDR_ACCESS: "HDR_AC",
    LOG_HDR_REVERSE: "HDR_RTC", LOG_HDR_FORWARD: "HDR_FTC", LOG_HDR_CONTROL: "HDR_CC",
    LOG_HDR_BROADCAST: "HDR_BC",
}
HDR_LOG_CODES = (LOG_HDR_ACCESS, LOG_HDR_REVERSE, LOG_HDR_CONTROL, LOG_HDR_FORWARD,
                 LOG_HDR_BROADCAST)

# EV-DO protocol types (3GPP2 C.S0024) that the sample's EV-DO messages carry.
ACCESS_CHANNEL_MAC, FORWARD_TRAFFIC_MAC, REVERSE_TRAFFIC_MAC = 0x02, 0x03, 0x04
INITIALIZATION_STATE, IDLE_STATE, CONNECTED_STATE, ROUTE_UPDATE = 0x0B, 0x0C, 0x0D, 0x0E
OVERHEAD_MESSAGES, SESSION_MANAGEMENT, ADDRESS_MANAGEMENT = 0x0F, 0x10, 0x11
STREAM1_APPLICATION, STREAM2_APPLICATION, STREAM3_APPLICATION = 0x15, 0x16, 0x17
# Message IDs the generic attribute update protocol gives every protocol.
ATTRIBUTE_UPDATE_REQUEST, ATTRIBUTE_UPDATE_ACCEPT, ATTRIBUTE_UPDATE_REJECT = 0x52, 0x53, 0x54

# Order sub-codes: (variant 0, variant 1, variant 2) per order code. Table A
# serves the access and reverse traffic channels, table B the paging and
# forward traffic channels. None marks a variant that never occurs.
ORDER_SUBCODE_A = {
    2: (8, 8, 8), 3: (12, 13, None), 5: (20, 20, 20), 11: (44, 45, 46),
    16: (64, 64, 64), 19: (76, 76, 76), 20: (80, 80, 80), 21: (84, 84, 84),
    23: (92, 94, None), 24: (96, 96, 96), 25: (100, 100, 100), 29: (116, 116, 116),
    30: (120, 120, 120), 31: (124, 124, 124),
}
ORDER_SUBCODE_B = {
    1: (4, 4, 4), 2: (8, 8, 8), 3: (12, 12, 12), 4: (16, 16, 16), 5: (20, 20, 20),
    6: (24, 24, 24), 9: (36, 36, 36), 10: (40, 40, 40), 16: (64, 64, 64),
    17: (68, 69, None), 18: (73, 74, None), 19: (76, 76, 76), 20: (80, 80, 80),
    21: (84, 84, 84), 23: (8, 8, 8), 25: (100, 100, 100), 26: (104, 104, 104),
    27: (108, 109, 110),
}

# Message types that carry an order, per log code.
ORDER_MSG_TYPE = {LOG_ACCESS: 2, LOG_REVERSE_TRAFFIC: 1, LOG_PAGING: 7, LOG_FORWARD_TRAFFIC: 1}


def order_variant(log_code, order, add_len, read_qualifier):
    """Variant of an order (0, 1 or 2) as its qualifier or record length selects.

    read_qualifier is called only where the rule reads the order qualifier,
    because a decoder reads it from the bits that follow whether or not the
    message has an additional record.
    """
    if log_code in (LOG_ACCESS, LOG_REVERSE_TRAFFIC) and order == 3:
        return 1 if add_len else 0
    if log_code == LOG_REVERSE_TRAFFIC and order == 11:
        if add_len != 1:
            return 0
        return {1: 1, 2: 2}.get(read_qualifier(), 0)
    if log_code == LOG_REVERSE_TRAFFIC and order == 23:
        if add_len != 1:
            return 0
        return 1 if read_qualifier() in (2, 3) else 0
    if log_code in (LOG_PAGING, LOG_FORWARD_TRAFFIC) and order == 18:
        qualifier = read_qualifier()
        if qualifier & 0x10:
            return 0
        return 1 if qualifier & 0x20 else 0
    if log_code == LOG_PAGING and order == 27:
        if add_len != 1:
            return 0
        return {1: 1, 2: 2}.get(read_qualifier(), 0)
    if log_code == LOG_FORWARD_TRAFFIC and order == 17:
        return 1 if add_len else 0
    return 0


def order_subcode(log_code, order, add_len, read_qualifier):
    table = ORDER_SUBCODE_A if log_code in (LOG_ACCESS, LOG_REVERSE_TRAFFIC) else ORDER_SUBCODE_B
    row = table.get(order)
    if row is None:
        return 0
    subcode = row[order_variant(log_code, order, add_len, read_qualifier)]
    assert subcode is not None, "variant that the rules never produce"
    return subcode


def hdr_low_half(protocol_type, subtype, message_id):
    """Low half of the code of an EV-DO signalling record from P[11] (the
    protocol type, its top bit a flag), P[7] >> 5 (the subtype) and P[12] (the
    MessageID)."""
    m = protocol_type & 0x7F
    if m in (2, 3, 5, 10, 13, 15, 16, 17, 18, 20):
        return (m << 8) | message_id
    if m == 4:
        w = 0 if subtype == 0 else subtype + 1
        return ((4 + 16 * w) << 8) | message_id
    if m == 11:
        return (11 << 8) | (message_id >> 6)
    if m in (12, 14, 21, 22, 23):
        return ((m + 16 * subtype) << 8) | message_id
    return 0


def code(log_code, msg_type, subcode):
    return (log_code << 16) | (msg_type << 8) | subcode


# --------------------------------------------------------------------------
# Bit packing.

class BitWriter:
    """Packs fields most significant bit first, as the air interface sends them."""

    def __init__(self):
        self._value = 0
        self._bits = 0

    def put(self, value, width):
        if width and (value < 0 or value >> width):
            raise ValueError(f"{value} does not fit in {width} bits")
        self._value = (self._value << width) | value
        self._bits += width
        return self

    def put_bytes(self, data):
        for byte in data:
            self.put(byte, 8)
        return self

    def pad(self):
        """Reserved zero bits up to the next octet boundary."""
        return self.put(0, -self._bits % 8)

    def to_bytes(self):
        self.pad()
        return self._value.to_bytes(self._bits // 8, "big")


class BitReader:
    """Reads MSB-first fields the way the decoder does: a field that runs past the
    end of the data reads as 0 and leaves the reader empty."""

    def __init__(self, data):
        self._number = int.from_bytes(data, "big")
        self._total = len(data) * 8
        self._pos = 0
        self._left = self._total

    def read(self, width):
        if self._left < width:
            self._left = 0
            return 0
        if width == 0:
            return 0
        shift = self._total - self._pos - width
        self._pos += width
        self._left -= width
        return (self._number >> shift) & ((1 << width) - 1)


# --------------------------------------------------------------------------
# Layer-3 message building. Every builder returns an L3Message: the payload
# after the 12-byte log item header, a description, and the message code the
# decoder must derive, worked out from how the message was built.

class L3Message:
    """One layer-3 log item.

    name is what the standard calls the message as sent, or None for a record
    that is no standard message (a header without a message, a protocol type
    the code rules leave unclassified, an order without its qualifier). shown
    is the name a decoder that sees only the message code can give: the
    standard's name, a generic "Order (sub-code 0x..)" where one sub-code
    stands for several orders, or None where the code names nothing.
    """

    def __init__(self, log_code, payload, name, expected_code, length_error=0, *,
                 shown=None, note=""):
        self.log_code = log_code
        self.payload = payload
        self.name = name
        self.shown = shown if shown is not None else name
        self.note = note
        self.expected_code = expected_code
        self.length_error = length_error  # added to the length word; nonzero makes it wrong

    @property
    def label(self):
        """The description --table prints."""
        text = self.name or "(no standard message)"
        return f"{text}, {self.note}" if self.note else text

    def to_bytes(self, gps_ticks):
        total = 12 + len(self.payload)
        return struct.pack("<HHQ", total + self.length_error, self.log_code,
                           gps_ticks << 16) + self.payload


def with_length_octet(body):
    """Prefix the message length in octets (the length octet included)."""
    return bytes([len(body) + 1]) + body


def onex_order_message(log_code, order, ordq=None, extra=b"", *, name, shared=False,
                       address=b"", seq=0, msg_type=None, note=""):
    """An Order Message on one of the four 1x channels that carry orders.

    ordq and extra form the order-specific fields; the additional record length
    counts their octets. address is the MSID (access) or ADDRESS (paging).
    name is the order's name in the standard's order tables; shared says the
    sub-code this order gets also stands for other orders, so the message code
    alone cannot name it.
    """
    if msg_type is None:
        msg_type = ORDER_MSG_TYPE[log_code]
    specific = (bytes([ordq]) if ordq is not None else b"") + extra
    add_len = len(specific)
    w = BitWriter()
    w.put(msg_type, 8)
    if log_code == LOG_ACCESS:
        w.put(seq % 8, 3).put((seq + 1) % 8, 3).put(1, 1).put(1, 1)  # ACK_SEQ MSG_SEQ ACK_REQ VALID_ACK
        w.put(0, 3)                                                   # ACK_TYPE
        w.put(1 if address else 2, 3).put(len(address), 4).put_bytes(address)  # MSID_TYPE MSID_LEN MSID
        w.put(0, 2)                                                   # AUTH_MODE
    elif log_code == LOG_REVERSE_TRAFFIC:
        w.put(seq % 8, 3).put((seq + 3) % 8, 3).put(1, 1).put(0, 2)  # ACK_SEQ MSG_SEQ ACK_REQ ENCRYPTION
    elif log_code == LOG_PAGING:
        w.put(seq % 8, 3).put((seq + 5) % 8, 3).put(1, 1).put(0, 1)  # ACK_SEQ MSG_SEQ ACK_REQ VALID_ACK
        w.put(1 if address else 0, 3).put(len(address), 4).put_bytes(address)  # ADDR_TYPE ADDR_LEN ADDRESS
    elif log_code == LOG_FORWARD_TRAFFIC:
        w.put(seq % 8, 3).put((seq + 2) % 8, 3).put(1, 1).put(0, 2)  # ACK_SEQ MSG_SEQ ACK_REQ ENCRYPTION
        w.put(0, 1).put(0, 6)                                         # USE_TIME ACTION_TIME
    else:
        raise ValueError(f"log code {log_code:#x} carries no orders")
    w.put(order, 6).put(add_len, 3).put_bytes(specific)
    payload = with_length_octet(w.to_bytes())

    t = msg_type & 0x3F if log_code == LOG_ACCESS else msg_type
    subcode = 0
    if t == ORDER_MSG_TYPE[log_code]:
        subcode = order_subcode(log_code, order, add_len, lambda: ordq if ordq is not None else 0)
    shown = f"Order (sub-code 0x{subcode:02X})" if shared else name
    if ordq is not None:
        note = f"ORDQ {ordq:#04x}" + (f", {note}" if note else "")
    return L3Message(log_code, payload, name, code(log_code, t, subcode), shown=shown, note=note)


def onex_message(log_code, msg_type, fields, name, *, seq=0, esn=b"", note=""):
    """A 1x message other than an order: its header for the channel, then fields,
    a list of (width, value) pairs."""
    w = BitWriter()
    w.put(msg_type, 8)
    if log_code == LOG_ACCESS:
        w.put(seq % 8, 3).put((seq + 1) % 8, 3).put(1, 1).put(0, 1).put(0, 3)
        w.put(1, 3).put(len(esn), 4).put_bytes(esn).put(0, 2)
    elif log_code in (LOG_REVERSE_TRAFFIC, LOG_FORWARD_TRAFFIC):
        w.put(seq % 8, 3).put((seq + 4) % 8, 3).put(1, 1).put(0, 2)
    for width, value in fields:
        w.put(value, width)
    payload = with_length_octet(w.to_bytes())
    t = msg_type & 0x3F if log_code == LOG_ACCESS else msg_type
    return L3Message(log_code, payload, name, code(log_code, t, 0), note=note)


def hdr_message(log_code, protocol_type, message_id, body=b"", *, name, subtype=0, flag=0,
                sector_pn=0, channel=0, seq=0, note=""):
    """An EV-DO signalling log item: an 11-byte record header (channel, sector,
    frequency, band, stream, the protocol subtype in the top three bits of
    P[7], sequence, length), then the protocol type, the MessageID and the
    body. flag sets the top bit of the protocol type octet, which the code
    rules ignore."""
    message = bytes([protocol_type | flag, message_id]) + body
    header = struct.pack("<BHHBB", channel, sector_pn, 75, 0, 1)
    header += bytes([subtype << 5]) + struct.pack("<HB", seq & 0xFFFF, len(message))
    low = hdr_low_half(protocol_type, subtype, message_id)
    return L3Message(log_code, header + message, name, (log_code << 16) | low, note=note)


def hdr_header_only(log_code, *, sector_pn=0, seq=0):
    """A 23-byte log item: the record header without a message. The decoder
    gives such items the bare log code."""
    header = struct.pack("<BHHBB", 0, sector_pn, 75, 0, 1) + bytes([0]) + struct.pack("<HB", seq, 0)
    return L3Message(log_code, header, None, log_code << 16, note="header-only record")


# --------------------------------------------------------------------------
# Reference decoding of finished lines, used for the expected counts.

C_WHITESPACE = " \t\n\v\f\r"


def c_sign(text):
    """Skips C white space and an optional sign: (sign, index of the digits)."""
    i, n = 0, len(text)
    while i < n and text[i] in C_WHITESPACE:
        i += 1
    sign = 1
    if i < n and text[i] in "+-":
        sign = -1 if text[i] == "-" else 1
        i += 1
    return sign, i


def c_strtol16(text):
    """strtol(text, NULL, 16) clamped to 32 bits, for ASCII text."""
    sign, i = c_sign(text)
    n = len(text)
    if text[i:i + 2] in ("0x", "0X") and i + 2 < n and text[i + 2] in "0123456789abcdefABCDEF":
        i += 2
    value = 0
    while i < n and text[i] in "0123456789abcdefABCDEF":
        value = value * 16 + int(text[i], 16)
        i += 1
    return max(-2**31, min(2**31 - 1, sign * value))


def c_atoi(text):
    sign, i = c_sign(text)
    n = len(text)
    value = 0
    while i < n and text[i].isdigit() and text[i].isascii():
        value = value * 10 + int(text[i])
        i += 1
    return sign * value


def tab_fields(text):
    """Fields split at TABs; a trailing TAB ends the line without an empty field."""
    if not text:
        return []
    fields = text.split("\t")
    if text.endswith("\t"):
        fields.pop()
    return fields


def hex_to_bytes(field):
    """Message bytes of a CL3 field: each pair of characters read as one hex
    number; a last unpaired character is dropped."""
    return bytes(c_strtol16(field[i:i + 2]) & 0xFF for i in range(0, len(field) - 1, 2))


def decode_order_subcode(log_code, payload):
    reader = BitReader(payload)
    if log_code == LOG_ACCESS:
        for width in (8, 8, 8, 3, 3):
            reader.read(width)
        reader.read(reader.read(4) * 8)
        reader.read(2)
    elif log_code == LOG_REVERSE_TRAFFIC:
        for width in (8, 8, 3, 3, 1, 2):
            reader.read(width)
    elif log_code == LOG_PAGING:
        for width in (8, 8, 8, 3):
            reader.read(width)
        reader.read(reader.read(4) * 8)
    else:
        for width in (8, 8, 8, 8):
            reader.read(width)
    order = reader.read(6)
    add_len = reader.read(3)
    return order_subcode(log_code, order, add_len, lambda: reader.read(8))


def l3_record_code(record, module_type=MODULE_TYPE):
    """Message code of a layer-3 raw record (0x10 0x00, length copy, message)."""
    def byte(i):
        return record[i] if i < len(record) else 0

    if byte(0) != 0x10:
        return 0
    log_code = byte(6) | byte(7) << 8
    payload = record[16:]

    def p(i):
        return byte(16 + i)

    if log_code in ORDER_MSG_TYPE or log_code == LOG_SYNC:
        t = p(1) & 0x3F if log_code == LOG_ACCESS else p(1)
        subcode = 0
        if log_code in ORDER_MSG_TYPE and t == ORDER_MSG_TYPE[log_code]:
            subcode = decode_order_subcode(log_code, payload)
        return code(log_code, t, subcode)
    if log_code in HDR_LOG_CODES:
        if (byte(4) | byte(5) << 8) == 23:
            return log_code << 16
        return (log_code << 16) | hdr_low_half(p(11), p(7) >> 5, p(12))
    return (module_type << 16) | log_code


def cl3_line_code(fields):
    """Message code of a CL3 line, or None when it yields no item."""
    message_field = fields[3] if len(fields) > 3 else ""
    if not message_field:
        return 0  # the record is the raw line, which does not start with 0x10
    msg = hex_to_bytes(message_field)
    category = c_atoi(fields[2]) if fields[2] else -1
    if len(msg) < 4:
        return None
    log_code = msg[2] | msg[3] << 8
    length_word = struct.unpack("<h", msg[0:2])[0]
    if CATEGORY.get(log_code, -1) != category or length_word != len(msg):
        return None
    return l3_record_code(bytes([0x10, 0]) + msg[0:2] + msg)


def expected_items(data, module_type=MODULE_TYPE):
    """Replays the decoder's line rules over a finished log: (line count, {code: items})."""
    counts = {}
    event_column = None
    event_value = 0
    lines = data.split(b"\n")
    assert lines[-1] == b"", "the log must end with a newline"
    lines.pop()
    for raw_line in lines:
        assert len(raw_line) + 1 <= MAX_LINE_BYTES
        # A CR directly before the newline belongs to the line end.
        if raw_line.endswith(b"\r"):
            raw_line = raw_line[:-1]
        words = raw_line.split()  # bytes.split() splits at exactly the C white space
        if not words:
            continue
        token = words[0].decode("ascii")
        text = raw_line.decode("ascii")
        if token == "RegReport":
            if len(words) > 1 and words[1] == b"EVT":
                names = [f for f in tab_fields(text) if f not in ("RegReport", "EVT")]
                event_column = names.index("Event") if "Event" in names else None
            continue
        if token == "FileInfo":
            continue
        if token in RECORD_CODES:
            line_code = (module_type << 16) | RECORD_CODES[token]
        elif token == "EVT":
            values = [f for f in tab_fields(text) if f != "EVT"]
            if event_column is not None and event_column < len(values) and values[event_column]:
                event_value = c_strtol16(values[event_column])
            line_code = EVENT_CODE_BASE | (event_value & 0xFFFF)
        elif token == "CL3":
            line_code = cl3_line_code(tab_fields(text))
        elif token in NO_ITEM_TOKENS:
            line_code = None
        else:
            line_code = None  # a token no decoder knows
        if line_code is not None:
            counts[line_code] = counts.get(line_code, 0) + 1
    return len(lines), counts


# --------------------------------------------------------------------------
# Writing lines.

class LogWriter:
    """Collects log lines and what the generator means each of them to yield."""

    def __init__(self):
        self.lines = []
        self.crlf = False
        self.intended = {}
        self.cl3_table = {}  # (channel, name, code) -> count, for --table
        self.cl3_names = []  # (line number, name the code should show) of each CL3 item

    def _count(self, line_code):
        if line_code is not None:
            self.intended[line_code] = self.intended.get(line_code, 0) + 1

    def raw(self, text, line_code=None):
        """One line exactly as given, with the current line end."""
        self.lines.append(text + ("\r\n" if self.crlf else "\n"))
        self._count(line_code)

    def fields(self, *values, line_code=None):
        self.raw("\t".join(str(v) for v in values), line_code)

    def record(self, token, values):
        """A data line of a column record; values follow the declared columns."""
        assert len(values) == len(COLUMNS[token]), token
        if token == "EVT":
            line_code = EVENT_CODE_BASE | (c_strtol16(values[0]) & 0xFFFF)
        else:
            line_code = (MODULE_TYPE << 16) | RECORD_CODES[token]
        self.fields(token, *values, line_code=line_code)

    def cl3(self, message, gps_ticks, *, category=None):
        """A CL3 line; a category other than the log code's makes it a rejected line."""
        hex_digits = message.to_bytes(gps_ticks).hex()
        # The capture tool that writes CRLF line ends also writes lower-case hex.
        hex_digits = hex_digits if self.crlf else hex_digits.upper()
        good_category = CATEGORY[message.log_code]
        if category is None:
            category = good_category
        accepted = category == good_category and message.length_error == 0
        line_code = message.expected_code if accepted else None
        self.fields("CL3", CHANNEL_NAME[message.log_code], category, hex_digits,
                    line_code=line_code)
        if accepted:
            self.cl3_names.append((len(self.lines), message.shown))
        name = message.label
        if message.length_error:
            name += f" (length word {message.length_error:+d})"
        if category != good_category:
            name += f" (filed under category {category})"
        self.note_cl3(CHANNEL_NAME[message.log_code], name, line_code)

    def note_cl3(self, channel, name, line_code):
        key = (channel, name, f"{line_code:#010x}" if line_code is not None else "no item")
        self.cl3_table[key] = self.cl3_table.get(key, 0) + 1

    def to_bytes(self):
        return "".join(self.lines).encode("ascii")


# --------------------------------------------------------------------------
# The radio environment along the route.

class Walk:
    """A bounded random walk pulled toward a target that the caller may move."""

    def __init__(self, rng, value, low, high, step, pull=0.15):
        self.rng, self.value, self.low, self.high = rng, value, low, high
        self.step_size, self.pull = step, pull

    def step(self, target=None):
        if target is None:
            target = self.value
        noise = (self.rng.random() + self.rng.random() - 1.0) * self.step_size
        self.value += noise + (target - self.value) * self.pull
        self.value = min(self.high, max(self.low, self.value))
        return self.value


# Route waypoints (latitude, longitude): an arterial road through a city at
# about 30.27 N, where one degree of longitude spans about 96.2 km.
ROUTE = [(30.27410, 120.15510), (30.27415, 120.16930), (30.28120, 120.17710),
         (30.29350, 120.17760), (30.30040, 120.18990), (30.29980, 120.20480),
         (30.28650, 120.21020), (30.27410, 120.20150), (30.27410, 120.15510)]
METERS_PER_DEGREE_LAT = 111_320.0
METERS_PER_DEGREE_LON = 96_180.0

# Pilot PNs of the sectors passed on the way, in order (offsets of 12).
SECTOR_PNS = [168, 240, 36, 312, 96, 420, 264, 480, 132, 372]

# The 1x system the cells belong to, and each cell's BASE_ID (one sector per
# site; the site of sector k broadcasts BASE_ID_FIRST + k).
SYSTEM_ID, NETWORK_ID, BASE_ID_FIRST = 13824, 1, 0x2C10
CDMA_CHANNEL, EVDO_CHANNEL, MOBILE_COUNTRY_CODE = 283, 75, 460

# A site stands this far ahead along the road from where the handset first
# hears it as the serving sector, and this far to the side (degrees).
SITE_AHEAD_METERS = 260.0
SITE_SIDE_DEGREES = (0.0011, -0.0009)


def route_point(distance, start, end, length):
    """The point `distance` meters from `start` on the leg to `end`."""
    f = distance / length if length else 0.0
    return start[0] + (end[0] - start[0]) * f, start[1] + (end[1] - start[1]) * f


def point_along_route(distance):
    """(latitude, longitude) `distance` meters along the looped route."""
    legs = []
    for start, end in zip(ROUTE, ROUTE[1:]):
        dy = (end[0] - start[0]) * METERS_PER_DEGREE_LAT
        dx = (end[1] - start[1]) * METERS_PER_DEGREE_LON
        legs.append((start, end, (dx * dx + dy * dy) ** 0.5))
    loop = sum(length for _, _, length in legs)
    remaining = distance % loop
    for start, end, length in legs:
        if remaining <= length:
            return route_point(remaining, start, end, length)
        remaining -= length
    return ROUTE[-1]


def quarter_seconds(degrees, width):
    """A position in the standard's signed 0.25-second units, as `width` bits."""
    value = int(round(degrees * 14400))
    return value & ((1 << width) - 1)

# EV-DO data rate requested for rising SINR (kbit/s).
DRC_RATES = [38.4, 76.8, 153.6, 307.2, 614.4, 921.6, 1228.8, 1843.2, 2457.6, 3072.0]

# One drive cycle: phases and their lengths in seconds. Longer logs repeat it.
PHASES = [("idle", 45), ("voice", 95), ("idle", 25), ("do_setup", 3), ("do_connected", 110),
          ("do_dormant", 30), ("do_inactive", 35), ("data_1x", 45), ("idle", 32)]
CYCLE_SECONDS = sum(length for _, length in PHASES)

# Seconds of the cycle written with CRLF line ends (a log pieced together from
# two capture tools; the second one declares its record layouts again).
CRLF_SECONDS = range(100, 130)


def origination_fields(service_option, digits, *, data):
    """An Origination Message from a P_REV 6 handset: the service option as a
    special service, the dialled digits as DTMF codes, then its channel
    capabilities (fundamental channel, radio configurations 3 and 4)."""
    fields = [(1, 0), (3, 1), (8, 6), (8, 0xEA), (3, 1), (1, 1), (16, service_option),
              (1, 0), (1, 0), (1, 0), (8, len(digits))] + [(4, d) for d in digits]
    # NAR_AN_CAP, PACA_REORIG, RETURN_CAUSE, MORE_RECORDS, PACA_SUPPORTED, NUM_ALT_SO
    fields += [(1, 0), (1, 0), (4, 0), (1, 0), (1, 0), (3, 0)]
    # DRS, UZID_INCL, CH_IND, SR_ID, OTD_SUPPORTED, QPCH_SUPPORTED, ENHANCED_RC,
    # FOR_RC_PREF, REV_RC_PREF
    fields += [(1, 1 if data else 0), (1, 0), (2, 1), (3, 1), (1, 0), (1, 1), (1, 1),
               (5, 3), (5, 3)]
    # FCH_SUPPORTED, FCH_FRAME_SIZE, FOR_FCH_LEN and its RC map, REV_FCH_LEN and
    # its RC map, DCCH_SUPPORTED, GEO_LOC_INCL, REV_FCH_GATING_REQ
    fields += [(1, 1), (1, 0), (3, 2), (6, 0b000011), (3, 2), (6, 0b000011), (1, 0), (1, 0),
               (1, 0)]
    return fields


def extended_channel_assignment_fields(esn, active_set, code_channels, frame_offset):
    """An Extended Channel Assignment Message to the handset's ESN: a traffic
    channel (ASSIGN_MODE '000') on the 1x carrier with the pilots of
    `active_set` and their Walsh codes."""
    fields = [(3, 1), (3, 1), (1, 1), (1, 0), (3, 1), (4, len(esn)),
              (8 * len(esn), int.from_bytes(esn, "big"))]
    fields += [(1, 0), (3, 0), (3, 0)]  # RESERVED_1, ADD_RECORD_LEN, ASSIGN_MODE
    # FREQ_INCL, DEFAULT_CONFIG, BYPASS_ALERT_ANSWER, RESERVED, NUM_PILOTS,
    # GRANTED_MODE, FRAME_OFFSET, ENCRYPT_MODE, BAND_CLASS, CDMA_FREQ
    fields += [(1, 1), (3, 0), (1, 0), (1, 0), (3, len(active_set) - 1), (2, 0),
               (4, frame_offset), (2, 0), (5, 0), (11, CDMA_CHANNEL)]
    for pn, walsh in zip(active_set, code_channels):
        fields += [(9, pn), (1, 0), (8, walsh)]
    return fields


def universal_handoff_direction_fields(hdm_seq, active_set, code_channels):
    """A Universal Handoff Direction Message that sets the active set: no new
    search or channel parameters, a fundamental channel (CH_IND '101') on
    each pilot of `active_set`, then the reverse channel's fields."""
    fields = [(1, 0), (2, hdm_seq), (1, 0), (1, 0), (1, 0)]  # USE_TIME .. EXTRA_PARMS_INCL
    fields += [(1, 0), (1, 0), (1, 0), (5, 3), (1, 0)]     # power step .. USE_PC_TIME
    record = BitWriter()
    record.put(len(active_set), 3).put(0, 1)  # NUM_PILOTS, SRCH_OFFSET_INCL
    for pn, walsh in zip(active_set, code_channels):
        # PILOT_PN, ADD_PILOT_REC_INCL, PWR_COMB_IND, CODE_CHAN_FCH, QOF_MASK_ID_FCH
        record.put(pn, 9).put(0, 1).put(0, 1).put(walsh, 11).put(0, 2)
    record.put(0, 1).put(0, 1)  # 3X_FCH_INFO_INCL, CCSH_INCLUDED
    octets = record.to_bytes()
    fields += [(3, 0b101), (8, len(octets))] + [(8, b) for b in octets]
    fields += [(1, 0), (1, 0)]  # REV_FCH_GATING_MODE, 3XFL_1XRL_INCL
    return fields


def bits_to_bytes(fields):
    """(width, value) pairs packed into octets, the last one padded."""
    w = BitWriter()
    for width, value in fields:
        w.put(value, width)
    return w.to_bytes()


def sector_id(sector):
    """The 128-bit SectorID of a sector: the operator's prefix and the site."""
    return (0x0A1C_0460 << 96) | (BASE_ID_FIRST + sector)


def evdo_quick_config(sector):
    # ColorCode, SectorID24, SectorSignature, AccessSignature, Redirect,
    # RPCCount and one ForwardTrafficValid bit per RPC
    return bits_to_bytes([(8, 0x2C), (24, sector_id(sector) & 0xFFFFFF), (16, 0x0105),
                          (16, 0x0007), (1, 0), (6, 4)] + [(1, 1)] * 4)


def evdo_sector_parameters(sector, site, neighbours):
    """A SectorParameters message: the sector's identity and position, its one
    carrier, and its neighbours on the same carrier."""
    lat, lon = site
    fields = [(12, MOBILE_COUNTRY_CODE), (128, sector_id(sector)), (8, 104), (16, 0x0105),
              (22, quarter_seconds(lat, 22)), (23, quarter_seconds(lon, 23)), (11, 0),
              (8, GPS_LEAP_SECONDS), (11, 480), (2, 0), (2, 0),
              (5, 1), (8, 0), (5, 0), (11, EVDO_CHANNEL), (5, len(neighbours))]
    fields += [(9, pn) for pn in neighbours]
    fields += [(1, 0)] * len(neighbours)  # NeighborChannelIncluded: the same carrier
    return bits_to_bytes(fields)


def evdo_sync(pn, gps_ms):
    # MaximumRevision, MinimumRevision, PilotPN, SystemTime (26.666 ms units)
    return bits_to_bytes([(8, 1), (8, 1), (9, pn), (37, gps_ms * 3 // 80)])


def evdo_access_parameters():
    # AccessCycleDuration, AccessSignature, OpenLoopAdjust, ProbeInitialAdjust,
    # ProbeNumStep, PowerStep, PreambleLength, CapsuleLengthMax, APersistence 0-3
    return bits_to_bytes([(8, 16), (16, 0x0007), (8, 85), (5, 1), (4, 5), (4, 6), (3, 2),
                          (4, 2), (6, 0), (6, 0), (6, 0), (6, 0)])


def evdo_route_update(sequence, pilots):
    """A RouteUpdate: the reference pilot, then the others with their PN phase
    (PN times 64), strengths in -0.5 dB units."""
    (ref_pn, ref_strength), others = pilots[0], pilots[1:]
    fields = [(8, sequence & 0xFF), (9, ref_pn), (6, ref_strength), (1, 1), (4, len(others))]
    for pn, strength in others:
        fields += [(15, pn * 64), (1, 0), (6, strength), (1, 1 if strength < 28 else 0)]
    return bits_to_bytes(fields)


def evdo_traffic_channel_assignment(sequence, pilots):
    """A TrafficChannelAssignment on the EV-DO carrier: each pilot with its
    MAC index and DRC cover."""
    fields = [(8, sequence & 0xFF), (1, 1), (8, 0), (5, 0), (11, EVDO_CHANNEL), (4, 2), (2, 1),
              (6, 0), (6, 4), (4, len(pilots))]
    for k, pn in enumerate(pilots):
        fields += [(9, pn), (1, 0), (6, 5 + pn % 59), (3, k + 1), (2, 1), (3, k)]
    return bits_to_bytes(fields)


def walsh_code(pn):
    """The forward fundamental channel's Walsh code a site gives the call."""
    return 8 + pn % 40


class Drive:
    def __init__(self, seed):
        self.rng = random.Random(seed)
        rng = self.rng
        self.out = LogWriter()
        self.coverage = Walk(rng, -74.0, -97.0, -63.0, 2.2, pull=0.01)
        self.rxagc = Walk(rng, -74.0, -100.0, -60.0, 1.8, pull=0.3)
        self.ecio = Walk(rng, -6.0, -20.0, 0.0, 0.9)
        self.closed_loop = Walk(rng, 0.0, -12.0, 12.0, 1.2)
        self.sinr = Walk(rng, 6.0, -9.0, 12.5, 1.1)
        self.fer = Walk(rng, 1.0, 0.0, 12.0, 0.6)
        self.rlp_1x = Walk(rng, 0.0, 0.0, 153.6, 9.0)
        self.rlp_do = Walk(rng, 0.0, 0.0, 3072.0, 140.0)
        self.speed = Walk(rng, 38.0, 0.0, 65.0, 3.0)  # km/h
        self.route_pos = 0.0  # meters along ROUTE
        self.sector = 0
        self.next_handoff = 35
        self.active_set = [SECTOR_PNS[0]]
        self.sites = {}  # sector index -> (latitude, longitude) of its site
        self.seq = 0
        self.hdr_seq = 0
        self.probe_seq = 0
        self.esn = bytes.fromhex("9F3A21C4")
        self.last_do_state = None  # EV-DO states last written; CEVS is written on change
        self.hybrid = 1
        self.drc_rate = 0.0
        self.gps_named = False  # GPS lines by the registered names (after the first registration of them)
        self.second = 0

    # ---- helpers

    def next_seq(self):
        self.seq = (self.seq + 1) % 8
        return self.seq

    def next_hdr_seq(self):
        self.hdr_seq = (self.hdr_seq + 1) & 0xFFFF
        return self.hdr_seq

    def gps_ticks(self, when, ms):
        utc = when - UTC_OFFSET
        elapsed = utc - GPS_EPOCH
        gps_ms = (elapsed.days * 86400 + elapsed.seconds + GPS_LEAP_SECONDS) * 1000 + ms
        return gps_ms * 4 // 5  # 1.25 ms units

    @property
    def ref_pn(self):
        return SECTOR_PNS[self.sector % len(SECTOR_PNS)]

    def site(self, sector=None):
        """Where the site of a sector stands: ahead of where the handset first
        hears it serve, beside the road. Fixed once placed."""
        k = (self.sector if sector is None else sector) % len(SECTOR_PNS)
        if k not in self.sites:
            lat, lon = point_along_route(self.route_pos + SITE_AHEAD_METERS)
            self.sites[k] = (lat + SITE_SIDE_DEGREES[0], lon + SITE_SIDE_DEGREES[1])
        return self.sites[k]

    def neighbour_pns(self, count):
        """The PNs of the next sectors along the road and the previous one."""
        n = len(SECTOR_PNS)
        ahead = [SECTOR_PNS[(self.sector + k) % n] for k in range(1, count)]
        return ahead + [SECTOR_PNS[(self.sector - 1) % n]]

    def base_id(self):
        return BASE_ID_FIRST + self.sector

    # ---- file header and registrations

    def write_header(self):
        out = self.out
        out.fields("FileInfo", "Tool", "wendrake sample")
        out.fields("FileInfo", "Phone", "WX-200 hybrid 1x/EV-DO Rev. A handset")
        out.fields("FileInfo", "Firmware", "WX200_M6085_1.0.42 (2011-08-30)")
        out.fields("FileInfo", "Date", START_TIME.strftime("%Y-%m-%d %H:%M:%S"))
        out.fields("FileInfo", "Route", "city loop, about 12 km")
        self.write_registrations()

    def write_registrations(self):
        for token, names in COLUMNS.items():
            self.out.fields("RegReport", token, *names)
        if self.gps_named:
            self.out.fields("RegReport", "GPS", *GPS_NAMED_COLUMNS)

    def write_clock(self, when, ms, first):
        out = self.out
        previous = when - datetime.timedelta(seconds=1)
        if first or when.date() != previous.date():
            out.fields("DAY", when.year, when.month, when.day)
        if first or when.hour != previous.hour:
            out.fields("HOUR", when.hour)
        if first or when.minute != previous.minute:
            out.fields("MIN", when.minute)
        out.fields("SEC", when.second, ms)

    # ---- per-second records

    def write_gps(self):
        speed = self.speed.step(40.0)
        self.route_pos += speed / 3.6
        remaining = self.route_pos
        while True:
            for (lat0, lon0), (lat1, lon1) in zip(ROUTE, ROUTE[1:]):
                dy = (lat1 - lat0) * METERS_PER_DEGREE_LAT
                dx = (lon1 - lon0) * METERS_PER_DEGREE_LON
                length = (dx * dx + dy * dy) ** 0.5
                if remaining <= length:
                    lat, lon = route_point(remaining, (lat0, lon0), (lat1, lon1), length)
                    heading = self._heading(dx, dy)
                    fix = {"Lat": f"{lat:.6f}", "Lon": f"{lon:.6f}",
                           "Alt": f"{12 + self.rng.random() * 3:.1f}", "Speed": f"{speed:.1f}",
                           "Heading": heading, "Sats": 8 + self.rng.randrange(4)}
                    self.write_fix(fix)
                    bad = BAD_FIXES.get(self.second)
                    if bad:
                        # No random numbers here: the rest of the drive stays as it was.
                        wrong = dict(fix)
                        if bad == "out of range":
                            wrong["Lat"] = "95.000000"
                        elif bad == "zero":
                            wrong["Lat"], wrong["Lon"] = "0.000000", "0.000000"
                        elif bad == "no longitude":
                            wrong["Lon"] = ""
                        else:  # 0.3 degrees (33 km) away a second later
                            wrong["Lat"] = f"{lat + 0.3:.6f}"
                        self.write_fix(wrong)
                    return
                remaining -= length
            self.route_pos = remaining  # back at the start of the loop

    def write_fix(self, fix):
        order = GPS_NAMED_COLUMNS if self.gps_named else ["Lat", "Lon", "Alt", "Speed", "Heading", "Sats"]
        self.out.fields("GPS", *(fix[name] for name in order))

    @staticmethod
    def _heading(dx, dy):
        # Compass octant is enough for a sample; avoids trigonometry.
        if abs(dx) > 2 * abs(dy):
            return 90 if dx > 0 else 270
        if abs(dy) > 2 * abs(dx):
            return 0 if dy > 0 else 180
        if dx > 0:
            return 45 if dy > 0 else 135
        return 315 if dy > 0 else 225

    def write_dm(self, phase):
        rng = self.rng
        # Path loss drifts slowly as the car moves between sites; the fast
        # walk around it is fading.
        coverage = self.coverage.step(-80.0)
        rx = self.rxagc.step(coverage)
        weakness = (-63.0 - coverage) / 34.0  # 0 close to a site, 1 at the cell edge
        ecio = self.ecio.step(-3.5 - 11.0 * weakness + (1.5 if len(self.active_set) > 1 else 0.0))
        in_1x_traffic = phase in ("voice", "data_1x")
        transmitting = in_1x_traffic or phase == "do_connected"
        open_loop = -76.0 - rx
        if transmitting:
            adj = self.closed_loop.step(-1.0 - 4.0 * weakness)
            tx = min(23.0, max(-40.0, open_loop + adj))
        else:
            adj, tx = 0.0, -40.0
        if in_1x_traffic:
            fer = self.fer.step(0.5 + 4.0 * weakness)
            fber = fer * 0.4
            handoff_state = 1 if len(self.active_set) > 1 else 0
        else:
            fer, fber, handoff_state = 0.0, 0.0, 0
        # The strongest pilot carries all of the energy with one pilot in the
        # active set, less with two; the reference pilot is at most as strong.
        max_ecio = ecio if len(self.active_set) == 1 else ecio - 1.5 - rng.random()
        ref_ecio = max_ecio - rng.random() * 1.0
        do_values = ["", "", "", "", "", "", ""]
        if self.hybrid:
            sinr = self.sinr.step(11.0 - 16.0 * weakness)
            ci = sinr - 0.5 - rng.random()
            rate = DRC_RATES[max(0, min(len(DRC_RATES) - 1, int((sinr + 9.0) / 2.2)))]
            self.drc_rate = rate
            connected = phase == "do_connected"
            do_values = [f"{rx + rng.random() * 2 - 1:.2f}", f"{rx + rng.random() * 4 - 3:.2f}",
                         f"{ci:.2f}", f"{sinr:.2f}",
                         1 + self.sector % 6 if connected else 0,
                         f"{rate:.1f}" if connected else "0.0",
                         f"{tx - 9.0:.2f}" if connected else "-40.00"]
        self.out.record("DM", [
            f"{rx:.2f}", f"{tx:.2f}", f"{adj:.1f}", f"{ecio:.1f}", f"{rx + ecio:.2f}",
            f"{ref_ecio:.2f}", f"{rx + ref_ecio:.2f}", f"{max_ecio:.2f}", f"{rx + max_ecio:.2f}",
            f"{fber:.2f}", f"{fer:.2f}", len(self.active_set), handoff_state,
            2 + rng.randrange(4)] + do_values)

    def write_sc(self):
        self.out.record("SC", [0, 283, self.ref_pn, 13824, 1, 0x2C10 + self.sector, 6,
                               75 if self.hybrid else "", self.ref_pn if self.hybrid else "",
                               1 if self.hybrid else ""])

    def write_pcp(self, phase):
        rx = self.rxagc.value
        open_loop = -76.0 - rx
        adj = self.closed_loop.value if phase in ("voice", "data_1x") else 0.0
        self.out.record("PCP", [f"{open_loop:.2f}", f"{adj:.2f}", "1.0",
                                800 if phase in ("voice", "data_1x") else 0])

    def write_quality(self, phase):
        rng = self.rng
        # Without a traffic channel nothing flows: the rates drop to zero and
        # ramp up again from there when the next connection opens.
        if phase == "data_1x":
            rlp_1x = self.rlp_1x.step(120.0)
        else:
            rlp_1x = self.rlp_1x.value = 0.0
        if phase == "do_connected":
            rlp_do = self.rlp_do.step(0.85 * self.drc_rate)
        else:
            rlp_do = self.rlp_do.value = 0.0
        tx_1x = rlp_1x * 0.08
        tx_do = min(rlp_do * 0.06, 1843.2)
        busy_1x, busy_do = rlp_1x > 0, rlp_do > 0
        self.out.record("C1XQI", [
            f"{rlp_1x:.1f}", f"{tx_1x:.1f}", f"{rng.random() * 1.5:.2f}" if busy_1x else "0.00",
            f"{rng.random() * 2.0:.2f}" if busy_1x else "0.00",
            f"{rlp_1x * 1.04:.1f}", f"{tx_1x * 1.05:.1f}",
            "153.6" if phase == "data_1x" else "0.0",
            f"{rlp_do:.1f}", f"{tx_do:.1f}",
            f"{rng.random() * 0.3:.2f}" if busy_do else "0.00",
            f"{rng.random() * 0.8:.2f}" if busy_do else "0.00",
            f"{rng.random() * 1.2:.2f}" if busy_do else "0.00",
            f"{rlp_do * 1.03:.1f}", f"{rng.random() * 1.0:.2f}" if busy_do else "0.00",
            f"{tx_do * 1.04:.1f}", f"{rng.random() * 1.5:.2f}" if busy_do else "0.00"])

    def write_cevs(self, session, at, almp, init, idle, overhead, connected, route_update):
        self.out.record("CEVS", [session, at, almp, init, idle, overhead, connected,
                                 route_update, self.hybrid])

    def write_event(self, name, payload=""):
        value = EVENTS[name]
        text = f"{value:04X}" if value < 0x10000 else f"{value:X}"
        if name == "HANDOFF_COMPLETE":
            text = "0x" + text  # one capture tool prefixes its hex values
        self.out.record("EVT", [text, name, payload])

    def write_hop(self, pn, ecio, set_type):
        self.out.record("HOP", [pn, f"{ecio:.1f}", 60, set_type])

    def write_psm(self):
        pns = SECTOR_PNS[(self.sector + 1) % len(SECTOR_PNS)], SECTOR_PNS[(self.sector + 2) % len(SECTOR_PNS)]
        self.out.record("PSM", [self.ref_pn, f"{self.ecio.value:.1f}", 3,
                                pns[0], f"{self.ecio.value - 4 - self.rng.random() * 4:.1f}",
                                pns[1], f"{self.ecio.value - 8 - self.rng.random() * 5:.1f}"])

    def write_asfi(self):
        fingers = 2 + self.rng.randrange(4)
        self.out.record("ASFI", [self.ref_pn, fingers, fingers - self.rng.randrange(2),
                                 f"{self.ecio.value + 0.5:.1f}"])

    def write_c1xsmi(self):
        self.out.record("C1XSMI", [0, 283, 4 + self.rng.randrange(6), self.ref_pn,
                                   f"{self.ecio.value:.1f}", 60])

    def write_access_probes(self, count):
        open_loop = -76.0 - self.rxagc.value
        self.probe_seq += 1
        for probe in range(1, count + 1):
            result = "ack" if probe == count else "no_ack"
            self.out.record("AP", [self.probe_seq, probe, f"{open_loop + 3 * (probe - 1):.1f}",
                                   0, result])

    # ---- layer-3 procedures

    def cl3(self, message, when, ms, **kwargs):
        self.out.cl3(message, self.gps_ticks(when, ms), **kwargs)

    def paging_overhead(self, when, ms, which):
        """The paging channel's overhead cycle: System Parameters, Access
        Parameters, the neighbour list (plain or general by turns), and a
        General Page without pages or, by turns, the Extended CDMA Channel List."""
        pn = self.ref_pn
        lap = (self.second // 4) % 2
        if which == 0:
            lat, lon = self.site()
            msg = onex_message(LOG_PAGING, 1, [
                (9, pn), (6, 3), (15, SYSTEM_ID), (16, NETWORK_ID), (12, 0x2C), (3, 1), (3, 2),
                (1, 0), (1, 0), (16, self.base_id()), (4, 1), (3, 1), (3, 1), (1, 1), (1, 1),
                (1, 1), (1, 1), (1, 1), (1, 1), (7, 58), (22, quarter_seconds(lat, 22)),
                (23, quarter_seconds(lon, 23)), (11, 0), (4, 8), (4, 10), (4, 10), (4, 0),
                (5, 0), (4, 0), (1, 0), (1, 0), (5, 0), (1, 0), (6, 28), (6, 32), (4, 5), (4, 3),
                (1, 1),
                # EXT_NGHBR_LIST, GEN_NGHBR_LIST, GLOBAL_REDIRECT, PRI_NGHBR_LIST,
                # USER_ZONE_ID, EXT_GLOBAL_REDIRECT, EXT_CHAN_LIST
                (1, 0), (1, 1), (1, 0), (1, 0), (1, 0), (1, 0), (1, 1)],
                "System Parameters Message")
        elif which == 1:
            # ACC_CHAN, NOM_PWR, INIT_PWR, PWR_STEP, NUM_STEP, MAX_CAP_SZ, PAM_SZ, the
            # persistence values, probe timing and backoffs, no authentication.
            msg = onex_message(LOG_PAGING, 2, [
                (9, pn), (6, 7), (5, 0), (4, 0), (5, 0), (3, 3), (4, 4), (3, 4), (4, 3),
                (6, 0), (3, 0), (3, 0), (3, 0), (3, 0), (3, 0), (3, 0), (3, 0), (3, 0),
                (4, 0), (4, 8), (4, 3), (4, 1), (4, 2), (4, 2), (2, 0), (1, 0), (1, 0)],
                "Access Parameters Message")
        elif which == 2 and lap == 0:
            fields = [(9, pn), (6, 3), (4, 4)]
            for neighbour in self.neighbour_pns(5):
                fields += [(3, 0), (9, neighbour)]
            msg = onex_message(LOG_PAGING, 3, fields, "Neighbor List Message")
        elif which == 2:
            # Search priorities and windows, PNs, frequencies only for the
            # EV-DO carrier's neighbour on another channel; no timing.
            neighbours = self.neighbour_pns(5)
            fields = [(9, pn), (6, 3), (4, 4), (2, 3), (1, 1), (1, 1), (1, 0), (6, len(neighbours))]
            for k, neighbour in enumerate(neighbours):
                fields += [(3, 0), (9, neighbour), (2, 2 if k == 0 else 1), (4, 8), (1, 0)]
            fields += [(3, 0)]  # no analog neighbours
            msg = onex_message(LOG_PAGING, 0x16, fields, "General Neighbor List Message")
        elif lap == 0:
            fields = [(6, 3), (6, 7), (1, 1), (1, 1), (1, 1), (1, 0), (1, 1), (4, 0), (3, 0)]
            if (self.second // 8) % 3 == 0:
                # A page for another handset: IMSI class 0, IMSI_S only, for a
                # voice call (EVRC).
                fields += [(2, 0), (2, 0), (3, self.second % 8), (34, 0x1C5A3F29 + self.second),
                           (1, 1), (16, 3)]
            msg = onex_message(LOG_PAGING, 0x11, fields, "General Page Message")
        else:
            msg = onex_message(LOG_PAGING, 0x1B, [(9, pn), (6, 3), (4, 2), (11, CDMA_CHANNEL),
                                                  (11, 242)],
                               "Extended CDMA Channel List Message")
        self.cl3(msg, when, ms)

    def sync_channel(self, when, ms):
        msg = onex_message(LOG_SYNC, 1, [
            (8, 6), (8, 1), (15, SYSTEM_ID), (16, NETWORK_ID), (9, self.ref_pn),
            (42, 0x2A5F0C1B3D7), (36, self.gps_ticks(when, ms) * 5 // 4 // 80), (8, 15),
            (6, 16), (1, 0), (2, 1), (11, CDMA_CHANNEL)],
            "Sync Channel Message")
        self.cl3(msg, when, ms)

    def registration(self, when, ms):
        self.write_event("REGISTRATION", "timer")
        self.write_access_probes(1)
        # REG_TYPE timer-based, SLOT_CYCLE_INDEX, MOB_P_REV 6, SCM, MOB_TERM,
        # RETURN_CAUSE, QPCH_SUPPORTED, ENHANCED_RC, UZID_INCL.
        self.cl3(onex_message(LOG_ACCESS, 1, [(4, 0), (3, 1), (8, 6), (8, 0xEA), (1, 1), (4, 0),
                                              (1, 1), (1, 1), (1, 0)],
                              "Registration Message", seq=self.next_seq(), esn=self.esn), when, ms + 20)
        self.cl3(onex_order_message(LOG_PAGING, 16, address=self.esn, seq=self.seq,
                                    name="Base Station Acknowledgment Order"), when, ms + 90)
        # Registration accepted: ORDQ 0, or ORDQ 5 with the roaming indication.
        # Both share the sub-code of every registration order but the request
        # and the rejection.
        roaming = self.rng.randrange(2)
        self.cl3(onex_order_message(LOG_PAGING, 27, ordq=5 if roaming else 0,
                                    extra=bytes([1]) if roaming else b"",
                                    name="Registration Accepted Order", shared=True,
                                    address=self.esn, seq=self.next_seq()), when, ms + 140)

    def voice_setup(self, when, ms, step):
        esn, out = self.esn, self.out
        if step == 0:
            out.fields("LAB", "Voice call 1 (MO)")
            self.write_event("CALL_ORIGINATE", "SO 3")
            out.record("UI", ["Originating", 3, "1X", 0])
            self.write_access_probes(2)
            digits = [5, 5, 5, 10, 1, 2, 3, 4]  # 555 0123 as DTMF codes (10 = 0)
            fields = origination_fields(3, digits, data=False)
            self.cl3(onex_message(LOG_ACCESS, 4, fields, "Origination Message", seq=self.next_seq(),
                                  esn=esn), when, ms)
            self.cl3(onex_order_message(LOG_PAGING, 16, address=esn, seq=self.seq,
                                        name="Base Station Acknowledgment Order"), when, ms + 60)
            self.cl3(onex_message(LOG_PAGING, 0x15, extended_channel_assignment_fields(
                esn, self.active_set, [walsh_code(pn) for pn in self.active_set], 3),
                "Extended Channel Assignment Message"), when, ms + 120)
        elif step == 1:
            self.cl3(onex_order_message(LOG_FORWARD_TRAFFIC, 16, seq=self.next_seq(),
                                        name="Base Station Acknowledgment Order"), when, ms)
            self.cl3(onex_order_message(LOG_REVERSE_TRAFFIC, 16, seq=self.seq,
                                        name="Mobile Station Acknowledgment Order"), when, ms + 40)
            self.cl3(onex_message(LOG_FORWARD_TRAFFIC, 0x14, [(1, 0), (6, 0), (3, 1), (3, 1),
                                                               (16, 3), (8, 1)],
                                  "Service Connect Message", seq=self.next_seq()), when, ms + 200)
        elif step == 2:
            self.cl3(onex_message(LOG_REVERSE_TRAFFIC, 14, [(1, 0), (3, 1), (8, 0)],
                                  "Service Connect Completion Message", seq=self.next_seq()), when, ms)
            # Order 17 with its order-specific fields: the periodic request,
            # whose sub-code the plain request's variant with fields shares.
            self.cl3(onex_order_message(LOG_FORWARD_TRAFFIC, 17, extra=b"\x01", seq=self.next_seq(),
                                        name="Periodic Pilot Measurement Request Order",
                                        shared=True), when, ms + 60)
            self.cl3(onex_order_message(LOG_REVERSE_TRAFFIC, 11, ordq=1, seq=self.seq,
                                        name="Request Analog Service Order", shared=True),
                     when, ms + 90)
            self.write_event("CALL_CONNECT", "SO 3")
            out.record("UI", ["Conversation", 3, "1X", 0])

    def voice_traffic(self, when, ms, second):
        """Signalling of an established call: power reports, parameters, orders."""
        rng = self.rng
        if second % 3 == 0:
            strengths = [min(63, max(0, int(-2 * self.ecio.value + rng.randrange(3))))
                         for _ in self.active_set]
            fields = [(5, rng.randrange(3)), (10, 50), (2, 1), (4, len(strengths))]
            fields += [(6, s) for s in strengths]
            self.cl3(onex_message(LOG_REVERSE_TRAFFIC, 6, fields, "Power Measurement Report Message",
                                  seq=self.next_seq()), when, ms + 300)
        special = {
            # SRCH_WIN_A, _N, _R, T_ADD, T_DROP, T_COMP, T_TDROP, NGHBR_MAX_AGE, P_REV.
            9: lambda: onex_message(LOG_FORWARD_TRAFFIC, 7, [(4, 8), (4, 10), (4, 10), (6, 28),
                                                             (6, 32), (4, 5), (4, 3), (4, 0),
                                                             (8, 6)],
                                    "In-Traffic System Parameters Message", seq=self.next_seq()),
            14: lambda: onex_order_message(LOG_FORWARD_TRAFFIC, 18, ordq=0x20, seq=self.next_seq(),
                                           name="Maintenance Required Order"),
            19: lambda: onex_order_message(LOG_REVERSE_TRAFFIC, 23, ordq=2, seq=self.seq,
                                           name="Long Code Transition Response Order"),
            # ORDQ 0 and the 18-bit AUTHBS.
            23: lambda: onex_order_message(LOG_FORWARD_TRAFFIC, 2, ordq=0, extra=b"\x2b\x91\xc0",
                                           seq=self.next_seq(), shared=True,
                                           name="Base Station Challenge Confirmation Order"),
            # PWR_REP_THRESH, PWR_REP_FRAMES, PWR_THRESH_ENABLE, PWR_PERIOD_ENABLE, PWR_REP_DELAY.
            27: lambda: onex_message(LOG_FORWARD_TRAFFIC, 10, [(5, 2), (4, 4), (1, 1), (1, 0),
                                                               (5, 1)],
                                     "Power Control Parameters Message", seq=self.next_seq()),
            31: lambda: onex_order_message(LOG_REVERSE_TRAFFIC, 11, ordq=2, seq=self.seq,
                                           name="Request Analog Service Order", shared=True),
            37: lambda: onex_order_message(LOG_FORWARD_TRAFFIC, 18, ordq=0xFF, seq=self.next_seq(),
                                           name="Unlock Order", shared=True),
            42: lambda: onex_order_message(LOG_REVERSE_TRAFFIC, 23, ordq=3, seq=self.seq,
                                           name="Long Code Transition Response Order"),
            45: lambda: onex_order_message(LOG_FORWARD_TRAFFIC, 17, seq=self.next_seq(),
                                           name="Pilot Measurement Request Order"),
            51: lambda: onex_order_message(LOG_REVERSE_TRAFFIC, 11, seq=self.seq, shared=True,
                                           name=None, note="order 11 without its qualifier"),
            56: lambda: onex_order_message(LOG_FORWARD_TRAFFIC, 23, ordq=0, seq=self.next_seq(),
                                           name="Long Code Transition Request Order", shared=True,
                                           note="the sub-code of order 2"),
            61: lambda: onex_order_message(LOG_REVERSE_TRAFFIC, 23, ordq=0, seq=self.seq,
                                           name="Long Code Transition Request Order"),
            66: lambda: onex_order_message(LOG_REVERSE_TRAFFIC, 11, ordq=7, seq=self.seq, shared=True,
                                           name="Request Analog Service Order"),
            # The base station asks for the handset's ESN information record
            # (type 0x0C) and gets it back.
            33: lambda: onex_message(LOG_FORWARD_TRAFFIC, 0x10, [(8, 0), (3, 0), (4, 1), (8, 0x0C)],
                                     "Status Request Message", seq=self.next_seq()),
            34: lambda: onex_message(LOG_REVERSE_TRAFFIC, 0x10, [(8, 0), (3, 0), (8, 0x0C), (8, 4),
                                                                 (32, int.from_bytes(self.esn,
                                                                                     "big"))],
                                     "Status Response Message", seq=self.next_seq()),
            70: lambda: onex_message(LOG_FORWARD_TRAFFIC, 8, [(4, 4)] + [
                (9, SECTOR_PNS[(self.sector + k) % len(SECTOR_PNS)]) for k in range(1, 5)],
                "Neighbor List Update Message", seq=self.next_seq()),
        }
        if second in special:
            self.cl3(special[second](), when, ms + 500)

    def soft_handoff(self, when, ms, in_traffic):
        """The route reaches the next sector: report it, move the active set."""
        new_pn = SECTOR_PNS[(self.sector + 1) % len(SECTOR_PNS)]
        if in_traffic:
            self.write_event("HANDOFF_START", f"PN {new_pn}")
            fields = [(9, self.ref_pn), (6, 14), (1, 1), (15, new_pn * 64), (6, 18), (1, 1)]
            self.cl3(onex_message(LOG_REVERSE_TRAFFIC, 5, fields, "Pilot Strength Measurement Message",
                                  seq=self.next_seq()), when, ms + 100)
            active_set = [self.ref_pn, new_pn]
            self.cl3(onex_message(LOG_FORWARD_TRAFFIC, 0x22, universal_handoff_direction_fields(
                1, active_set, [walsh_code(pn) for pn in active_set]),
                "Universal Handoff Direction Message", seq=self.next_seq()), when, ms + 220)
            self.cl3(onex_message(LOG_REVERSE_TRAFFIC, 10, [(2, 1), (9, self.ref_pn), (9, new_pn)],
                                  "Handoff Completion Message", seq=self.next_seq()), when, ms + 400)
            self.active_set = [self.ref_pn, new_pn]
            self.write_hop(new_pn, self.ecio.value - 2.0, "Active")
            self.write_event("HANDOFF_COMPLETE", f"PN {new_pn}")
        else:
            self.write_hop(new_pn, self.ecio.value - 1.0, "Idle")
            self.active_set = [new_pn]
        self.sector += 1

    def drop_old_pilot(self, when, ms, in_traffic):
        """The previous sector fades below T_DROP: in a call the handset
        reports it and the base station directs the handoff that drops it."""
        if len(self.active_set) > 1:
            old = self.active_set.pop(0)
            self.write_hop(old, self.ecio.value - 9.0, "Dropped")
            if in_traffic:
                keep = self.active_set[0]
                # The remaining pilot as reference, the old one with KEEP 0.
                fields = [(9, keep), (6, 12), (1, 1), (15, old * 64), (6, 34), (1, 0)]
                self.cl3(onex_message(LOG_REVERSE_TRAFFIC, 5, fields,
                                      "Pilot Strength Measurement Message", seq=self.next_seq()),
                         when, ms + 100)
                self.cl3(onex_message(LOG_FORWARD_TRAFFIC, 0x22, universal_handoff_direction_fields(
                    2, [keep], [walsh_code(keep)]),
                    "Universal Handoff Direction Message", seq=self.next_seq()), when, ms + 220)
                self.cl3(onex_message(LOG_REVERSE_TRAFFIC, 10, [(2, 2), (9, keep)],
                                      "Handoff Completion Message", seq=self.next_seq()),
                         when, ms + 400)

    def voice_release(self, when, ms):
        self.write_event("CALL_RELEASE", "normal")
        self.cl3(onex_order_message(LOG_REVERSE_TRAFFIC, 21, seq=self.next_seq(),
                                    name="Release Order", ordq=0, note="mobile"), when, ms)
        self.cl3(onex_order_message(LOG_FORWARD_TRAFFIC, 21, seq=self.next_seq(),
                                    name="Release Order", ordq=0, note="base station"), when, ms + 80)
        self.out.record("UI", ["Idle", 0, "1X", 0])
        self.active_set = [self.ref_pn]
        self.out.fields("LAB", "Voice call 1 end")

    def access_orders(self, when, ms):
        """Mobile-originated orders on the access channel, with and without an
        address and an additional record."""
        self.write_access_probes(1)
        self.cl3(onex_order_message(LOG_ACCESS, 3, address=self.esn, seq=self.next_seq(),
                                    name=None, shared=True, note="order 3 without its qualifier"),
                 when, ms)
        self.cl3(onex_order_message(LOG_ACCESS, 3, ordq=0, seq=self.next_seq(), shared=True,
                                    name="SSD Update Confirmation Order", note="no MSID"),
                 when, ms + 150)
        self.cl3(onex_order_message(LOG_ACCESS, 16, msg_type=0x42, seq=self.next_seq(),
                                    name="Mobile Station Acknowledgment Order",
                                    note="type octet 0x42"), when, ms + 300)
        # ORDQ 0 and the 32-bit RANDBS.
        self.cl3(onex_order_message(LOG_ACCESS, 2, ordq=0, extra=b"\x5e\x17\xa4\x03",
                                    address=self.esn, seq=self.next_seq(),
                                    name="Base Station Challenge Order"), when, ms + 420)

    def paging_orders(self, when, ms):
        # ORDQ 0x20 and 0x10 pick the variants; ORDQ 0xFF has both bits set.
        self.cl3(onex_order_message(LOG_PAGING, 18, ordq=0x20, address=self.esn,
                                    seq=self.next_seq(), name="Maintenance Required Order"),
                 when, ms)
        self.cl3(onex_order_message(LOG_PAGING, 18, ordq=0x10, address=self.esn,
                                    seq=self.next_seq(), name="Lock Until Power-Cycled Order",
                                    shared=True), when, ms + 100)
        self.cl3(onex_order_message(LOG_PAGING, 18, ordq=0xFF, seq=self.next_seq(),
                                    name="Unlock Order", shared=True, note="no address"),
                 when, ms + 200)
        self.cl3(onex_order_message(LOG_PAGING, 27, ordq=1, address=self.esn,
                                    seq=self.next_seq(), name="Registration Request Order"),
                 when, ms + 300)
        self.cl3(onex_order_message(LOG_PAGING, 27, ordq=2, seq=self.next_seq(),
                                    name="Registration Rejected Order", note="no address"),
                 when, ms + 400)

    def hdr(self, log_code, protocol_type, message_id, body=b"", *, name, subtype=0, flag=0,
            note=""):
        return hdr_message(log_code, protocol_type, message_id, body, name=name, subtype=subtype,
                           flag=flag, sector_pn=self.ref_pn, seq=self.next_hdr_seq(), note=note)

    def hdr_overhead(self, when, ms, which):
        """The EV-DO control channel while the hybrid side monitors it."""
        if which == 0:
            msg = self.hdr(LOG_HDR_BROADCAST, OVERHEAD_MESSAGES, 0x00,
                           evdo_quick_config(self.sector), name="QuickConfig")
        elif which == 1:
            msg = self.hdr(LOG_HDR_BROADCAST, OVERHEAD_MESSAGES, 0x01,
                           evdo_sector_parameters(self.sector, self.site(), self.neighbour_pns(4)),
                           name="SectorParameters")
        elif which == 2:
            # The code keeps only the top two bits of this protocol's MessageID.
            gps_ms = self.gps_ticks(when, ms) * 5 // 4
            msg = self.hdr(LOG_HDR_BROADCAST, INITIALIZATION_STATE, 0x00,
                           evdo_sync(self.ref_pn, gps_ms), name="Sync")
        elif which == 3:
            msg = self.hdr(LOG_HDR_CONTROL, SESSION_MANAGEMENT, 0x02, bytes([0x00, 0x1E]),
                           name="KeepAliveRequest")
        elif which == 4:
            msg = self.hdr(LOG_HDR_BROADCAST, ACCESS_CHANNEL_MAC, 0x01, evdo_access_parameters(),
                           name="AccessParameters")
        elif which == 5:
            msg = self.hdr(LOG_HDR_BROADCAST, 24, 0x00, bytes(6), name=None,
                           note="protocol type 24, which the code rules leave unclassified")
        else:
            msg = hdr_header_only(LOG_HDR_BROADCAST, sector_pn=self.ref_pn,
                                  seq=self.next_hdr_seq())
        self.cl3(msg, when, ms)

    def hdr_connection_setup(self, when, ms, step):
        if step == 0:
            self.out.fields("LAB", "EV-DO download")
            self.write_event("HDR_CONNECTION_ATTEMPT")
            # TransactionID, RequestReason (access terminal initiated), no
            # preferred channels.
            self.cl3(self.hdr(LOG_HDR_ACCESS, IDLE_STATE, 0x01, bits_to_bytes([(8, 1), (4, 0),
                                                                                (5, 0)]),
                              name="ConnectionRequest"), when, ms)
            # The route update sent with the request; one capture tool sets
            # the top bit of the protocol type octet.
            self.cl3(self.hdr(LOG_HDR_ACCESS, ROUTE_UPDATE, 0x00,
                              evdo_route_update(6, [(self.ref_pn, 12),
                                                    (self.neighbour_pns(2)[0], 26)]),
                              flag=0x80, name="RouteUpdate", note="flag bit set"), when, ms + 20)
        elif step == 1:
            self.cl3(self.hdr(LOG_HDR_CONTROL, ACCESS_CHANNEL_MAC, 0x00, bytes([0x01, 0x02]),
                              name="ACAck"), when, ms)
            self.cl3(self.hdr(LOG_HDR_CONTROL, ROUTE_UPDATE, 0x01,
                              evdo_traffic_channel_assignment(3, [self.ref_pn]),
                              name="TrafficChannelAssignment"), when, ms + 60)
            self.cl3(self.hdr(LOG_HDR_REVERSE, REVERSE_TRAFFIC_MAC, ATTRIBUTE_UPDATE_REQUEST,
                              bytes([0x00]), name="AttributeUpdateRequest"), when, ms + 140)
        else:
            self.cl3(self.hdr(LOG_HDR_REVERSE, ROUTE_UPDATE, 0x02, bytes([0x01]),
                              name="TrafficChannelComplete"), when, ms)
            self.cl3(self.hdr(LOG_HDR_FORWARD, REVERSE_TRAFFIC_MAC, ATTRIBUTE_UPDATE_ACCEPT,
                              bytes([0x01]), name="AttributeUpdateAccept"), when, ms + 50)
            self.write_event("HDR_CONNECTION_OPEN")

    def hdr_connected_traffic(self, when, ms, second):
        """Signalling of an open connection: attribute updates of the MAC and
        stream protocols, handoffs, keep-alives, and the odd record whose
        code names nothing."""
        fwd, rev = LOG_HDR_FORWARD, LOG_HDR_REVERSE
        schedule = {
            3: lambda: self.hdr(fwd, REVERSE_TRAFFIC_MAC, ATTRIBUTE_UPDATE_REQUEST, bytes([0x10]),
                                subtype=6, name="AttributeUpdateRequest"),
            7: lambda: self.hdr(rev, REVERSE_TRAFFIC_MAC, ATTRIBUTE_UPDATE_ACCEPT, subtype=6,
                                name="AttributeUpdateAccept"),
            11: lambda: self.hdr(fwd, ROUTE_UPDATE, 0x01, evdo_traffic_channel_assignment(
                4, [self.ref_pn, self.neighbour_pns(2)[0]]), name="TrafficChannelAssignment"),
            15: lambda: self.hdr(rev, ROUTE_UPDATE, 0x02, bytes([0x00]),
                                 name="TrafficChannelComplete"),
            19: lambda: self.hdr(fwd, ADDRESS_MANAGEMENT, 0x01, bytes([0x3F]),
                                 name="UATIAssignment"),
            23: lambda: hdr_header_only(fwd, sector_pn=self.ref_pn, seq=self.next_hdr_seq()),
            27: lambda: self.hdr(rev, ADDRESS_MANAGEMENT, 0x02, bytes([0x01]),
                                 name="UATIComplete"),
            31: lambda: self.hdr(fwd, STREAM1_APPLICATION, ATTRIBUTE_UPDATE_REQUEST, subtype=3,
                                 name="AttributeUpdateRequest"),
            35: lambda: self.hdr(rev, STREAM1_APPLICATION, ATTRIBUTE_UPDATE_ACCEPT, subtype=3,
                                 name="AttributeUpdateAccept"),
            39: lambda: self.hdr(fwd, SESSION_MANAGEMENT, 0x02, bytes([0x00, 0x10]),
                                 name="KeepAliveRequest"),
            43: lambda: self.hdr(rev, SESSION_MANAGEMENT, 0x03, name="KeepAliveResponse"),
            47: lambda: self.hdr(fwd, 19, 0x49, name=None,
                                 note="protocol type 19, which the code rules leave unclassified"),
            51: lambda: self.hdr(fwd, REVERSE_TRAFFIC_MAC, ATTRIBUTE_UPDATE_REQUEST, bytes([0x00]),
                                 name="AttributeUpdateRequest"),
            55: lambda: self.hdr(rev, REVERSE_TRAFFIC_MAC, ATTRIBUTE_UPDATE_ACCEPT,
                                 name="AttributeUpdateAccept"),
            59: lambda: hdr_header_only(rev, sector_pn=self.ref_pn, seq=self.next_hdr_seq()),
            63: lambda: self.hdr(fwd, 7, 0x4C, name=None,
                                 note="protocol type 7, which the code rules leave unclassified"),
            67: lambda: self.hdr(rev, FORWARD_TRAFFIC_MAC, 0x00, name="FixedModeEnable"),
            71: lambda: self.hdr(fwd, STREAM3_APPLICATION, ATTRIBUTE_UPDATE_REQUEST, bytes([0x00]),
                                 subtype=2, name="AttributeUpdateRequest"),
            75: lambda: self.hdr(rev, STREAM3_APPLICATION, ATTRIBUTE_UPDATE_REJECT, subtype=2,
                                 name="AttributeUpdateReject"),
            79: lambda: self.hdr(rev, STREAM2_APPLICATION, ATTRIBUTE_UPDATE_REQUEST, subtype=5,
                                 name="AttributeUpdateRequest"),
        }
        if second in schedule:
            self.cl3(schedule[second](), when, ms + 400)
        else:
            # Route updates as pilots rise and fall along the road.
            # The reference pilot and the next sector's, rising as the road
            # nears it; strengths in -0.5 dB units.
            ahead = self.neighbour_pns(2)[0]
            self.cl3(self.hdr(rev, ROUTE_UPDATE, 0x00, evdo_route_update(
                second, [(self.ref_pn, 10 + second % 7), (ahead, 34 - second % 11)]),
                name="RouteUpdate"), when, ms + 650)

    def hdr_connection_close(self, when, ms):
        self.cl3(self.hdr(LOG_HDR_REVERSE, CONNECTED_STATE, 0x00, bytes([0x00]),
                          name="ConnectionClose"), when, ms)
        self.cl3(self.hdr(LOG_HDR_FORWARD, CONNECTED_STATE, 0x00, bytes([0x00]),
                          name="ConnectionClose"), when, ms + 40)
        self.write_event("HDR_CONNECTION_CLOSE")
        self.write_event("HDR_DORMANT")

    def data_call(self, when, ms, step):
        if step == 0:
            self.out.fields("LAB", "1x data call")
            self.write_event("DATA_CALL_ORIGINATE", "SO 33")
            self.out.record("UI", ["Originating", 33, "1X", 0])
            self.write_access_probes(3)
            fields = origination_fields(33, [], data=True)
            self.cl3(onex_message(LOG_ACCESS, 4, fields, "Origination Message", note="packet data",
                                  seq=self.next_seq(), esn=self.esn), when, ms)
            self.cl3(onex_order_message(LOG_PAGING, 16, address=self.esn, seq=self.seq,
                                        name="Base Station Acknowledgment Order"), when, ms + 50)
            self.cl3(onex_message(LOG_PAGING, 0x15, extended_channel_assignment_fields(
                self.esn, self.active_set, [walsh_code(pn) for pn in self.active_set], 5),
                "Extended Channel Assignment Message"), when, ms + 120)
        elif step == 1:
            self.cl3(onex_order_message(LOG_FORWARD_TRAFFIC, 16, seq=self.next_seq(),
                                        name="Base Station Acknowledgment Order"), when, ms)
            self.cl3(onex_message(LOG_FORWARD_TRAFFIC, 0x14, [(1, 0), (6, 0), (3, 1), (3, 1),
                                                               (16, 33), (8, 1)],
                                  "Service Connect Message", seq=self.next_seq()), when, ms + 80)
            self.cl3(onex_message(LOG_REVERSE_TRAFFIC, 14, [(1, 0), (3, 1), (8, 0)],
                                  "Service Connect Completion Message", seq=self.next_seq()), when, ms + 160)
            self.cl3(onex_order_message(LOG_REVERSE_TRAFFIC, 3, seq=self.seq, name=None, shared=True,
                                        note="order 3 without its qualifier"), when, ms + 220)
            self.cl3(onex_order_message(LOG_REVERSE_TRAFFIC, 3, ordq=1, seq=self.seq, shared=True,
                                        name="SSD Update Rejection Order"), when, ms + 260)
            self.write_event("DATA_CALL_CONNECT", "SO 33")
            self.out.record("UI", ["Data", 33, "1X", 0])

    def data_call_end(self, when, ms):
        self.cl3(onex_order_message(LOG_REVERSE_TRAFFIC, 21, seq=self.next_seq(),
                                    name="Release Order", ordq=0, note="mobile"), when, ms)
        self.cl3(onex_order_message(LOG_FORWARD_TRAFFIC, 21, seq=self.next_seq(),
                                    name="Release Order", ordq=0, note="base station"), when, ms + 70)
        self.write_event("DATA_CALL_END", "normal")
        self.out.record("UI", ["Idle", 0, "1X", 0])

    # ---- deliberately malformed lines

    def write_quirk(self, cycle_second, when, ms):
        out = self.out
        if cycle_second == 57:
            out.raw(" " * 12)                                  # blanks only: no token
            out.raw("")                                        # empty line
        elif cycle_second == 95:
            msg = onex_order_message(LOG_FORWARD_TRAFFIC, 2, ordq=0, extra=b"\x2b\x91\xc0",
                                     seq=self.next_seq(), shared=True,
                                     name="Base Station Challenge Confirmation Order")
            msg.length_error = 1                               # length word one too large
            self.cl3(msg, when, ms + 650)
        elif cycle_second == 133:
            # A DM line cut short where a capture buffer ran out; still one item.
            cut = "DM\t{:.2f}\t{:.2f}\t-1.5\t-8.".format(self.rxagc.value, -76.0 - self.rxagc.value)
            out.raw(cut, line_code=(MODULE_TYPE << 16) | RECORD_CODES["DM"])
        elif cycle_second == 150:
            # The last hex digit lost: one byte short of the length word.
            msg = self.hdr(LOG_HDR_FORWARD, SESSION_MANAGEMENT, 0x02, bytes([0x01, 0x02]),
                           name="KeepAliveRequest")
            digits = msg.to_bytes(self.gps_ticks(when, ms)).hex().upper()[:-1]
            out.fields("CL3", CHANNEL_NAME[LOG_HDR_FORWARD], CATEGORY[LOG_HDR_FORWARD], digits)
            out.note_cl3(CHANNEL_NAME[LOG_HDR_FORWARD], msg.label + ", last hex digit lost", None)
        elif cycle_second == 201:
            out.fields("DBG", "searcher queue overflow", 12)  # a token no decoder knows
        elif cycle_second == 220:
            # A paging message filed under the access channel's category.
            msg = onex_message(LOG_PAGING, 0x11, [(6, 3), (6, 7), (1, 1), (1, 1), (1, 1),
                                                  (1, 0), (1, 1), (4, 0), (3, 0)], "General Page Message")
            self.cl3(msg, when, ms + 300, category=CATEGORY[LOG_ACCESS])
        elif cycle_second == 262:
            msg = self.hdr(LOG_HDR_BROADCAST, OVERHEAD_MESSAGES, 0x00, bytes([0x2C]),
                           name="QuickConfig")
            msg.length_error = -2                              # length word two too small
            self.cl3(msg, when, ms + 10)
        elif cycle_second == 300:
            # A layer-3 line whose message column stayed empty: an item with code 0.
            out.fields("CL3", CHANNEL_NAME[LOG_PAGING], CATEGORY[LOG_PAGING], "", line_code=0)
            out.cl3_names.append((len(out.lines), None))
            out.note_cl3(CHANNEL_NAME[LOG_PAGING], "empty message column", 0)

    # ---- the drive

    def phase_at(self, cycle_second):
        start = 0
        for name, length in PHASES:
            if cycle_second < start + length:
                return name, cycle_second - start, length
            start += length
        raise AssertionError("cycle second out of range")

    def run(self, seconds):
        self.write_header()
        self.out.fields("LAB", "Route start")
        for t in range(seconds):
            when = START_TIME + datetime.timedelta(seconds=t)
            ms = (137 + 7 * t) % 1000
            cycle_second = t % CYCLE_SECONDS
            phase, ps, length = self.phase_at(cycle_second)
            self.out.crlf = cycle_second in CRLF_SECONDS
            if cycle_second == CRLF_SECONDS.start:
                self.gps_named = True
                self.write_registrations()
            self.write_clock(when, ms, t == 0)
            self.write_second(t, when, ms, cycle_second, phase, ps, length)
        self.out.crlf = False
        self.out.fields("LAB", "Route end")

    def write_second(self, t, when, ms, cycle_second, phase, ps, length):
        out, rng = self.out, self.rng
        self.second = t
        # Sub-second offsets for the layer-3 time stamps stay below one second.
        ms = min(ms, 300)
        self.write_gps()
        self.write_dm(phase)
        self.write_sc()
        self.write_pcp(phase)
        self.write_quality(phase)
        if t == 0:
            self.write_event("POWER_UP")
            self.sync_channel(when, ms)
            self.registration(when, ms + 300)
        if cycle_second == 20:
            self.write_event("VENDOR_ROUTE_MARK", "waypoint 1")
            out.fields("ENT", "Waypoint", 1, "Stadium junction")

        # Handoffs as the route reaches the next sector.
        if t == self.next_handoff:
            self.soft_handoff(when, ms, phase in ("voice", "data_1x"))
            self.next_handoff = t + 30 + rng.randrange(25)
        elif t == self.next_handoff - 22:
            self.drop_old_pilot(when, ms, phase in ("voice", "data_1x"))

        in_traffic = phase in ("voice", "data_1x")
        if phase in ("idle", "do_dormant", "do_inactive"):
            self.paging_overhead(when, ms + 500, t % 4)
            if phase != "do_inactive" and t % 6 == 3:
                self.hdr_overhead(when, ms + 600, (t // 6) % 7)
            if phase == "idle" and ps == 12:
                self.access_orders(when, ms + 100)
            if phase == "idle" and ps == 28:
                self.paging_orders(when, ms + 100)
            if phase == "idle" and ps == 5 and t > 0:
                self.registration(when, ms + 200)
            if phase == "do_inactive" and ps == length - 3:
                self.sync_channel(when, ms + 100)  # reacquiring the 1x system
        elif phase == "voice":
            if ps < 3:
                self.voice_setup(when, ms, ps)
            elif ps == length - 1:
                self.voice_release(when, ms)
            else:
                self.voice_traffic(when, ms, ps)
            if ps % 10 == 5:
                out.fields("VOT", f"{3.4 + rng.random() * 0.8:.2f}", "EVRC", 0)
        elif phase == "do_setup":
            self.hdr_connection_setup(when, ms, ps)
        elif phase == "do_connected":
            if ps == length - 1:
                self.hdr_connection_close(when, ms)
            else:
                self.hdr_connected_traffic(when, ms, ps)
        elif phase == "data_1x":
            if ps < 2:
                self.data_call(when, ms, ps)
            elif ps == length - 1:
                self.data_call_end(when, ms)
            elif ps % 4 == 0:
                self.cl3(onex_message(LOG_REVERSE_TRAFFIC, 6, [(5, 0), (10, 50), (2, 1), (4, 1),
                                                               (6, 12)],
                                      "Power Measurement Report Message", seq=self.next_seq()),
                         when, ms + 400)

        self.write_do_state(phase, ps, length)
        if in_traffic and ps % 3 == 2:
            self.write_psm()
        if t % 5 == 4:
            self.write_asfi()
        if t % 5 == 2:
            self.write_c1xsmi()
        if t % 5 == 0:
            self.write_hop(self.active_set[-1], self.ecio.value - 0.5, "Active")
        if in_traffic and ps % 15 == 7:
            out.fields("C1XFMI", self.ref_pn, 4, "locked", f"{self.ecio.value:.1f}")
        if phase == "do_connected" and ps % 30 == 20:
            self.write_event("HDR_SESSION_ALIVE")
        self.write_quirk(cycle_second, when, ms)

    def write_do_state(self, phase, ps, length):
        """CEVS lines: every five seconds and whenever the EV-DO state changes."""
        if phase == "do_inactive":
            # The hybrid side stops monitoring EV-DO for the second half.
            self.hybrid = 0 if ps >= length // 2 else 1
        else:
            self.hybrid = 1
        if phase in ("idle", "do_dormant"):
            state = (3, 3, 2, 0, 3, 1, 0, 1)              # idle, monitoring: word 1
        elif phase == "voice" or phase == "data_1x":
            state = (3, 3, 2, 0, 1, 1, 0, 1)              # tuned away to 1x traffic: word 0
        elif phase == "do_setup":
            state = (3, 4, 2, 0, 3, 1, 0, 1)              # connection setup
        elif phase == "do_connected":
            state = (3, 5, 3, 0, 0, 2, 1, 2)              # connected: word 2
        else:
            # Inactive: idle sleep with the route update protocol closed (word 0),
            # with one report where it is still open, which keeps the word.
            state = (3, 3, 2, 0, 2, 1, 0, 2 if ps == 1 else 0)
        key = state + (self.hybrid,)
        if key != self.last_do_state or ps % 5 == 0:
            self.write_cevs(*state)
            self.last_do_state = key


def generate(minutes=DEFAULT_MINUTES, seed=DEFAULT_SEED):
    """The sample log of the given length (minutes of driving) as bytes."""
    drive = Drive(seed)
    drive.run(max(1, int(minutes * 60)))
    return drive.out.to_bytes()


def generate_with_expectations(minutes=DEFAULT_MINUTES, seed=DEFAULT_SEED):
    """(log bytes, expected counts dict, CL3 table) with the two counts cross-checked."""
    drive = Drive(seed)
    drive.run(max(1, int(minutes * 60)))
    data = drive.out.to_bytes()
    line_count, counts = expected_items(data)
    if counts != drive.out.intended:
        diff = {f"{c:#010x}": (counts.get(c, 0), drive.out.intended.get(c, 0))
                for c in set(counts) | set(drive.out.intended)
                if counts.get(c, 0) != drive.out.intended.get(c, 0)}
        raise AssertionError(f"replayed vs intended item counts differ: {diff}")
    expected = {
        "lines": line_count,
        "items_by_code": {f"0x{c:08X}": counts[c] for c in sorted(counts)},
        "items": sum(counts.values()),
    }
    return data, expected, drive.out.cl3_table


def cl3_message_names(minutes=DEFAULT_MINUTES, seed=DEFAULT_SEED):
    """(log bytes, [(line number, name)]): for each CL3 line that yields an
    item, counting lines from 1, the name its message code stands for, or None
    where it stands for none."""
    drive = Drive(seed)
    drive.run(max(1, int(minutes * 60)))
    return drive.out.to_bytes(), drive.out.cl3_names


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("-o", "--output", default=DEFAULT_OUTPUT,
                        help="log file to write (default: the bundled sample)")
    parser.add_argument("--minutes", type=float, default=DEFAULT_MINUTES,
                        help=f"minutes of driving (default {DEFAULT_MINUTES})")
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED,
                        help=f"random seed (default {DEFAULT_SEED})")
    parser.add_argument("--table", action="store_true",
                        help="print the CL3 messages written, their message codes and names")
    args = parser.parse_args(argv)

    data, expected, cl3_table = generate_with_expectations(args.minutes, args.seed)
    with open(args.output, "wb") as f:
        f.write(data)
    base = args.output[:-4] if args.output.endswith(".log") else args.output
    with open(base + ".expected.json", "w", encoding="ascii", newline="\n") as f:
        json.dump(expected, f, indent=2)
        f.write("\n")
    if args.table:
        for (channel, name, line_code), count in sorted(cl3_table.items()):
            print(f"{channel:8} {line_code:11} x{count:<3} {name}")
    print(f"{args.output}: {expected['lines']} lines, {len(data)} bytes, "
          f"{expected['items']} items", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
