"""Radio KPIs of a drive test over time, as one matplotlib figure.

The figure is built on matplotlib's Agg canvas without pyplot, so it needs no
display and leaves an interactive session's backend alone. Text that comes
from a log or a path (event names, file names) is drawn as plain text, never
read as math markup. A log without clock lines is drawn against item index.
"""

import os
import re
import tempfile

from . import params
from .dataframe import items_of, to_dataframe
from .decoder import decode_file

# Panels: (title, [(column, label, colour, line width)]); a panel's unit is
# its columns' unit in the parameter catalogue.
PANELS = (
    ("Rx AGC", [("Rxagc", "1x Rx AGC", "#1f77b4", 1.4),
                ("RxAGC0", "EV-DO Rx AGC0", "#ff7f0e", 0.9),
                ("RxAGC1", "EV-DO Rx AGC1", "#2ca02c", 0.9)]),
    ("Tx power", [("Txpower", "1x Tx power", "#d62728", 1.4),
                  ("TxPilotPower", "EV-DO Tx pilot power", "#9467bd", 0.9)]),
    ("Ec/Io", [("Total_EcIo", "total Ec/Io", "#1f77b4", 1.4),
               ("ReferenceEcIo", "reference Ec/Io", "#7f7f7f", 0.8)]),
    ("C/I and SINR", [("Total_C/I", "EV-DO C/I", "#ff7f0e", 1.4),
                      ("Total_SINR", "EV-DO SINR", "#8c564b", 0.9)]),
    ("RLP throughput", [("EV_RxRLPThroughput", "EV-DO RLP Rx", "#2ca02c", 1.4),
                        ("EV_TxRLPThroughput", "EV-DO RLP Tx", "#98df8a", 1.0),
                        ("Rlprx_Rate", "1x RLP Rx", "#1f77b4", 1.2),
                        ("Rlptx_Rate", "1x RLP Tx", "#aec7e8", 1.0)]),
)

# Colours of the EV-DO states (params.EVDO_STATES), by name.
STATE_COLOURS = {"inactive": "#e0e0e0", "idle": "#a6cee3", "connected": "#4daf4a"}
CONNECTED = "connected"

_EVENT_NAME = re.compile(r"<EventName>([^<]*)</EventName>")


def event_label(item):
    """The EventName column of an event item, else its event code."""
    match = _EVENT_NAME.search(item.text or "")
    if match and match.group(1).strip():
        return match.group(1).strip()
    return "event 0x%04X" % (item.code & 0xFFFF)


def plot_kpis(source, output=None, *, module=0xB101, library=None, title=None, dpi=110):
    """Draws the KPIs of a log (a path, or a list of Items) and returns the Figure;
    with `output` (a path, or a binary file object), also writes it there: PNG,
    SVG or PDF by the file suffix in any case. A path is written under a
    temporary name in its folder and renamed when complete; it may not be the
    log itself. `title` is the caller's own text, so math markup in it works.

    Items are placed by the log's clock; those before its first clock line
    are left out. A log without clock lines is drawn against item index."""
    from matplotlib.figure import Figure
    import matplotlib.dates as mdates

    is_path = isinstance(source, (str, bytes, os.PathLike))
    image_format = _check_output(output, source if is_path else None)
    if is_path:
        name = os.path.basename(os.fsdecode(source))
        with decode_file(source, module, library=library) as items:
            items = list(items)
    else:
        name = None
        items = list(items_of(source, "plot_kpis"))
    df = to_dataframe(items, carried=False)
    clocked = bool(df.index.notna().any())
    if clocked:
        df = df[df.index.notna()]
        events = [(item.time, event_label(item)) for item in items if item.is_event and item.time]
    else:
        df = df.reset_index(drop=True)
        df.index.name = "item"
        events = [(at, event_label(item)) for at, item in enumerate(items) if item.is_event]

    fig = Figure(figsize=(13, 11), dpi=dpi, layout="constrained")
    grid = fig.add_gridspec(len(PANELS) + 1, 1, height_ratios=[0.45] + [1] * len(PANELS))
    strip = fig.add_subplot(grid[0])
    axes = [fig.add_subplot(grid[i + 1], sharex=strip) for i in range(len(PANELS))]

    spans = _state_spans(df)
    x_extent = _distance(df.index.min(), df.index.max()) if len(df) else 0.0
    _draw_state_strip(strip, spans, events, x_extent or 1.0)
    for ax, (panel, series) in zip(axes, PANELS):
        unit = _unit_of(series)
        drawn = []
        for column, label, colour, width in series:
            if column in df and df[column].notna().any():
                values = df[column].dropna()
                ax.plot(values.index, values.to_numpy(), color=colour, lw=width, label=label)
                drawn.append(values)
        for start, end, state in spans:
            if state == CONNECTED:
                ax.axvspan(start, end, color=STATE_COLOURS[CONNECTED], alpha=0.12, lw=0)
        for when, _ in events:
            ax.axvline(when, color="#555555", lw=0.6, ls=(0, (3, 3)), alpha=0.6)
        if drawn:
            # Headroom above the curves for the legend, so it hides no data.
            low = min(v.min() for v in drawn)
            high = max(v.max() for v in drawn)
            extent = (high - low) or 1.0
            ax.set_ylim(low - 0.08 * extent, high + 0.45 * extent)
        ax.set_ylabel("%s\n(%s)" % (panel, unit) if unit else panel)
        ax.grid(True, color="#dddddd", lw=0.5)
        if drawn:
            ax.legend(loc="upper left", fontsize=8, ncol=len(series), framealpha=0.85)
        else:
            ax.text(0.5, 0.5, "no %s in this log" % panel, transform=ax.transAxes,
                    ha="center", va="center", color="#888888")
        ax.tick_params(labelbottom=False)
    axes[-1].tick_params(labelbottom=True)
    if x_extent > 0:
        axes[-1].set_xlim(df.index.min(), df.index.max())
    if clocked:
        axes[-1].xaxis.set_major_formatter(mdates.DateFormatter("%H:%M:%S"))
        axes[-1].set_xlabel("log clock, %s" % df.index.min().strftime("%Y-%m-%d"))
    else:
        axes[-1].set_xlabel("item index: the log has no clock")

    if title is None:
        span = "over %d min %02d s" % (x_extent // 60, x_extent % 60) if clocked else "(the log has no clock)"
        title = "%sdrive test KPIs: %d items %s; shaded: EV-DO connected, dashed: events" % (
            name + ": " if name else "", len(items), span)
        fig.suptitle(title, fontsize=12, parse_math=False)
    else:
        fig.suptitle(title, fontsize=12)
    if output is not None:
        _save(fig, output, image_format)
    return fig


def _unit_of(series):
    """The unit the catalogue gives the panel's columns (one for them all)."""
    units = {name: params.UNITS.get(pid) for pid, name in params.NAMES.items()}
    found = {units.get(column) for column, _, _, _ in series}
    return found.pop() if len(found) == 1 else None


def _check_output(output, log):
    """The image format of `output` (None for a file object), after refusing
    an empty name, an unknown suffix, and the log itself."""
    if output is None or not isinstance(output, (str, bytes, os.PathLike)):
        return None
    from matplotlib import rcParams
    from matplotlib.backend_bases import FigureCanvasBase

    path = os.fsdecode(output)
    if not path:
        raise ValueError("the output file name is empty")
    suffix = os.path.splitext(path)[1][1:].lower()
    image_format = suffix or rcParams["savefig.format"]
    known = FigureCanvasBase.get_supported_filetypes()
    if image_format not in known:
        raise ValueError("cannot write %s: unknown image format %r (expected %s)"
                         % (path, image_format, ", ".join(sorted(known))))
    if log is not None and os.path.exists(path) and os.path.exists(log) and os.path.samefile(path, log):
        raise ValueError("the output %s is the input log" % path)
    return image_format


def _save(fig, output, image_format):
    """Writes the figure; a path under a temporary name, renamed when complete,
    so a failed write leaves neither a damaged file nor the temporary."""
    if image_format is None:
        fig.savefig(output)
        return
    path = os.path.abspath(os.fsdecode(output))
    folder, base = os.path.split(path)
    handle, temporary = tempfile.mkstemp(prefix="." + base + ".", suffix=".tmp", dir=folder)
    try:
        with os.fdopen(handle, "wb") as f:
            fig.savefig(f, format=image_format)
        mask = os.umask(0)
        os.umask(mask)
        os.chmod(temporary, 0o666 & ~mask)  # as a plainly created file, not mkstemp's 0600
        os.replace(temporary, path)
    except BaseException:
        try:
            os.unlink(temporary)
        except OSError:
            pass
        raise


def _distance(start, end):
    """Seconds between two clock times, or items between two item indexes."""
    difference = end - start
    return difference.total_seconds() if hasattr(difference, "total_seconds") else float(difference)


def _state_spans(df):
    """(start, end, state name) runs of the EV-DO state over the log: the
    "evdo_state" column, or the EvdoState word the items set, named by
    params.EVDO_STATES."""
    if "evdo_state" in df:
        states = df["evdo_state"].dropna()
        names = [str(v) for v in states.to_numpy()]
    elif "EvdoState" in df:
        states = df["EvdoState"].dropna()
        known = params.EVDO_STATES
        names = [known[int(v)] if 0 <= v < len(known) else "state %d" % v for v in states.to_numpy()]
    else:
        return []
    if not names:
        return []
    times = list(states.index)
    end_of_log = df.index.max()
    spans = []
    start, state = times[0], names[0]
    for when, name in zip(times[1:], names[1:]):
        if name != state:
            spans.append((start, when, state))
            start, state = when, name
    spans.append((start, end_of_log, state))
    return spans


def _draw_state_strip(ax, spans, events, extent):
    for start, end, state in spans:
        label, colour = state, STATE_COLOURS.get(state, "#cccccc")
        ax.axvspan(start, end, ymin=0, ymax=1, color=colour, lw=0)
        # Name the state inside its band when the band is wide enough to read.
        if _distance(start, end) / extent > 0.035:
            ax.text(start + (end - start) / 2, 0.5, label, ha="center", va="center",
                    fontsize=9, color="#222222", transform=ax.get_xaxis_transform())
    for when, _ in events:
        ax.axvline(when, color="#333333", lw=0.8)
    ax.set_yticks([])
    ax.set_ylabel("EV-DO\nstate")
    ax.tick_params(labelbottom=False)
    # Event names above the strip, one row of text per cluster of close events.
    for when, label in _cluster(events, 0.015 * extent):
        ax.annotate(label, xy=(when, 1.0), xycoords=("data", "axes fraction"),
                    xytext=(0, 3), textcoords="offset points", rotation=90,
                    ha="center", va="bottom", fontsize=7, parse_math=False)


def _cluster(events, gap):
    """Merges events closer than `gap` (seconds, or items) into one label, so
    names do not overprint each other."""
    merged = []
    for when, label in sorted(events, key=lambda e: e[0]):
        if merged and _distance(merged[-1][2], when) < gap:
            first, labels, _ = merged[-1]
            if label not in labels:
                labels.append(label)
            merged[-1] = (first, labels, when)
        else:
            merged.append((when, [label], when))
    return [(first, _join(labels)) for first, labels, _ in merged]


def _join(labels):
    """Label of a cluster: its names, leading words they share with the first
    written once (HANDOFF_START and HANDOFF_COMPLETE: HANDOFF_START/COMPLETE)."""
    text = labels[0]
    for label in labels[1:]:
        words, previous = label.split("_"), labels[0].split("_")
        shared = 0
        while shared < min(len(words), len(previous)) - 1 and words[shared] == previous[shared]:
            shared += 1
        text += "/" + "_".join(words[shared:])
    return text
