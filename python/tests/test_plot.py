"""The KPI figure: `python3 -m wendrake plot` writes a valid PNG; logs that lack
some KPIs still draw."""

import os
import struct
import subprocess
import sys
import zlib

import pytest

from wendrake.plot import PANELS, _join, plot_kpis

from conftest import SAMPLE, SMALL_HEADER, SOURCE, write_log


def png_size(path):
    """(width, height) of a PNG after checking its signature and header chunk."""
    data = path.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    length, kind = struct.unpack(">I4s", data[8:16])
    assert (length, kind) == (13, b"IHDR")
    assert struct.unpack(">I", data[29:33])[0] == zlib.crc32(data[12:29])
    assert data[-12:] == b"\0\0\0\0IEND\xaeB`\x82"
    return struct.unpack(">II", data[16:24])


def module_env(library, **extra):
    path = os.pathsep.join(filter(None, [str(SOURCE / "python"), os.environ.get("PYTHONPATH")]))
    return dict(os.environ, WENDRAKE_LIBRARY=library, PYTHONPATH=path, **extra)


def test_module_command_draws_the_sample(tmp_path, library):
    out = tmp_path / "kpis.png"
    env = module_env(library, MPLBACKEND="template")
    result = subprocess.run([sys.executable, "-m", "wendrake", "plot", str(SAMPLE), "-o", str(out)],
                            capture_output=True, env=env, timeout=300)
    assert result.returncode == 0, result.stderr.decode()
    width, height = png_size(out)
    assert 1000 <= width <= 3000 and 800 <= height <= 3000
    assert out.stat().st_size > 60_000  # six panels of curves, not an empty canvas


def test_module_command_reports_a_missing_log(tmp_path, library):
    env = module_env(library)
    result = subprocess.run([sys.executable, "-m", "wendrake", "plot", str(tmp_path / "nope.log"),
                             "-o", str(tmp_path / "x.png")], capture_output=True, env=env, timeout=120)
    assert result.returncode == 2 and b"No such file" in result.stderr
    assert not (tmp_path / "x.png").exists()


def test_log_without_evdo_or_events_still_draws(tmp_path, library):
    log = write_log(tmp_path / "1x.log", SMALL_HEADER + "".join(
        "SEC\t%d\t0\nDM\t-7%d.0\t-10.0\t-6.0\t\t\n" % (8 + i, i % 10) for i in range(30)))
    fig = plot_kpis(log, tmp_path / "1x.svg", library=library)
    assert len(fig.axes) == len(PANELS) + 1
    assert (tmp_path / "1x.svg").read_bytes().lstrip().startswith(b"<?xml")
    texts = [t.get_text() for ax in fig.axes for t in ax.texts]
    assert "no RLP throughput in this log" in texts


@pytest.mark.parametrize("labels, joined", [
    (["HANDOFF_START", "HANDOFF_COMPLETE"], "HANDOFF_START/COMPLETE"),
    (["HDR_CONNECTION_CLOSE", "HDR_DORMANT"], "HDR_CONNECTION_CLOSE/DORMANT"),
    (["POWER_UP", "REGISTRATION"], "POWER_UP/REGISTRATION"),
    (["CALL", "CALL_END"], "CALL/CALL_END")])
def test_close_event_names_share_their_leading_words(labels, joined):
    assert _join(labels) == joined
