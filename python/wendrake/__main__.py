"""python3 -m wendrake plot LOG -o kpis.png | stats LOG... [--json] [--workers N | --scheduler ADDR]

Common options (--library, -m/--module) go before or after the subcommand.
Exit status: 0 success, 2 usage or file error (one line on standard error);
killed by SIGPIPE (141) when the reader of a pipe goes away.
"""

import argparse
import datetime
import json
import os
import signal
import sys
import warnings

from . import __version__, _native
from ._native import WendrakeError


class _UsageError(Exception):
    pass


def _printable(text):
    """`text` with control characters (a newline or escape in a file name)
    shown escaped, so they can neither split a line nor drive the terminal."""
    return "".join(c if c.isprintable() else repr(c)[1:-1] for c in str(text))


def _say(message):
    """One line on standard error."""
    print("wendrake: " + _printable(message), file=sys.stderr)


class _Parser(argparse.ArgumentParser):
    # One line on standard error, as every other failure; argparse's usage
    # block would bury the message.
    def error(self, message):
        raise _UsageError(message + " (see --help)")


def _nonempty(text):
    if not text:
        raise argparse.ArgumentTypeError("must not be empty")
    return text


def _module(text):
    try:
        _native.module_type(text)
    except ValueError as e:
        raise argparse.ArgumentTypeError(str(e)) from None
    return text


def _count(text):
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError("expected a whole number, not %r" % text) from None
    if value < 1:
        raise argparse.ArgumentTypeError("must be at least 1, not %d" % value)
    return value


def _common_options(parser, default_module):
    """--library and -m/--module."""
    parser.add_argument("--library", type=_nonempty,
                        help="path of libwendrake (default: $WENDRAKE_LIBRARY, "
                        "the source tree's build directories, the system)")
    parser.add_argument("-m", "--module", type=_module, default=default_module,
                        help="chip module type: B101, B200, B20A, B20B or BD00, with or "
                        "without 0x, any case (default B101)")


def _plot(args):
    from .plot import plot_kpis

    plot_kpis(args.log, args.output, module=args.module, library=args.library, title=args.title,
              dpi=args.dpi)
    print(_printable(args.output))


def _stats(args):
    if args.workers or args.scheduler:
        from .dask import decode_many

        frame = decode_many(args.logs, args.scheduler, module=args.module, library=args.library,
                            n_workers=args.workers or 2)
        rows = frame.to_dict("records")
    else:
        from .summary import summarize_or_error

        _native.module_type(args.module)
        rows = [summarize_or_error(path, args.module, library=args.library) for path in args.logs]
    failed = 0
    for row in rows:
        error = row.pop("error", None)
        if error is not None and error == error:  # NaN when a frame column is all None
            _say("%s: %s" % (row["path"], error))
            failed += 1
        elif args.json:
            print(json.dumps({k: _plain(v) for k, v in row.items()}))
        else:
            width = max(len(k) for k in row)
            for key, value in row.items():
                print("%-*s  %s" % (width, key, _printable(_plain(value))))
            print()
    return 2 if failed else 0


def _plain(value):
    if value is None or value != value:  # None, NaN, NaT
        return None
    if isinstance(value, datetime.datetime):
        return value.isoformat()
    if hasattr(value, "item"):  # numpy scalars
        return value.item()
    return value


def _parser():
    parser = _Parser(prog="python3 -m wendrake", description="Drive-test logs decoded by libwendrake.")
    parser.add_argument("--version", action="version", version="wendrake " + __version__)
    _common_options(parser, "B101")
    # The same options after the subcommand; absent there, they keep the
    # value (or default) from before it.
    common = _Parser(add_help=False, argument_default=argparse.SUPPRESS)
    _common_options(common, argparse.SUPPRESS)
    commands = parser.add_subparsers(dest="command", required=True, parser_class=_Parser)

    plot = commands.add_parser("plot", parents=[common], help="draw the radio KPIs of a log over time")
    plot.add_argument("log")
    plot.add_argument("-o", "--output", type=_nonempty, default="kpis.png",
                      help="PNG, SVG or PDF, by the suffix in any case (default kpis.png)")
    plot.add_argument("--title")
    plot.add_argument("--dpi", type=_count, default=110)
    plot.set_defaults(run=_plot)

    stats = commands.add_parser("stats", parents=[common],
                                help="summarise logs: counts, time span, KPI figures")
    stats.add_argument("logs", nargs="+", metavar="LOG")
    stats.add_argument("--json", action="store_true", help="one JSON object per log")
    stats.add_argument("--workers", type=_count, help="decode on a local Dask cluster of N workers")
    stats.add_argument("--scheduler", type=_nonempty, help="decode on the Dask cluster at this address")
    stats.set_defaults(run=_stats)
    return parser


def _one_line_warning(message, category, filename, lineno, file=None, line=None):
    _say(message)


def _run(argv):
    with warnings.catch_warnings():
        warnings.showwarning = _one_line_warning
        try:
            args = _parser().parse_args(argv)
            return args.run(args) or 0
        except SystemExit as e:  # argparse after --help or --version
            return e.code or 0
        except _UsageError as e:
            _say(e)
            return 2
        except BrokenPipeError:
            raise
        except (OSError, ValueError, TypeError, WendrakeError) as e:
            _say(e)
            return 2


def _end_by_closed_pipe():
    """The reader of standard output went away (`| head`): end quietly, as
    every filter in a pipeline does, killed by SIGPIPE (status 141)."""
    os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())  # no flush error at exit
    if hasattr(signal, "SIGPIPE"):
        signal.signal(signal.SIGPIPE, signal.SIG_DFL)
        os.kill(os.getpid(), signal.SIGPIPE)
    return 141


def main(argv=None):
    try:
        status = _run(argv)
        sys.stdout.flush()  # here, where a closed pipe can still be told apart
        return status
    except BrokenPipeError:
        return _end_by_closed_pipe()
    except OSError as e:  # standard output on a full disk, say
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())  # no second failure at exit
        _say("cannot write standard output: %s" % (e.strerror or e))
        return 2


if __name__ == "__main__":
    sys.exit(main())
