#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/ from hand-made lines and slices
of examples/sample_drive.log. Run from anywhere; rewrites the seed files it
owns (seed_*) and leaves any other file in the corpus folders alone.

api_fuzz seeds: 4 header bytes (module, chunking scheme, two seed bytes) and
log text. l3_fuzz seeds: 3 header bytes (module, line mode, length pick) and
message bytes. bit_reader_fuzz seeds: bytes its data provider reads.
table_fuzz seeds: 2 header bytes (flags and module, lines per piece) and log
text."""
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SAMPLE = os.path.join(ROOT, "examples", "sample_drive.log")

REG = (
    b"RegReport\tDM\tRxagc\tTxpower\tTxgainadj\tTotal_EcIo\tFber\tFFER\tRxAGC0\tTotal_C/I\tDRC_Rate\n"
    b"RegReport\tSC\tBand\tFreq\tRefPN\tPRev\tEV_Revision\n"
    b"RegReport\tPCP\tTxOpenLoopPower\tTxClosedloopadjust\n"
    b"RegReport\tC1XQI\tRlprx_Rate\tRlptx_Rate\tRlperr_Rate\tEV_RxPER\n"
    b"RegReport\tEVT\tEvent\tEventName\n"
    b"RegReport\tCEVS\tSession_State\tAT_State\tALMP_State\tInit_State\tIdle_State\t"
    b"Overhead_State\tConnected_State\tRoute_Update_State\tHDR_HybridMode_State\n"
)
CLOCK = b"DAY\t2011\t10\t19\nHOUR\t15\nMIN\t42\nSEC\t7\t137\n"


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed_" + name), "wb") as f:
        f.write(data)


def api(name, text, module=0, scheme=1, seed=0x1234):
    write("api_fuzz", name, bytes([module, scheme, seed >> 8, seed & 0xFF]) + text)


def message(log_code, body, length=None):
    """A logged layer-3 message: length word, log code, 8-byte time stamp,
    then the body (payload at record byte 16 is body byte 0)."""
    data = struct.pack("<HH", 0, log_code) + bytes(8) + body
    n = len(data) if length is None else length
    return struct.pack("<H", n & 0xFFFF) + data[2:]


def cl3(category, msg, field1=b"X"):
    return b"CL3\t" + field1 + b"\t" + category + b"\t" + msg.hex().upper().encode() + b"\n"


def api_seeds():
    api("registered_columns", REG + CLOCK +
        b"DM\t-74.23\t-40.00\t0.0\t-6.2\t0.00\t1.5\t-80.1\t3.2\t2457.6\n"
        b"SC\t0\t283\t168\t6\t1\nPCP\t-73.5\t12.0\nC1XQI\t9600\t9600\t0.5\t1.25\n"
        b"EVT\t010B\tREGISTRATION\n")
    api("cevs_states", REG + b"CEVS\t3\t3\t2\t0\t3\t1\t0\t1\t1\nCEVS\t3\t5\t2\t0\t1\t1\t1\t2\t0\n"
        b"CEVS\t3\t4\t2\t0\t3\t1\t0\t1\t1\nCEVS\t3\t3\t2\t0\t1\t1\t0\t0\t0\n", module=1)
    api("cl3_categories", REG + b"DM\t-74\t-40\t0\t-6\n" +
        cl3(b"0", message(0x1004, bytes([0, 0x82, 0, 0x12, 0x34, 0x0C, 0xC0]))) +
        cl3(b"1", message(0x1007, bytes([0, 7, 0, 0x11, 0x22, 0x48, 0x80]))) +
        cl3(b"2", message(0x1005, bytes([0, 1, 0x00, 0x2C, 0x20]))) +
        cl3(b"3", message(0x1008, bytes([0, 1, 0, 0, 0x48, 0x80]))) +
        cl3(b"4", message(0x1006, bytes([0, 4, 1, 2]))) +
        cl3(b"5", message(0x1076, bytes(11) + bytes([0x04, 0x21]))) +
        cl3(b"6", message(0x1077, bytes(7) + bytes([0xE0, 0, 0, 0, 0x0C, 0x05]))) +
        cl3(b"7", message(0x1079, bytes(13))) + cl3(b"8", message(0x1078, bytes(11))) +
        cl3(b"9", message(0x107C, bytes(13))), module=2, scheme=0)
    api("cl3_short_and_bad", cl3(b"0", b"") + cl3(b"0", b"\x04") + cl3(b"0", b"\x04\x00") +
        cl3(b"0", b"\x04\x00\x04") + cl3(b"0", b"\x04\x00\x04\x10") + cl3(b"1", message(0x1004, b"", 99)) +
        b"CL3\tX\t0\tZZ0x-1 g\n" b"CL3\tX\t\t0400041\n" b"CL3\tX\t-1\t0400\x0004\t\textra\n"
        b"CL3\tX\t99999999999999999999\t040004\n" b"CL3\n" b"CL3\t\t\t\n", module=3)
    api("overflow", b"RegReport\tDM\tRxagc\n" + b"DM\t-1\n" * 230, scheme=2)
    api("many_columns", b"RegReport\tDM\t" + b"\t".join(b"C%d" % i for i in range(70)) + b"\tRxagc\n" +
        b"DM\t" + b"\t".join(b"%d" % i for i in range(75)) + b"\n", module=4)
    api("reregistration", b"RegReport\tDM\tRxagc\tTxpower\n" b"DM\t-80\t5\n"
        b"RegReport\tDM\tA_name_longer_than_thirty_one_bytes_for_sure\tRxagc\n" b"DM\t-80\t5\n"
        b"RegReport\n" b"RegReport \n" b"RegReport\tXYZ\tRxagc\n" b"RegReport\tDM\n" b"DM\t1\t2\n")
    api("huge_numbers", b"RegReport\tDM\tRxagc\tTxpower\tFber\tFFER\n"
        b"DM\t1e400\t-1e30\t99999999999999999999\tnan\nDM\tinf\t-inf\t0x1A\t -3.7\n"
        b"DM\t2147483.648\t-2147483.649\t1e-400\t+.5e1\n"
        b"EVT\tFFFFFFFFFFFF\nEVT\t-80000000\nDAY\t99999999999\t-5\t0\nSEC\t70000\t-1\n"
        b"HOUR\t2147483648\nDM\t4294967296\n", module=1, scheme=3)
    api("nul_bytes", b"RegReport\tDM\tRx\x00agc\tRxagc\n" b"DM\t\x00\t1\x005\n" b"D\x00M\t1\n"
        b"\x00\n" b"CL3\tX\t0\t04\x0000\n", scheme=0)
    api("cr_endings", b"RegReport\tDM\tRxagc\r\rDM\t-70\rDM\t-71\r\n" b"DM\t-72\r\n" b"\r\n\r\r", module=2)
    api("xml_names", b"RegReport\tUI\t  spaced name  \t<tag>\t&amp;\t\"q\"\t" + b"n" * 40 + b"\n" +
        b"UI\t<v>\t&\t'\t\x7f\xff\t" + b"v" * 300 + b"\n")
    api("long_text", b"RegReport\tASFI\t" + b"\t".join(b"Col%02d" % i for i in range(59)) + b"\n" +
        b"ASFI\t" + b"\t".join(b"x" * 120 for _ in range(59)) + b"\n")
    api("over_long_line", b"DM\t" + b"7" * 8190 + b"\n" + b"DM\t" + b"8" * 8186 + b"\n" + b"DM\t1\n", scheme=2)
    api("unterminated", REG + b"DM\t-70\t-30")
    api("empty_and_blank", b"\n\n \t \n\t\n" + b" DM\t1\n" + b"FileInfo\tx\nGPS\t1\t2\nVOT\nLAB\nENT\nC1XFMI\n")


def table(name, text, values=0, ahead=False, module=0, lines=3):
    """values: 0 carried, 1 current only, 2 settings; lines: 1..64, or None
    for more lines than any log has."""
    flags = values + 3 * ahead + 6 * module
    pick = 0xFF if lines is None else lines - 1
    write("table_fuzz", name, bytes([flags, pick]) + text)


# Values carried over and dropped across piece ends, registrations, fixes, an
# over-long line, CR LF line ends and a last line without newline.
ROUGH = (b"RegReport\tDM\tRxagc\tTxpower\tTotal_EcIo\r\n" b"RegReport\tEVT\tEvent\tEventName\n" + CLOCK +
         b"GPS\t30.2\t120.1\n" b"DM\t-85.5\t10.25\t-6\r\n" b"LAB\t" + b"x" * 9000 + b"\tDM\t-50.5\n"
         b"EVT\t1A\tCALL_SETUP\n" b"CL3\tACH\t0\t0F0004100000000000000000020203\n"
         b"RegReport\tCEVS\tSession_State\tAT_State\n" b"CEVS\t1\t3\n\n\n"
         b"RegReport\tDM\tTotal_EcIo\tFoo\n" b"DM\t-7\t1\nGPS\t30.3\t120.1\n"
         b"RegReport\tDM\tRxagc\tTxpower\tRxagc\n" b"DM\t-60\t3\t-61\nDM\t-60\t3\t-61\n" b"EVT\t3C\tDROP")


def table_seeds():
    table("rough", ROUGH, lines=3)
    table("rough_terminated", ROUGH + b"\n", values=1, ahead=True, lines=1)
    table("rough_settings", ROUGH, values=2, module=2, lines=7)
    table("rough_whole", ROUGH + b"\n", values=2, ahead=True, module=4, lines=None)
    table("registered", REG + CLOCK + b"DM\t-74.23\t-40.00\t0.0\t-6.2\t0.00\t1.5\t-80.1\t3.2\t2457.6\n"
          b"SC\t0\t283\t168\t6\t1\nPCP\t-73.5\t12.0\nEVT\t010B\tREGISTRATION\n"
          b"CEVS\t3\t3\t2\t0\t3\t1\t0\t1\t1\nDM\t-70\nCEVS\t3\t5\t2\t0\t1\t1\t1\t2\t0\n", module=1, lines=2)
    table("gps_named", b"RegReport\tGPS\tSats\tLon\tLat\tSpeed\n" + CLOCK + b"RegReport\tDM\tRxagc\n"
          b"GPS\t9\t120.1\t30.2\t40\nDM\t-80\nSEC\t8\t0\nGPS\t9\t125.1\t30.2\t40\nDM\t-81\n"
          b"SEC\t9\t0\nGPS\t9\t125.1\t30.2\t40\nSEC\t10\t0\nGPS\t9\t125.1\t30.2\t41\nDM\t-82\n"
          b"GPS\t9\t0\t0\nGPS\t9\t200\t95\nDM\t-83\nSEC\t5\t0\nDM\t-84\n", ahead=True, lines=2)
    table("blank_lines", b"\n\n\r\n\n" + b"RegReport\tDM\tRxagc\n" + b"DM\t-1\n\n" * 12, values=1, lines=5)
    table("empty", b"", lines=1)
    table("unterminated_long", b"DM\t-1\n" + b"DM\t" + b"7" * 8200, ahead=True, lines=1)


def sample_seeds():
    if not os.path.exists(SAMPLE):
        return
    with open(SAMPLE, "rb") as f:
        lines = f.read().splitlines(keepends=True)
    head = b"".join(l for l in lines[:40] if l.startswith((b"RegReport", b"FileInfo")))
    starts = [20, 300, 700, 1100, 1500, 1900, 2300, 2700, 3100, 3400]
    for i, start in enumerate(starts):
        api("sample_%02d" % i, head + b"".join(lines[start:start + 40]), module=i % 5, scheme=i % 4, seed=i)
    # Longer slices cut into pieces of every kind.
    for i, start in enumerate(starts[:6]):
        table("sample_%02d" % i, head + b"".join(lines[start:start + 90]), values=i % 3, ahead=i >= 3,
              module=i % 5, lines=(1, 4, 13, 64, 2, None)[i])
    # Messages of the sample's "CL3" lines for the layer-3 target.
    seen = set()
    for line in lines:
        fields = line.rstrip(b"\n").split(b"\t")
        if fields[0] != b"CL3" or len(fields) < 4 or fields[2] in seen:
            continue
        try:
            msg = bytes.fromhex(fields[3].decode())
        except ValueError:
            continue  # the sample's deliberately broken lines are in the api seeds
        seen.add(fields[2])
        write("l3_fuzz", "sample_cat" + fields[2].decode(), bytes([0, 0x1F, 40]) + msg)


def l3_seeds():
    def l3(name, msg, mode=0x1F, module=0, pick=20):
        write("l3_fuzz", name, bytes([module, mode, pick]) + msg)
    l3("order_1004", message(0x1004, bytes([0, 0x82, 0, 0x12, 0x34, 0x0C, 0xC0])))
    l3("order_1005_q", message(0x1005, bytes([0, 1, 0x00, 0x2C, 0x28, 0x40])), module=1)
    l3("order_1007", message(0x1007, bytes([0, 7, 0, 0x13, 0x45, 0x24, 0x40])), module=2)
    l3("order_1008", message(0x1008, bytes([0, 1, 0, 0, 0x44, 0x20, 0x20])), module=3)
    l3("plain_1006", message(0x1006, bytes([0, 4])), module=4)
    for code in (0x1076, 0x1077, 0x1078, 0x1079, 0x107C):
        l3("id_%04x" % code, message(code, bytes(7) + bytes([0x60, 0, 0, 0, 0x0C, 0x05])))
    l3("id_len23", message(0x1076, bytes(7)))
    l3("other_code", message(0x1234, bytes(10)))
    l3("empty", b"", mode=0)
    l3("three_bytes", b"\x03\x00\x04", mode=0x10)
    l3("garbage", b"0x1g-+ zz\x00\tF", mode=0x40)
    l3("length_mismatch", message(0x1004, bytes(6), 99), mode=0x00)


def fields_seeds():
    """fields_fuzz seeds: 5 header bytes (log code pick, flags, length word,
    protocol revision) and a message body: the sample's messages by log code."""
    picks = {0x1004: 0, 0x1005: 1, 0x1006: 2, 0x1007: 3, 0x1008: 4, 0x1076: 5, 0x1077: 6,
             0x1078: 7, 0x1079: 8, 0x107C: 9}
    seen = {}
    with open(SAMPLE, "rb") as f:
        for line in f:
            fields = line.rstrip(b"\r\n").split(b"\t")
            if len(fields) < 4 or fields[0] != b"CL3" or len(fields[3]) % 2:
                continue
            try:
                msg = bytes.fromhex(fields[3].decode())
            except ValueError:
                continue
            if len(msg) < 14:
                continue
            code = msg[2] | msg[3] << 8
            key = (code, msg[13])
            if code in picks and key not in seen:
                seen[key] = msg[12:]
    for (code, kind), body in sorted(seen.items()):
        write("fields_fuzz", "%04x_%02x" % (code, kind), bytes([picks[code], 1, 0, 0, 6]) + body)
    write("fields_fuzz", "length_past_body", bytes([3, 0, 0xFF, 0x00, 0]) + bytes([40, 1, 0x55]))
    write("fields_fuzz", "empty", bytes([3, 1, 0, 0, 0]))


def bit_reader_seeds():
    rng = random.Random(7)
    for i in range(8):
        write("bit_reader_fuzz", "random_%d" % i, bytes(rng.randrange(256) for _ in range(24 + 16 * i)))
    write("bit_reader_fuzz", "edge_bytes", b"\xab\xcd\x00\xff" * 16)


def numbers_seeds():
    samples = [b"-85.5", b"1228", b" -3.7", b"1e3", b"0x1A", b"-0x80000001", b"inf", b"-nan", b"1e400",
               b"99999999999999999999", b"-9223372036854775809", b"2147483.648", b"-0.0015", b"1.2345",
               b"000000000000000012.5", b".5", b"5.", b"+.e1", b"0x1p-3", b"12\x0034", b"\t\v 7f", b"1,5"]
    for i, s in enumerate(samples):
        write("numbers_fuzz", "n%02d" % i, s)


if __name__ == "__main__":
    numbers_seeds()
    api_seeds()
    table_seeds()
    sample_seeds()
    l3_seeds()
    fields_seeds()
    bit_reader_seeds()
