"""The Decoder and its items: agreement with the command line tool and with the
library's own accessors, chunking, the item queue, time stamps, and errors."""

import _ctypes
import ctypes
import json
import random
import subprocess
import time

import pytest

import wendrake
from wendrake import Decoder, WendrakeError, _native, decode_file

from conftest import EXPECTED, SAMPLE, SMALL_HEADER, write_log


def flushed_c_stdout(capfd):
    """What the library printed: its stdio buffer is flushed first, since a
    redirected C stdout is fully buffered."""
    ctypes.CDLL(None).fflush(None)
    return capfd.readouterr().out


def iso(moment):
    # The tool's ISO form: milliseconds, or microseconds when they are not whole.
    if moment is None:
        return None
    text = moment.strftime("%Y-%m-%dT%H:%M:%S")
    if moment.microsecond % 1000 == 0:
        return text + ".%03d" % (moment.microsecond // 1000)
    return text + ".%06d" % moment.microsecond


def as_cli_json(item):
    """The item as the tool's `decode --format jsonl` spells it."""
    def params(ps):
        return [{"id": "0x%08X" % p.id, "name": p.name, "stored": p.stored, "real": p.real} for p in ps]

    record = {"line": item.line, "record": item.record, "code": "0x%08X" % item.code,
              "direction": item.direction,
              "time": {"seconds": item.seconds, "micros": item.micros, "iso": iso(item.time)},
              "raw": item.raw, "current": params(item.current), "inherited": params(item.inherited)}
    if item.is_layer3:
        record["layer3"] = {"log_code": "0x%04X" % item.log_code, "message_type": item.message_type,
                            "sub_code": item.sub_code, "body": item.body.hex().upper()}
    else:
        record["text"] = item.text
    return record


def test_items_agree_with_the_command_line_tool_field_by_field(cli, sample_items):
    out = subprocess.run([cli, "decode", str(SAMPLE), "--format", "jsonl"], capture_output=True,
                         check=True, timeout=300).stdout
    records = [json.loads(line) for line in out.decode("utf-8").splitlines()]
    assert len(records) == len(sample_items)
    for record, item in zip(records, sample_items):
        # The tool adds a "CL3" message's name and fields, which items do not carry.
        if "layer3" in record:
            assert set(record["layer3"]).issuperset({"message", "fields"}), item.line
            del record["layer3"]["message"], record["layer3"]["fields"]
        assert as_cli_json(item) == record, "line %d" % item.line
    # Every kind of item took part: text, layer-3 body, events, no-clock stamps.
    assert {i.record for i in sample_items} >= {"DM", "SC", "CL3", "EVT", "CEVS", "C1XQI"}


def test_struct_mirror_reads_what_the_accessors_return(library, sample_items):
    """The ctypes structures, read field by field, against the 21 exports, over
    the whole sample fed 150 lines per call."""
    lib = _native.load(library)
    handle = lib.CreateDecoderObjectProc(0xB101)
    assert handle
    lines = SAMPLE.read_bytes().splitlines(keepends=True)
    seen = 0
    try:
        for start in range(0, len(lines), 150):
            chunk = b"".join(lines[start:start + 150])
            assert lib.DecodeMsgProc(handle, chunk, len(chunk))
            count = lib.GetReportItemCountProc(handle)
            for i in range(count):
                pointer = lib.GetReportItemProc(handle, i)
                item = pointer.contents
                base = ctypes.addressof(item)
                assert lib.GetReportItemMsgCode(handle, i) & 0xFFFFFFFF == item.msgCode
                assert lib.GetReportItemMsgDirection(handle, i) == item.direction
                stamp = lib.GetReportItemMsgTime(handle, i)
                assert ctypes.addressof(stamp.contents) == base + 4
                assert (stamp.contents.seconds, stamp.contents.micros) == (item.timeSeconds, item.timeMicros)
                text = lib.GetReportItemBinary(handle, i).contents
                assert (ctypes.addressof(text), text.length) == (base + 16, item.textLength)
                raw = lib.GetReportItemBinaryToRCUFilter(handle, i).contents
                assert (ctypes.addressof(raw), raw.length) == (base + 5140, item.rawLength)
                assert lib.GetReportItemBinaryToRCUSimple(handle, i).contents.length == 0
                assert lib.GetReportItemCurDecodeParamCount(handle, i) == item.curParamCount
                assert lib.GetReportItemInheritDecodeParamCount(handle, i) == item.inheritParamCount
                for p in range(item.curParamCount):
                    slot = lib.GetReportItemCurDecodeParamList(handle, i, p)
                    assert ctypes.addressof(slot.contents) == ctypes.addressof(
                        item.paramSlots[item.curParamList[p] // 12])
                for p in range(item.inheritParamCount):
                    slot = lib.GetReportItemInheritDecodeParamList(handle, i, p)
                    assert ctypes.addressof(slot.contents) == ctypes.addressof(
                        item.paramSlots[item.inheritParamList[p] // 12])
                assert lib.GetReportItemCurDecodeStructParamCount(handle, i) == item.curStructCount == 0
                assert lib.GetReportItemInheritDecodeStructParamCount(handle, i) == item.inheritStructCount == 0
                # And the Decoder's copy holds the same values.
                mine = sample_items[seen]
                assert (mine.code, mine.direction, mine.seconds, mine.micros) == (
                    item.msgCode, item.direction, item.timeSeconds, item.timeMicros)
                assert [(p.id, p.stored, p.state) for p in mine.current] == [
                    (s.paramId, s.value, s.state)
                    for s in (item.paramSlots[r // 12] for r in item.curParamList[:item.curParamCount])]
                seen += 1
            assert lib.ClearReportItemsProc(handle)
    finally:
        assert lib.FreeDecoderObjectProc(ctypes.byref(handle))
    assert not handle  # the library nulls the host's handle
    assert seen == len(sample_items)


def test_any_split_of_the_input_gives_the_same_items(library, sample_items):
    data = SAMPLE.read_bytes()
    rng = random.Random(20111019)
    items = []
    with Decoder(library=library) as decoder:
        at = 0
        while at < len(data):
            size = rng.choice((1, 2, 3, 17, 255, 4096, 70000))
            items += decoder.feed(data[at:at + size])
            at += size
        assert decoder.lines == json.loads(EXPECTED.read_text())["lines"]
        assert decoder.pending == b""
    # Items handed out earlier stay intact while later feeds reuse the queue.
    assert items == sample_items


def test_one_feed_far_beyond_the_queue_loses_no_item(library, capfd):
    lines = ["DM\t-%d.25\t-%d.5\t-6.5\t4.0\t5.0\n" % (60 + i % 40, i % 30) for i in range(1000)]
    with Decoder(library=library) as decoder:
        items = decoder.feed((SMALL_HEADER + "".join(lines)).encode())
    assert len(items) == 1000
    assert [item.current[0].real for item in items] == [-(60 + i % 40) - 0.25 for i in range(1000)]
    assert [item.line for item in items] == list(range(8, 1008))
    assert "Overflow" not in flushed_c_stdout(capfd)


def test_small_log_items(tmp_path, library):
    log = write_log(tmp_path / "small.log", (
        "DM\t-70.0\t1.0\t-5.0\t3.0\t4.0\n"           # before the header: nothing registered
        "RegReport\tDM\tRxagc\tTxpower\n"
        "DM\t-71.5\t2.25\r\n"                       # CRLF line end
        "CL3\tPCH\t1\t180007100000E3DAEDD4BA000C02540E100348600000020C\n"
        "DAY\t2011\t10\t19\nHOUR\t15\nMIN\t42\nSEC\t7\t1500\n"
        "DM\t-72.0\t3.0\n"
        "DM\t-73.0\t4.0"))                          # no newline: the end of input ends it
    with pytest.warns(wendrake.WendrakeWarning, match=r"\(line 10\) has no newline"):
        with decode_file(log, "b101", library=library) as items:
            first, second, layer3, clocked, last = list(items)
            assert items.decoder.pending == b"" and items.decoder.lines == 10
    assert items.decoder.closed
    assert (last.line, last.raw, last.params()["Txpower"]) == (10, "DM\t-73.0\t4.0", 4.0)

    assert (first.record, first.current, first.inherited) == ("DM", (), ())
    assert (first.seconds, first.time) == (28799, None)  # before the first date
    assert first.text.startswith("<message>\n<format>Dtlog</format>\n<content>\n")

    assert second.raw == "DM\t-71.5\t2.25" and second.line == 3
    assert [(p.name, p.stored, p.real, p.state) for p in second.current] == [
        ("Rxagc", -71500, -71.5, 1), ("Txpower", 2250, 2.25, 1)]

    assert layer3.is_layer3 and layer3.text is None
    assert layer3.body == bytes.fromhex("0C02540E100348600000020C")
    assert (layer3.log_code, layer3.direction) == (0x1007, 0)
    assert [(p.name, p.state) for p in layer3.current] == [("L3State", 1)]
    assert ("Rxagc", -71.5) in [(p.name, p.real) for p in layer3.inherited]

    # 1500 ms carries into the next second, as the tool shows it.
    assert str(clocked.time) == "2011-10-19 15:42:08.500000"
    assert clocked.seconds == 1319038927 + 28800 and clocked.micros == 1500000
    assert clocked.params()["Rxagc"] == -72.0 and clocked.params()["Txpower"] == 3.0


@pytest.mark.parametrize("zone, shift", [("CST-8", -28800), ("EST5EDT", 18000)])
def test_log_clock_is_the_same_in_every_time_zone(library, sample_items, zone, shift, monkeypatch):
    monkeypatch.setenv("TZ", zone)
    time.tzset()
    try:
        items = list(decode_file(SAMPLE, library=library))
    finally:
        monkeypatch.undo()
        time.tzset()
    # The library stamps local standard time (daylight saving off), so stored
    # seconds move with the zone; the recovered log clock does not.
    assert [i.time for i in items] == [i.time for i in sample_items]
    assert {a.seconds - b.seconds for a, b in zip(items, sample_items) if b.time} == {shift}


@pytest.mark.parametrize("module, error", [
    (0x1234, ValueError), (0, ValueError), (-1, ValueError), ("B999", ValueError), ("", ValueError),
    (1.5, TypeError), (None, TypeError), (True, TypeError), (b"B101", TypeError)])
def test_bad_module_types_raise_before_reaching_the_library(library, module, error, capfd):
    with pytest.raises(error, match="module type"):
        Decoder(module, library=library)
    with pytest.raises(error, match="module type"):
        decode_file(SAMPLE, module, library=library)
    assert flushed_c_stdout(capfd) == ""


def test_module_names_and_numbers_are_accepted(library):
    for module in ("B200", "b20a", "0xB20B", 0xBD00):
        with Decoder(module, library=library) as decoder:
            assert decoder.module in _native.MODULE_TYPES.values()


def test_bad_paths_raise_at_the_call(tmp_path, library):
    with pytest.raises(FileNotFoundError):
        decode_file(tmp_path / "missing.log", library=library)
    with pytest.raises(IsADirectoryError):
        decode_file(tmp_path, library=library)
    with pytest.raises(FileNotFoundError):
        wendrake.to_dataframe(str(tmp_path / "missing.log"), library=library)


def test_closed_decoder_raises_and_closing_twice_is_harmless(library):
    decoder = Decoder(library=library)
    decoder.close()
    decoder.close()
    with pytest.raises(WendrakeError, match="closed"):
        decoder.feed(b"DM\t1\n")
    with Decoder(library=library) as decoder:
        with pytest.raises(TypeError, match="bytes"):
            decoder.feed("DM\t1\n")
    assert decoder.closed


def test_library_lookup_and_refusals(tmp_path, library, monkeypatch):
    monkeypatch.setenv(_native.LIBRARY_ENV, str(tmp_path / "nowhere.so"))
    with pytest.raises(WendrakeError, match="WENDRAKE_LIBRARY"):
        Decoder()
    assert Decoder(library=library).library == library  # the argument wins over the variable
    monkeypatch.setenv(_native.LIBRARY_ENV, library)
    assert _native.find_library() == library

    # A shared object without the exports.
    with pytest.raises(WendrakeError, match="does not export"):
        _native.Library(_ctypes.__file__)
    # The libraries a real one needs are read from its dynamic section.
    assert b"libc.so.6" in _native._needed_libraries(library)
    assert _native._needs_sanitizer_runtime(library) is None
    # A sanitizer build is refused instead of aborting the interpreter on load.
    fake = tmp_path / "libwendrake.so"
    fake.write_bytes(b"\x7fELF" + b"\0" * 60 + b"libasan.so.8\0")
    with pytest.raises(WendrakeError, match="sanitizer"):
        _native.Library(fake)
