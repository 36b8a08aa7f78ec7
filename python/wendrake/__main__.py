"""python3 -m wendrake plot LOG -o kpis.png | stats LOG... [--json] [--workers N | --scheduler ADDR]"""

import argparse
import datetime
import json
import sys

from ._native import WendrakeError


def _plot(args):
    from .plot import plot_kpis

    plot_kpis(args.log, args.output, module=args.module, library=args.library, title=args.title,
              dpi=args.dpi)
    print(args.output)


def _stats(args):
    if args.workers or args.scheduler:
        from .dask import decode_many

        frame = decode_many(args.logs, args.scheduler, module=args.module, library=args.library,
                            n_workers=args.workers or 2)
        rows = frame.to_dict("records")
    else:
        from .summary import summarize

        rows = [summarize(path, args.module, library=args.library) for path in args.logs]
    if args.json:
        for row in rows:
            print(json.dumps({k: _plain(v) for k, v in row.items()}))
        return
    for row in rows:
        width = max(len(k) for k in row)
        for key, value in row.items():
            print("%-*s  %s" % (width, key, _plain(value)))
        print()


def _plain(value):
    if value is None or value != value:  # None, NaN, NaT
        return None
    if isinstance(value, datetime.datetime):
        return value.isoformat()
    if hasattr(value, "item"):  # numpy scalars
        return value.item()
    return value


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m wendrake",
                                     description="Drive-test logs decoded by libwendrake.")
    parser.add_argument("--library", help="path of libwendrake (default: $WENDRAKE_LIBRARY, "
                        "the source tree's build directories, the system)")
    parser.add_argument("--module", default="B101", help="chip module type (default B101)")
    commands = parser.add_subparsers(dest="command", required=True)

    plot = commands.add_parser("plot", help="draw the radio KPIs of a log over time")
    plot.add_argument("log")
    plot.add_argument("-o", "--output", default="kpis.png", help="PNG, SVG or PDF (default kpis.png)")
    plot.add_argument("--title")
    plot.add_argument("--dpi", type=int, default=110)
    plot.set_defaults(run=_plot)

    stats = commands.add_parser("stats", help="summarise logs: counts, time span, KPI figures")
    stats.add_argument("logs", nargs="+", metavar="LOG")
    stats.add_argument("--json", action="store_true", help="one JSON object per log")
    stats.add_argument("--workers", type=int, help="decode on a local Dask cluster of N workers")
    stats.add_argument("--scheduler", help="decode on the Dask cluster at this address")
    stats.set_defaults(run=_stats)

    args = parser.parse_args(argv)
    try:
        args.run(args)
    except (OSError, ValueError, TypeError, WendrakeError) as e:
        print("wendrake: %s" % e, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
