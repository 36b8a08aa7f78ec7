"""decode_many on a local cluster of two worker processes agrees with decoding
the same logs one after the other in this process."""

import json
import os
import shutil
import signal
import subprocess
import sys

import pandas as pd
import pytest

from wendrake import WendrakeWarning
from wendrake.__main__ import main
from wendrake.dask import decode_many, log_table
from wendrake.summary import FIELDS, summarize_or_error

from conftest import SAMPLE, SAMPLE_ITEMS, SOURCE


@pytest.fixture(scope="module")
def logs(tmp_path_factory):
    """Three copies of the sample and a shorter log cut from it, so the rows differ."""
    folder = tmp_path_factory.mktemp("campaign")
    paths = []
    for i in range(3):
        paths.append(folder / ("drive%d.log" % i))
        shutil.copy(SAMPLE, paths[-1])
    lines = SAMPLE.read_bytes().splitlines(keepends=True)
    paths.append(folder / "half.log")
    paths[-1].write_bytes(b"".join(lines[:len(lines) // 2]))
    return [str(p) for p in paths]


@pytest.fixture(scope="module")
def client(library):
    distributed = pytest.importorskip("distributed")
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                       host="127.0.0.1", dashboard_address="127.0.0.1:0")
    client = distributed.Client(cluster)
    yield client
    client.close()
    cluster.close()


def test_summaries_agree_with_sequential_decoding(client, logs, library):
    summary = decode_many(logs, client, library=library)
    sequential = pd.DataFrame([summarize_or_error(p, library=library) for p in logs],
                              columns=list(FIELDS) + ["error"])
    pd.testing.assert_frame_equal(summary, sequential)
    assert summary["error"].isna().all()
    assert list(summary["items"]) == [SAMPLE_ITEMS, SAMPLE_ITEMS, SAMPLE_ITEMS, summary["items"][3]]
    assert 0 < summary["items"][3] < SAMPLE_ITEMS
    # Both workers took part.
    assert len(client.scheduler_info()["workers"]) == 2


def test_parameter_table_agrees_with_sequential_decoding(client, logs, library):
    _, table = decode_many(logs, client, library=library, table=True)
    assert table.npartitions == len(logs)
    computed = table.compute()
    expected = pd.concat([log_table(p, library=library) for p in logs])
    pd.testing.assert_frame_equal(computed, expected)
    assert list(computed.groupby("path", sort=False).size()) == [SAMPLE_ITEMS, SAMPLE_ITEMS, SAMPLE_ITEMS, len(
        log_table(logs[3], library=library))]


class TestOneBadLogAmongGoodOnes:
    def test_each_log_gets_a_row_and_the_bad_ones_say_why(self, client, logs, library, tmp_path):
        bad = [str(tmp_path / "missing.log"), str(tmp_path)]
        with pytest.warns(WendrakeWarning, match="leaves out 2 log"):
            summary, table = decode_many([logs[3], bad[0], logs[0], bad[1]], client, library=library,
                                         table=True)
        assert list(summary["path"]) == [logs[3], bad[0], logs[0], bad[1]]
        assert list(summary["items"].isna()) == [False, True, False, True]
        assert "FileNotFoundError" in summary["error"][1] and "IsADirectoryError" in summary["error"][3]
        assert summary["error"][[0, 2]].isna().all() and summary["items"][2] == SAMPLE_ITEMS
        assert list(table.compute()["path"].unique()) == [logs[3], logs[0]]

    def test_the_stats_command_prints_the_good_logs_and_fails(self, logs, library, tmp_path, capsys):
        missing = str(tmp_path / "missing.log")
        assert main(["stats", "--json", logs[3], missing, "--library", library]) == 2
        out, err = capsys.readouterr()
        assert [json.loads(line)["path"] for line in out.splitlines()] == [logs[3]]
        assert err.count("\n") == 1 and missing in err and "No such file" in err


class TestWorkerCounts:
    @pytest.mark.parametrize("count", ["0", "-1", "two"])
    def test_the_command_refuses_counts_below_one(self, logs, library, capsys, count):
        assert main(["stats", logs[0], "--workers", count, "--library", library]) == 2
        err = capsys.readouterr().err
        assert err.startswith("wendrake: argument --workers") and err.count("\n") == 1

    @pytest.mark.parametrize("count", [0, -1, 1.5, True])
    def test_decode_many_refuses_them(self, logs, count):
        with pytest.raises(ValueError, match="n_workers"):
            decode_many(logs[:1], n_workers=count)

    def test_a_script_without_the_main_guard_fails_at_once(self, tmp_path, logs, library):
        script = tmp_path / "campaign.py"
        script.write_text("import wendrake\nprint(wendrake.decode_many([%r]))\n" % logs[3])
        env = dict(os.environ, WENDRAKE_LIBRARY=library, PYTHONPATH=str(SOURCE / "python"))
        process = subprocess.Popen([sys.executable, str(script)], stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, env=env, start_new_session=True)
        try:
            _, err = process.communicate(timeout=90)
        finally:
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)  # the group: workers included
                process.wait()
        assert process.returncode != 0
        assert b'if __name__ == "__main__":' in err and b"campaign.py (line 2)" in err


def test_stats_command_on_its_own_local_cluster(logs, library, capsys):
    def stats(*extra):
        assert main(["--library", library, "stats", "--json", *extra] + logs[2:]) == 0
        return [json.loads(line) for line in capsys.readouterr().out.splitlines()]

    sequential = stats()
    assert [row["path"] for row in sequential] == logs[2:]
    assert sequential[0]["items"] == SAMPLE_ITEMS and sequential[0]["start"] == "2011-10-19T15:42:07.137000"
    assert stats("--workers", "2") == sequential
