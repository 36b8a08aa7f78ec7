"""The command line tool and the package tell one story of the sample drive:
the same EV-DO states and durations, positions and units, whichever of stats,
params, the report, frames, summaries or plots an analyst reads."""

import csv
import io
import json
import math
import re
import subprocess

import numpy as np
import pytest

import wendrake
from wendrake import params
from wendrake.plot import _state_spans, plot_kpis
from wendrake.summary import summarize

from conftest import SAMPLE


def run(cli, *args):
    done = subprocess.run([cli, *args], capture_output=True, check=True, env={"TZ": "UTC0"})
    return done.stdout.decode("utf-8")


@pytest.fixture(scope="module")
def frame(library):
    return wendrake.to_dataframe(SAMPLE, library=library)


@pytest.fixture(scope="module")
def report(cli, tmp_path_factory):
    page = tmp_path_factory.mktemp("report") / "report.html"
    run(cli, "report", str(SAMPLE), "-o", str(page))
    data = re.search(r'<script type="application/json" id="drive-data">(.*?)</script>',
                     page.read_text(encoding="utf-8"), re.S).group(1)
    return json.loads(data)


def test_evdo_durations_and_changes_agree(cli, library, report):
    stats = json.loads(run(cli, "stats", "--json", str(SAMPLE)))
    summary = summarize(SAMPLE, library=library)
    assert report["evdo_states"] == list(params.EVDO_STATES) == ["inactive", "idle", "connected"]
    for k, state in enumerate(params.EVDO_STATES):
        seconds = summary["evdo_%s_s" % state]
        assert seconds > 0, state  # the sample passes through every state
        assert stats["evdo_seconds"][state] == pytest.approx(seconds, abs=5e-4)
        assert report["evdo_seconds"][k] == pytest.approx(seconds, abs=5e-4)
    assert stats["evdo_state_change_count"] == summary["evdo_state_changes"] == len(stats["evdo_state_changes"])

    # The plot's strip: the same stretches, under the same names.
    with wendrake.decode_file(SAMPLE, library=library) as items:
        own = wendrake.to_dataframe(list(items), carried=False)
    spans = _state_spans(own[own.index.notna()])
    drawn = dict.fromkeys(params.EVDO_STATES, 0.0)
    for start, end, state in spans:
        drawn[state] += (end - start).total_seconds()
    assert drawn == pytest.approx({s: summary["evdo_%s_s" % s] for s in params.EVDO_STATES}, abs=5e-4)
    assert len(spans) == summary["evdo_state_changes"] + 1
    # Its bands are labelled by those names (the event names above are annotations).
    from matplotlib.text import Annotation

    figure = plot_kpis(SAMPLE, library=library)
    labels = {t.get_text() for t in figure.axes[0].texts if not isinstance(t, Annotation)}
    assert labels == set(params.EVDO_STATES)
    # The panels' units are the catalogue's.
    assert [ax.get_ylabel() for ax in figure.axes[1:]] == [
        "Rx AGC\n(dBm)", "Tx power\n(dBm)", "Ec/Io\n(dB)", "C/I and SINR\n(dB)", "RLP throughput\n(kbit/s)"]


def test_evdo_state_of_each_item_agrees(cli, frame, report):
    states = frame.set_index("line")["evdo_state"]
    # The report's strip, item by item.
    series = report["series"]
    for line, code in zip(series["line"], series["evdo"]):
        expected = states[line]
        assert (None if code is None else params.EVDO_STATES[code]) == (None if expected != expected else expected)
    # stats lists the changes where the frame's state changes.
    stats = json.loads(run(cli, "stats", "--json", str(SAMPLE)))
    for change in stats["evdo_state_changes"]:
        assert states[change["line"]] == params.EVDO_STATES[change["to"]]
    # On a 1x traffic channel (a voice or 1x data call) EV-DO is inactive.
    on_traffic = frame["L3State"] == 2
    assert on_traffic.sum() > 100
    assert set(frame.loc[on_traffic, "evdo_state"]) == {"inactive"}


def test_positions_and_units_in_the_csv_and_the_frame(cli, frame, library):
    rows = list(csv.reader(io.StringIO(run(cli, "params", str(SAMPLE), "--csv"))))
    header = rows[0]
    assert header[:8] == ["line", "time", "record", "code", "label", "latitude", "longitude", "fix_age"]
    assert len(rows) - 1 == len(frame)
    # The script's label, as the frame has it (empty before the first).
    label = wendrake.to_dataframe(SAMPLE, library=library, labels=True)["label"]
    labels = label.astype(object).where(label.notna(), "")
    assert [row[4] for row in rows[1:]] == list(labels)
    assert labels.ne("").any()
    for name in ("latitude", "longitude", "fix_age"):
        at = header.index(name)
        cells = np.array([float(row[at]) if row[at] else math.nan for row in rows[1:]])
        np.testing.assert_array_equal(cells, frame[name].to_numpy(), err_msg=name)
    assert frame["latitude"].notna().sum() > len(frame) // 2

    units = next(csv.reader(io.StringIO(run(cli, "params", str(SAMPLE), "--csv", "--units"))))
    by_name = {params.name(pid): text for pid, text in params.UNITS.items()}
    for plain, labelled in zip(header, units):
        unit = by_name.get(plain) or params.POSITION_UNITS.get(plain)
        assert labelled == (plain + " [%s]" % unit if unit else plain)
    assert "Rxagc [dBm]" in units and "EV_RxRLPThroughput [kbit/s]" in units and "fix_age [s]" in units

    assert frame.attrs["units"]["Rxagc"] == "dBm" and frame.attrs["units"]["Total_EcIo"] == "dB"
    assert frame.attrs["units"]["latitude"] == "deg" and "EvdoState" not in frame.attrs["units"]
    stats = json.loads(run(cli, "stats", "--json", str(SAMPLE)))
    assert {p["name"]: p["unit"] for p in stats["params"]}["Txpower"] == "dBm"
    assert all(p["unit"] == (params.unit(int(p["id"], 16)) or "") for p in stats["params"])
