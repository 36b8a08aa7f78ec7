"""decode_many on a local cluster of two worker processes agrees with decoding
the same logs one after the other in this process."""

import json
import shutil

import pandas as pd
import pytest

from wendrake.__main__ import main
from wendrake.dask import decode_many, log_table
from wendrake.summary import FIELDS, summarize

from conftest import SAMPLE


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
    sequential = pd.DataFrame([summarize(p, library=library) for p in logs], columns=list(FIELDS))
    pd.testing.assert_frame_equal(summary, sequential)
    assert list(summary["items"]) == [2549, 2549, 2549, summary["items"][3]]
    assert 0 < summary["items"][3] < 2549
    # Both workers took part.
    assert len(client.scheduler_info()["workers"]) == 2


def test_parameter_table_agrees_with_sequential_decoding(client, logs, library):
    _, table = decode_many(logs, client, library=library, table=True)
    assert table.npartitions == len(logs)
    computed = table.compute()
    expected = pd.concat([log_table(p, library=library) for p in logs])
    pd.testing.assert_frame_equal(computed, expected)
    assert list(computed.groupby("path", sort=False).size()) == [2549, 2549, 2549, len(
        log_table(logs[3], library=library))]


def test_missing_log_fails_before_a_cluster_starts(tmp_path, logs):
    with pytest.raises(FileNotFoundError):
        decode_many(logs + [str(tmp_path / "missing.log")])


def test_stats_command_on_its_own_local_cluster(logs, library, capsys):
    def stats(*extra):
        assert main(["--library", library, "stats", "--json", *extra] + logs[2:]) == 0
        return [json.loads(line) for line in capsys.readouterr().out.splitlines()]

    sequential = stats()
    assert [row["path"] for row in sequential] == logs[2:]
    assert sequential[0]["items"] == 2549 and sequential[0]["start"] == "2011-10-19T15:42:07.137000"
    assert stats("--workers", "2") == sequential
