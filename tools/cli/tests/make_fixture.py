#!/usr/bin/env python3
"""Writes fixture.log: a small log with the awkward cases a field log has
(a line before any clock, CRLF, binary and NUL bytes, a rejected CL3 line,
CEVS state changes, blank and malformed lines, a line longer than the
decoder's line buffer, and a last line without a newline)."""
import os

lines = []


def add(line):
    lines.append(line if isinstance(line, bytes) else line.encode())


add("FileInfo\tTool\tfixture\n")
add("RegReport\tDM\tRxagc\tTxpower\tNote\n")
add("RegReport\tEVT\tEvent\tEventName\n")
add("RegReport\tC1XQI\tRlprx_Rate\tRlptx_Rate\n")
add("RegReport\tCEVS\tSession_State\tAT_State\tALMP_State\tInit_State\tIdle_State"
    "\tOverhead_State\tConnected_State\tRoute_Update_State\tHDR_HybridMode_State\n")
add("DM\t-70.5\t1.25\tbefore the clock\n")
add("DAY\t2011\t10\t19\n")
add("HOUR\t12\n")
add("MIN\t0\n")
add("SEC\t0\t250\n")
add("DM\t-85.5\t10.25\tcrlf line\r\n")
add(b"DM\t-90\t-3.5\tbin\xff\x00\x01\x7f \"q\" \xc3\xa9,\n")
add("EVT\t0101\tPOWER_UP\n")
add("C1XQI\t12.5\t3.25\n")
add("GPS\t30.1\t120.2\n")
# A 16-byte 0x1004 message, category 0: length 0x0010, log code 0x1004,
# 8 time-stamp bytes, body 00 01 00 00 (message type 1).
message = "1000" + "0410" + "00" * 8 + "00010000"
add(f"CL3\tACH\t0\t{message}\n")
add(f"CL3\tACH\t1\t{message}\n")  # category does not match: no item
add("CL3\tPCH\t0\n")  # no message column: an item with code 0
add("SEC\t1\t500\n")
add("CEVS\t3\t3\t2\t0\t3\t1\t0\t1\t1\n")  # idle: state word 1
add("CEVS\t3\t5\t3\t0\t3\t1\t3\t1\t0\n")  # connected: state word 2
add("SEC\t2\t0\n")
add("CEVS\t3\t3\t2\t0\t2\t1\t0\t0\t0\n")  # back: state word 0
add("garbage that is no record\n")
add("\n")
add("   \t \n")
add("DM\t-60.125\t" + "9" * 6000 + "\tlong line\n")
# Longer than 8191 bytes: the decoder drops the whole line, and the record
# token inside it is never read as a line of its own.
add("LAB\t" + "x" * (8192 - 4) + "DM\t-61\t2\n")
add("DM\t-99\t1")  # no newline: never complete

with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "fixture.log"), "wb") as f:
    f.write(b"".join(lines))
