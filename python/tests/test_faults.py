"""Inputs that once lost data or were misreported, one class per fault."""

import os
import signal
import subprocess
import sys
import time
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

    def test_the_command_prints_one_line_on_standard_error(self, tmp_path, library):
        log = write_log(tmp_path / "cut.log", DM_HEADER + "DM\t-70.0\t1.0")
        result = subprocess.run([sys.executable, "-m", "wendrake", "stats", "--json", str(log)],
                                capture_output=True, env=module_env(library), timeout=120)
        assert result.returncode == 0, result.stderr
        assert result.stderr.decode().count("\n") == 1 and b"no newline" in result.stderr
        assert b'"items": 1' in result.stdout and b'"lines": 2' in result.stdout


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


class TestEvdoStateChanges:
    def test_changes_count_values_that_differ_from_the_last_one_set(self, tmp_path, library):
        # AT_State 3, 3, 5, 5, 3, 0 sets the EV-DO state word to 0, 0, 2, 2, 0, 0:
        # two changes. The first value is none, nor is the same value set again,
        # nor an AT_State change that leaves the word as it was.
        body = "".join("CEVS\t1\t%d\n" % at for at in (3, 3, 5, 5, 3, 0))
        log = write_log(tmp_path / "evdo.log", "RegReport\tCEVS\tSession_State\tAT_State\n" + body)
        values = [p.stored for i in decode_file(log, library=library)
                  for p in i.current if p.id == header.PARAM_EVDO_STATE]
        assert values == [0, 0, 2, 2, 0, 0]
        assert summarize(log, library=library)["evdo_state_changes"] == 2


class TestLogTextIsPlainInPlots:
    def test_dollar_signs_in_event_names_and_file_names_are_drawn_as_written(self, tmp_path, library):
        from wendrake.plot import plot_kpis

        # Unbalanced math markup: read as math, it fails when drawn.
        log = write_log(tmp_path / "drive $\\frac$.log", SMALL_HEADER + "DM\t-70.0\t1.0\t-5.0\t3.0\t4.0\n"
                        "EVT\t0x0101\t$\\sqrt{$ handoff\nSEC\t9\t0\nDM\t-71.0\t1.0\t-5.0\t3.0\t4.0\n")
        fig = plot_kpis(log, tmp_path / "out.png", library=library)
        texts = [t for ax in fig.axes for t in ax.texts] + [fig._suptitle]
        assert "$\\sqrt{$ handoff" in [t.get_text() for t in texts]
        assert "drive $\\frac$.log" in fig._suptitle.get_text()
        assert not any(t.get_parse_math() for t in texts if "$" in t.get_text())


class TestLogWithoutClock:
    def test_it_is_drawn_against_item_index_and_says_so(self, tmp_path, library):
        from wendrake.plot import plot_kpis

        log = write_log(tmp_path / "noclock.log", SMALL_HEADER.split("DAY")[0] + "".join(
            "DM\t-7%d.0\t-10.0\t-6.0\t3.0\t4.0\n" % (i % 10) for i in range(20)))
        fig = plot_kpis(log, library=library)
        texts = [t.get_text() for ax in fig.axes for t in ax.texts]
        assert "no Rx AGC in this log" not in texts and "no Ec/Io in this log" not in texts
        assert "no clock" in fig.axes[-1].get_xlabel() and "no clock" in fig._suptitle.get_text()
        assert len(fig.axes[1].lines[0].get_xdata()) == 20


class TestPlotOutput:
    def test_the_log_itself_is_refused_and_kept(self, tmp_path, library):
        from wendrake.plot import plot_kpis

        log = write_log(tmp_path / "drive.png", SMALL_HEADER + "DM\t-70.0\t1.0\t-5.0\t3.0\t4.0\n")
        before = log.read_bytes()
        with pytest.raises(ValueError, match="is the input log"):
            plot_kpis(log, tmp_path / "." / "drive.png", library=library)
        assert log.read_bytes() == before

    def test_a_failed_write_leaves_nothing_under_the_final_name(self, tmp_path, library, monkeypatch):
        from matplotlib.figure import Figure

        from wendrake.plot import plot_kpis

        log = write_log(tmp_path / "drive.log", SMALL_HEADER + "DM\t-70.0\t1.0\t-5.0\t3.0\t4.0\n")

        def fail(self, target, **kwargs):
            target.write(b"half")
            raise OSError("disk full")
        monkeypatch.setattr(Figure, "savefig", fail)
        with pytest.raises(OSError, match="disk full"):
            plot_kpis(log, tmp_path / "kpis.png", library=library)
        assert sorted(p.name for p in tmp_path.iterdir()) == ["drive.log"]

    def test_the_suffix_is_read_in_any_case(self, tmp_path, library):
        from wendrake.plot import plot_kpis

        log = write_log(tmp_path / "drive.log", SMALL_HEADER + "DM\t-70.0\t1.0\t-5.0\t3.0\t4.0\n")
        plot_kpis(log, tmp_path / "KPIS.SVG", library=library)
        assert (tmp_path / "KPIS.SVG").read_bytes().lstrip().startswith(b"<?xml")
        assert oct((tmp_path / "KPIS.SVG").stat().st_mode & 0o777) != oct(0o600)
        with pytest.raises(ValueError, match="unknown image format 'xyz'"):
            plot_kpis(log, tmp_path / "kpis.xyz", library=library)


class TestCommandLineOptions:
    @pytest.fixture
    def log(self, tmp_path):
        return str(write_log(tmp_path / "drive.log", DM_HEADER + "DM\t-70.0\t1.0\n"))

    def run(self, capsys, *argv):
        from wendrake.__main__ import main

        status = main(list(argv))
        out, err = capsys.readouterr()
        return status, out, err

    @pytest.mark.parametrize("module", ["0xB101", "0XB101", "b101", "B101", "0xb20a", "BD00"])
    def test_options_work_after_the_subcommand_in_any_spelling(self, capsys, library, log, module):
        status, out, err = self.run(capsys, "stats", log, "--json", "--module", module,
                                    "--library", library)
        assert (status, err) == (0, "") and '"items": 1' in out
        assert self.run(capsys, "-m", module, "--library", library, "stats", log)[0] == 0

    @pytest.mark.parametrize("argv, named", [
        (["stats", "LOG", "--frobnicate"], "--frobnicate"),
        (["stats", "LOG", "-m", "X"], "'X'"),
        (["stats", "LOG", "-m", " B101"], "' B101'"),
        (["plot", "LOG", "-o", ""], "-o/--output"),
        (["stats", "LOG", "--library", ""], "--library"),
        (["plot", "LOG", "--dpi", "0"], "--dpi")])
    def test_bad_options_fail_in_one_line_that_names_them(self, capsys, log, argv, named):
        status, out, err = self.run(capsys, *[log if a == "LOG" else a for a in argv])
        assert status == 2 and out == ""
        assert err.startswith("wendrake: ") and err.count("\n") == 1 and named in err


class TestTextReachingTheTerminal:
    def test_control_bytes_in_file_names_are_escaped(self, tmp_path, library, capsys):
        from wendrake.__main__ import main

        missing = str(tmp_path / "a\nb\x1b[2J.log")
        assert main(["stats", missing, "--library", library]) == 2
        err = capsys.readouterr().err
        assert err.count("\n") == 1 and "\x1b" not in err and "a\\nb\\x1b[2J.log" in err
        log = write_log(tmp_path / "c\rd.log", DM_HEADER + "DM\t-70.0\t1.0\n")
        assert main(["stats", str(log), "--library", library]) == 0
        out = capsys.readouterr().out
        assert "\r" not in out and "c\\rd.log" in out


class TestDecodeManyArguments:
    def test_one_path_instead_of_a_list_is_refused(self, tmp_path):
        from wendrake.dask import decode_many

        with pytest.raises(TypeError, match="list of paths"):
            decode_many(str(tmp_path / "drive.log"))


class TestClosedPipe:
    """`python3 -m wendrake ... | head`: when the reader goes away the command
    ends as every filter does, killed by SIGPIPE, nothing on standard error."""

    @pytest.mark.parametrize("argv", [["stats", "LOG"], ["stats", "--json", "LOG", "LOG"], ["--help"],
                                      ["--version"], ["stats", "--help"]])
    def test_a_pipe_closed_before_the_output(self, tmp_path, library, argv):
        log = str(write_log(tmp_path / "drive.log", DM_HEADER + "DM\t-70.0\t1.0\n"))
        reader, writer = os.pipe()
        os.close(reader)
        result = subprocess.run([sys.executable, "-m", "wendrake", *[log if a == "LOG" else a for a in argv]],
                                stdout=writer, stderr=subprocess.PIPE, env=module_env(library), timeout=120)
        os.close(writer)
        assert (result.returncode, result.stderr) == (-signal.SIGPIPE, b"")

    def test_other_failed_writes_are_still_errors(self, tmp_path, library):
        log = str(write_log(tmp_path / "drive.log", DM_HEADER + "DM\t-70.0\t1.0\n"))
        with open("/dev/full", "wb") as full:
            result = subprocess.run([sys.executable, "-m", "wendrake", "stats", log], stdout=full,
                                    stderr=subprocess.PIPE, env=module_env(library), timeout=120)
        assert result.returncode == 2 and b"No space left on device" in result.stderr


class TestLogCutWhileItIsRead:
    """A log truncated while Table(path) reads it (log rotation) once killed
    the process with SIGBUS; it gives the table of the lines read so far."""

    SCRIPT = ("import sys, wendrake.columns as c\n"
              "t = c.Table(sys.argv[1])\n"
              "line = t.column('line')\n"
              "print(t.rows, t.lines, int(line[-1]) if t.rows else 0, bool((line[1:] > line[:-1]).all()))\n")

    def test_the_process_survives_and_keeps_a_prefix(self, tmp_path, library):
        sample = (SOURCE / "examples" / "sample_drive.log").read_bytes()
        data = sample * (24 * 2**20 // len(sample))
        log = tmp_path / "rotated.log"
        log.write_bytes(data)
        reader = subprocess.Popen([sys.executable, "-c", self.SCRIPT, str(log)], env=module_env(library),
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        # Once the process has the log open, it is stopped, the log cut to a
        # third, and the process let go on.
        fds, deadline = "/proc/%d/fd" % reader.pid, time.monotonic() + 60
        while reader.poll() is None and time.monotonic() < deadline:
            try:
                if any(os.readlink(os.path.join(fds, fd)) == str(log) for fd in os.listdir(fds)):
                    break
            except OSError:  # a descriptor closed while it was looked at
                pass
            time.sleep(0.001)
        try:
            reader.send_signal(signal.SIGSTOP)
            os.truncate(log, len(data) // 3)
        finally:
            reader.send_signal(signal.SIGCONT)
        out, err = reader.communicate(timeout=120)
        assert reader.returncode == 0, err.decode(errors="replace")
        rows, lines, last_line, ascending = out.decode().split()
        assert int(lines) <= data.count(b"\n") + 1 and int(last_line) <= int(lines)
        assert ascending == "True"


class TestLogWithoutItemsSaysWhy:
    """A frame or the items of a compressed, UTF-16, binary or CR-only log
    are empty with a warning in the command line tool's own words, not
    silently."""

    def test_reasons_match_the_tool(self, tmp_path, library, cli):
        pytest.importorskip("pandas")
        import gzip
        import random
        rng = random.Random(25)
        text = (DM_HEADER + "DM\t-70.0\t1.0\n" * 40).encode()
        cases = {
            "gz.log": gzip.compress(text),
            "utf16.log": text.decode().encode("utf-16"),
            "noise.log": bytes(rng.randrange(1, 256) for _ in range(3000)).replace(b"\n", b"x") + b"\n",
            "cr.log": text.replace(b"\n", b"\r"),
        }
        for name, data in cases.items():
            log = tmp_path / name
            log.write_bytes(data)
            said = subprocess.run([cli, "stats", str(log)], capture_output=True, text=True).stderr.splitlines()[-1]
            with pytest.warns(WendrakeWarning) as caught:
                frame = wendrake.to_dataframe(log, library=library)
            assert len(frame) == 0
            assert "wendrake: " + str(caught[-1].message) == said, name
            with pytest.warns(WendrakeWarning) as caught:
                assert list(decode_file(log, library=library)) == []
            assert "wendrake: " + str(caught[-1].message) == said, name
        empty = tmp_path / "empty.log"
        empty.write_bytes(b"")
        import warnings
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            assert len(wendrake.to_dataframe(empty, library=library)) == 0
            assert list(decode_file(empty, library=library)) == []
