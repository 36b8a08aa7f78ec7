"""Inputs that once lost data or were misreported, one class per fault."""

import os
import subprocess
import sys
import tracemalloc

import pytest

import wendrake
from wendrake import Decoder, WendrakeWarning, decode_file, header
from wendrake.summary import summarize

from conftest import SMALL_HEADER, SOURCE, write_log

DM_HEADER = "RegReport\tDM\tRxagc\tTxpower\n"


def module_env(library, **extra):
    path = os.pathsep.join(filter(None, [str(SOURCE / "python"), os.environ.get("PYTHONPATH")]))
    return dict(os.environ, WENDRAKE_LIBRARY=library, PYTHONPATH=path, **extra)


class TestLastLineWithoutNewline:
    def test_decode_file_and_to_dataframe_decode_it_and_say_so(self, tmp_path, library):
        log = write_log(tmp_path / "cut.log", DM_HEADER + "DM\t-70.0\t1.0\nDM\t-71.0\t2.0")
        with pytest.warns(WendrakeWarning, match=r"cut\.log: the last line \(line 3\) has no newline"):
            items = list(decode_file(log, library=library))
        assert [(i.line, i.params()["Rxagc"]) for i in items] == [(2, -70.0), (3, -71.0)]
        with pytest.warns(WendrakeWarning):
            frame = wendrake.to_dataframe(log, library=library)
        assert list(frame["Rxagc"]) == [-70.0, -71.0]

    def test_a_complete_log_gives_no_warning(self, tmp_path, library, recwarn):
        log = write_log(tmp_path / "whole.log", DM_HEADER + "DM\t-70.0\t1.0\n")
        assert len(list(decode_file(log, library=library))) == 1
        assert not [w for w in recwarn if issubclass(w.category, WendrakeWarning)]

    def test_finish_feeds_the_newline_once(self, library):
        with Decoder(library=library) as decoder:
            assert decoder.feed((DM_HEADER + "DM\t-70.0\t1.0").encode()) == []
            with pytest.warns(WendrakeWarning):
                assert [i.line for i in decoder.finish()] == [2]
            assert decoder.finish() == [] and decoder.lines == 2



class TestFeedTakesOnlyBytes:
    @pytest.mark.parametrize("data", [5, 0, None, "DM\t1\n", 1.5, [10]])
    def test_other_types_raise_type_error(self, library, data):
        with Decoder(library=library) as decoder:
            with pytest.raises(TypeError, match="bytes-like"):
                decoder.feed(data)
            assert decoder.pending == b"" and decoder.lines == 0

    def test_bytes_like_objects_are_accepted(self, library):
        line = (DM_HEADER + "DM\t-70.0\t1.0\n").encode()
        for data in (line, bytearray(line), memoryview(line)):
            with Decoder(library=library) as decoder:
                assert len(decoder.feed(data)) == 1


class TestLongLines:
    @pytest.mark.parametrize("chunk", [1000, 1 << 20])
    def test_text_inside_an_over_long_line_never_becomes_a_record(self, library, chunk):
        # Past the library's 8192-byte line buffer, a long field holds "DM...".
        data = (DM_HEADER + "LAB\t" + "x" * 8188 + "DM\t-50.5\t1.0\n" + "DM\t-60.0\t2.0\n").encode()
        with Decoder(library=library) as decoder:
            items = []
            for at in range(0, len(data), chunk):
                items += decoder.feed(data[at:at + chunk])
            assert [(i.line, i.raw) for i in items] == [(3, "DM\t-60.0\t2.0")]

    @pytest.mark.parametrize("content, kept", [(8190, True), (8191, False)])
    def test_the_limit_is_the_library_line_buffer(self, library, content, kept):
        line = "DM\t-70.0\t1.0\t" + "y" * (content - 13) + "\n"
        with Decoder(library=library) as decoder:
            decoder.feed(DM_HEADER.encode())
            assert len(decoder.feed(line.encode())) == int(kept)
            assert decoder.lines == 2

    def test_memory_stays_bounded_for_a_huge_line(self, tmp_path, library):
        log = tmp_path / "huge.log"
        with open(log, "wb") as f:
            f.write(DM_HEADER.encode())
            for _ in range(32):
                f.write(b"z" * (1 << 20))  # one 32 MiB line
            f.write(b"\nDM\t-70.0\t1.0\n")
        tracemalloc.start()
        try:
            items = list(decode_file(log, library=library, chunk_size=1 << 20))
            peak = tracemalloc.get_traced_memory()[1]
        finally:
            tracemalloc.stop()
        assert [i.line for i in items] == [3]
        assert peak < 8 << 20, peak  # a chunk or two, never the line
