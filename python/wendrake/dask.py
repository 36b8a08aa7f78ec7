"""Many logs decoded in parallel on a Dask cluster.

Each log is decoded inside a worker by its own decoder object; only the small
per-log summary travels back, and the parameter table stays a lazy dask
DataFrame until it is computed.

    summary = decode_many(paths)                          # local cluster, 127.0.0.1
    summary, table = decode_many(paths, "tcp://scheduler:8786", table=True)
"""

import os
import warnings

from . import _native, params
from ._native import WendrakeWarning
from .dataframe import ITEM_COLUMNS, TABLE_COLUMNS, to_dataframe
from .spawn_guard import check_main_is_guarded
from .summary import FIELDS, summarize_or_error


def decode_many(paths, client=None, *, module=0xB101, library=None, table=False, n_workers=2):
    """Summarises every log of `paths` on a Dask cluster; returns the summary
    DataFrame (one row per log, in the order given), or with `table=True` the
    pair (summary, table), where table is a dask DataFrame of every item of
    every log (to_dataframe's columns for all parameters, plus "path"), one
    partition per log.

    A log that cannot be read or decoded loses no other: its row holds None
    figures and, in the last column "error", why (None for the good logs);
    the table leaves it out, with a WendrakeWarning that names it.

    `client` is a distributed.Client, a scheduler address such as
    "tcp://10.0.0.5:8786", or None to start a local cluster of `n_workers`
    single-threaded worker processes on 127.0.0.1 for this call. Workers of a
    remote cluster need this package and the library, and read the paths
    themselves; `library` is passed to them as given. A script that starts a
    local cluster must call this under `if __name__ == "__main__":`, since
    each worker process re-runs the script's unguarded code.
    """
    import pandas as pd
    from distributed import Client, LocalCluster

    if isinstance(paths, (str, bytes, os.PathLike)):
        raise TypeError("decode_many takes a list of paths, not one path: decode_many([%r])" % (paths,))
    module = _native.module_type(module)
    if isinstance(n_workers, bool) or not isinstance(n_workers, int) or n_workers < 1:
        raise ValueError("n_workers must be a whole number of at least 1, not %r" % (n_workers,))
    paths = [os.fspath(p) for p in paths]
    owned = []
    try:
        if client is None:
            check_main_is_guarded("decode_many")
            # Local workers see the same files and the same library as this process.
            paths = [os.path.abspath(p) for p in paths]
            library = _native.find_library(library)
            # The scheduler always serves HTTP: on loopback, at any free port.
            cluster = LocalCluster(n_workers=n_workers, threads_per_worker=1, processes=True,
                                   host="127.0.0.1", dashboard_address="127.0.0.1:0")
            owned.append(cluster)
            client = Client(cluster)
            owned.append(client)
        elif isinstance(client, str):
            client = Client(client)
            owned.append(client)
        futures = client.map(summarize_or_error, paths, module=module, library=library, pure=False)
        summary = pd.DataFrame(client.gather(futures), columns=list(FIELDS) + ["error"])
    finally:
        for thing in reversed(owned):
            thing.close()
    if not table:
        return summary
    failed = summary["error"].notna()
    if failed.any():
        warnings.warn("the table leaves out %d log(s) that could not be read: %s" % (
            failed.sum(), "; ".join("%s (%s)" % (p, e) for p, e in
                                    zip(summary["path"][failed], summary["error"][failed]))),
            WendrakeWarning, stacklevel=2)
    return summary, _lazy_table(list(summary["path"][~failed]), module, library)


def _lazy_table(paths, module, library):
    import dask
    import dask.dataframe as dd

    if not paths:
        return dd.from_pandas(table_meta(), npartitions=1)
    parts = [dask.delayed(log_table, pure=True)(path, module, library) for path in paths]
    return dd.from_delayed(parts, meta=table_meta(), verify_meta=False)


def log_table(path, module=0xB101, library=None):
    """to_dataframe of one log with every parameter column and a leading "path"."""
    df = to_dataframe(path, module, library=library, all_params=True)
    df.insert(0, "path", os.fspath(path))
    return df


def table_meta():
    """The empty frame every partition of the table matches."""
    import numpy as np
    import pandas as pd

    columns = {"path": np.array([], dtype=object), "line": np.array([], dtype=np.int64),
               "record": np.array([], dtype=object), "code": np.array([], dtype=np.int64),
               "direction": np.array([], dtype=np.int16)}
    assert tuple(columns)[1:] == ITEM_COLUMNS
    for pid in params.VALUED_IDS:
        columns[params.name(pid)] = np.array([], dtype=np.float64)
    for name in TABLE_COLUMNS[:-1]:  # the position
        columns[name] = np.array([], dtype=np.float64)
    columns["evdo_state"] = np.array([], dtype=object)
    return pd.DataFrame(columns, index=pd.DatetimeIndex([], name="time"))
