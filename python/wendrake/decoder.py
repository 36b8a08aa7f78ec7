"""Decoder objects over libwendrake, and the items they yield as Python values."""

import codecs
import ctypes
import datetime
import os
import struct
import time
import warnings
from dataclasses import dataclass
from typing import Optional

from . import _native, params
from ._empty import why_no_items
from ._native import ReportItem, WendrakeError, WendrakeWarning
from .header import STAMP_FAILED, STAMP_OFFSET

# Line ends and bytes outside UTF-8: a log is bytes, an item's text a str. A
# byte that is not part of well-formed UTF-8 becomes the code point of the same
# number (as Latin-1 reads it), which is what the command line tool's JSON
# shows, so both spell every line alike.
_ERRORS = "wendrake-bytes"


def _bytes_as_code_points(error):
    return error.object[error.start:error.end].decode("latin-1"), error.end


codecs.register_error(_ERRORS, _bytes_as_code_points)


def _text(data):
    return data.decode("utf-8", _ERRORS)


# The decoder stamps an item with mktime(log clock, no daylight saving) plus
# STAMP_OFFSET, so the stamp depends on the process's time zone; STAMP_FAILED
# marks an item without a clock (before the first date record, or out of range).
_EPOCH = datetime.datetime(1970, 1, 1)


def log_clock(seconds, micros=0):
    """The log's own clock (a naive datetime) behind a stored stamp, or None.

    Inverts the decoder's mktime in the current time zone, so the result is the
    same whatever TZ the process runs with; under TZ=UTC0 it is simply
    seconds - STAMP_OFFSET read as UTC.
    """
    base = _clock_base(seconds)
    if base is None:
        return None
    return base + datetime.timedelta(microseconds=micros)


_clock_cache = {}


def _clock_base(seconds):
    key = (seconds, time.timezone, time.altzone, time.daylight)
    if key in _clock_cache:
        return _clock_cache[key]
    if seconds == STAMP_FAILED or seconds < STAMP_OFFSET:
        base = None
    else:
        target = seconds - STAMP_OFFSET
        # First guess from the standard offset, then correct by what mktime
        # makes of the guess (offsets that changed over the years, TZ rules).
        base = _EPOCH + datetime.timedelta(seconds=target - time.timezone)
        for _ in range(3):
            try:
                back = int(time.mktime(base.timetuple()[:8] + (0,)))
            except (OverflowError, ValueError):
                break
            if back == target:
                break
            base += datetime.timedelta(seconds=target - back)
    if len(_clock_cache) > 100_000:
        _clock_cache.clear()
    _clock_cache[key] = base
    return base


@dataclass(frozen=True, slots=True)
class Param:
    """One decode parameter of an item: `stored` is the library's integer,
    `real` the logged value (stored / scale). `state` is 1 when the item's own
    line set it and 0 when it carries over from an earlier line."""
    id: int
    name: str
    state: int
    stored: int
    real: float


@dataclass(frozen=True, slots=True)
class Item:
    """One report item, copied out of the decoder.

    `line` is the 1-based number of the line it came from and `raw` that line
    without its line end; `record` its record token ("DM", "CL3", ...). `text`
    is the item's XML, except for "CL3" items, whose `text` is None and whose
    `body` holds the signalling-message bytes. `seconds`/`micros` are the
    stored stamp, `time` the log's clock as a naive datetime (None before the
    log's first date). `current` lists the parameters the line set,
    `inherited` those holding a value from earlier lines.
    """
    line: int
    record: str
    code: int
    direction: int
    seconds: int
    micros: int
    time: Optional[datetime.datetime]
    text: Optional[str]
    body: Optional[bytes]
    raw: str
    current: tuple
    inherited: tuple

    @property
    def is_layer3(self):
        return self.body is not None

    @property
    def log_code(self):
        """High half of the code: module type, layer-3 log code, or 0xEE00 for events."""
        return self.code >> 16

    @property
    def message_type(self):
        return (self.code >> 8) & 0xFF

    @property
    def sub_code(self):
        return self.code & 0xFF

    @property
    def is_event(self):
        return self.record == "EVT"

    def params(self):
        """{name: real value} of every parameter holding a value at this item."""
        values = {p.name: p.real for p in self.inherited}
        values.update((p.name, p.real) for p in self.current)
        return values


# Offsets into the item, taken from the ctypes mirror of the header.
_OFF_HEAD = ReportItem.timeSeconds.offset
_OFF_TEXT = ReportItem.text.offset
_OFF_PARAMS = ReportItem.direction.offset
_PARAM_AREA = ReportItem.curStructCount.offset - _OFF_PARAMS
_HEAD = struct.Struct("<IIII")  # timeSeconds, timeMicros, msgCode, textLength
_COUNTS = struct.Struct("<HHH")  # direction, curParamCount, inheritParamCount
_SLOT = struct.Struct("<iIi")
_CUR_LIST = ReportItem.curParamList.offset - _OFF_PARAMS
_INHERIT_LIST = ReportItem.inheritParamList.offset - _OFF_PARAMS
_SLOTS = ReportItem.paramSlots.offset - _OFF_PARAMS
# The byte offsets a list may name: one per slot.
_SLOT_REFS = frozenset(range(0, _native.PARAM_COUNT * _SLOT.size, _SLOT.size))

# The library drops a line of LINE_LIMIT bytes or more before its newline
# (its line buffer holds 8192 bytes, newline included), so the Decoder never
# keeps more of a line than that and drops such a line itself.
LINE_LIMIT = 8191


class Decoder:
    """One decoder object of the library, for one log.

        with Decoder(0xB101) as decoder:
            for chunk in chunks:
                for item in decoder.feed(chunk):
                    ...

    feed() takes bytes split anywhere and returns the items of the lines it
    completed; finish() ends the input, decoding a last line that has no
    newline. It hands the library one complete line per call, so the
    library's 200-item queue never overflows and every item knows its line,
    and it copies each item out before the next call overwrites it. A line of
    LINE_LIMIT bytes or more is dropped whole, as the library drops it, and
    never held in memory. `lines` counts every physical line from 1, dropped
    ones included. Not for use by two threads at once; separate decoders are
    independent.
    """

    def __init__(self, module=0xB101, *, library=None):
        self.module = _native.module_type(module)
        self._lib = _native.load(library)
        self._handle = self._lib.CreateDecoderObjectProc(self.module)
        if not self._handle:
            raise WendrakeError("the library refused to create a decoder for module type 0x%X" % self.module)
        self._pending = b""
        self._dropping = False  # inside a line past LINE_LIMIT, until its newline
        self.lines = 0
        self.items = 0
        self._params = _ParamCache()

    @property
    def library(self):
        return self._lib.path

    @property
    def closed(self):
        return self._handle is None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            self.close()
        except Exception:
            pass

    def close(self):
        """Frees the decoder object; later feed() calls raise. Idempotent."""
        handle, self._handle = getattr(self, "_handle", None), None
        if handle:
            self._lib.FreeDecoderObjectProc(handle)

    @property
    def pending(self):
        """Bytes of an unfinished last line, not yet handed to the library
        (empty while a line past LINE_LIMIT is being dropped)."""
        return self._pending

    def feed(self, data):
        """Decodes `data` (a bytes-like object) and returns the items of the
        lines it completed."""
        if self._handle is None:
            raise WendrakeError("decoder is closed")
        try:
            if not isinstance(data, bytes):
                data = memoryview(data).tobytes()
        except TypeError:
            raise TypeError("feed() takes a bytes-like object, not %s%s" % (
                type(data).__name__,
                " (open the log in binary mode)" if isinstance(data, str) else "")) from None
        items = []
        start = 0
        find = data.find
        while True:
            end = find(b"\n", start) + 1
            if end == 0:
                break
            if self._dropping:
                self._dropping = False
                self.lines += 1
            elif len(self._pending) + end - start - 1 >= LINE_LIMIT:
                self._pending = b""
                self.lines += 1
            elif self._pending:
                line, self._pending = self._pending + data[start:end], b""
                self._decode_line(line, items)
            else:
                self._decode_line(data[start:end], items)
            start = end
        if not self._dropping and start < len(data):
            if len(self._pending) + len(data) - start >= LINE_LIMIT:
                self._pending, self._dropping = b"", True
            else:
                self._pending += data[start:]
        return items

    def finish(self, name="input"):
        """Ends the input: a last line without a newline is decoded as if one
        followed it (and a WendrakeWarning names `name` and says so); returns
        its items. feed() may go on afterwards with a new line."""
        if self._handle is None:
            raise WendrakeError("decoder is closed")
        if not self._pending and not self._dropping:
            return []
        warnings.warn("%s: the last line (line %d) has no newline; handled it as a complete line"
                      % (name, self.lines + 1), WendrakeWarning, stacklevel=2)
        return self.feed(b"\n")

    def _decode_line(self, line, items):
        lib = self._lib
        handle = self._handle
        self.lines += 1
        if not lib.DecodeMsgProc(handle, line, len(line)):
            # Said, not raised: raising would lose the items of the other
            # lines of this feed.
            warnings.warn("the library failed to decode line %d; it yields no item" % self.lines,
                          WendrakeWarning, stacklevel=3)
        count = lib.GetReportItemCountProc(handle)
        for i in range(count):
            items.append(self._read_item(i, line))
        lib.ClearReportItemsProc(handle)
        self.items += count

    def _read_item(self, i, line):
        address = _address_of(self._lib.GetReportItemProc(self._handle, i))
        seconds, micros, code, text_length = _HEAD.unpack(_string_at(address + _OFF_HEAD, _HEAD.size))
        text_length = min(text_length, _native.BLOCK_SIZE)
        text = _string_at(address + _OFF_TEXT, text_length) if text_length else b""
        area = _string_at(address + _OFF_PARAMS, _PARAM_AREA)
        direction, n_current, n_inherited = _COUNTS.unpack_from(area)
        current = self._param_list(area, _CUR_LIST, n_current)
        inherited = self._param_list(area, _INHERIT_LIST, n_inherited)

        line_text = line[:-1]
        if line_text.endswith(b"\r"):
            line_text = line_text[:-1]
        words = line_text.split(None, 1)
        record = _text(words[0]) if words else ""
        layer3 = record == "CL3"
        return Item(
            line=self.lines, record=record, code=code, direction=direction,
            seconds=seconds, micros=micros, time=log_clock(seconds, micros),
            text=None if layer3 else _text(text), body=text if layer3 else None,
            raw=_text(line_text), current=current, inherited=inherited)

    def _param_list(self, area, offset, count):
        count = min(count, _native.PARAM_COUNT)
        refs = struct.unpack_from("<%dH" % count, area, offset)
        if not _SLOT_REFS.issuperset(refs):
            refs = [ref for ref in refs if ref in _SLOT_REFS]  # the library never lists another
        cache = self._params
        return tuple([cache[area[_SLOTS + ref:_SLOTS + ref + _SLOT.size]] for ref in refs])


class _ParamCache(dict):
    """Param objects by the bytes of their slot (state, id, stored value):
    the same slot bytes recur item after item, and one dictionary look-up
    replaces unpacking them."""

    def __missing__(self, key):
        state, pid, stored = _SLOT.unpack(key)
        param = Param(pid, params.name(pid), state, stored, params.real(pid, stored))
        if len(self) > 200_000:
            self.clear()
        self[key] = param
        return param


_string_at = ctypes.string_at


def _address_of(pointer):
    if not pointer:
        raise WendrakeError("the library handed out no item where one was counted")
    return ctypes.addressof(pointer.contents)


class _FileItems:
    """Iterator over the items of one log file; closes file and decoder at the end."""

    def __init__(self, path, module, library, chunk_size):
        self.path = os.fspath(path)
        # Open before creating the decoder: a bad path raises here, at the
        # call, not at the first next().
        if chunk_size < 1:
            raise ValueError("chunk_size must be at least 1, not %r" % (chunk_size,))
        self._file = open(self.path, "rb")
        try:
            self.decoder = Decoder(module, library=library)
        except BaseException:
            self._file.close()
            raise
        self._chunk_size = chunk_size
        self._ready = []
        self._index = 0
        self._yielded = 0

    def __iter__(self):
        return self

    def __next__(self):
        while self._index >= len(self._ready):
            if self._file is None:
                self.close()
                if self._yielded == 0:
                    self._yielded = -1  # said once
                    why = why_no_items(self.path)
                    if why:
                        warnings.warn("no report item in %s: %s" % (self.path, why), WendrakeWarning, stacklevel=2)
                raise StopIteration
            chunk = self._file.read(self._chunk_size)
            if chunk:
                self._ready = self.decoder.feed(chunk)
            else:
                self._ready = self.decoder.finish(self.path)
                self._file.close()
                self._file = None
            self._index = 0
        item = self._ready[self._index]
        self._index += 1
        self._yielded += 1
        return item

    def close(self):
        if self._file is not None:
            self._file.close()
            self._file = None
        self.decoder.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def decode_file(path, module=0xB101, *, library=None, chunk_size=1 << 20):
    """Iterates the report items of the log at `path`.

    Raises at once (not at the first item) for a missing file, a directory,
    an unknown module type, or a library that cannot be loaded. The file is
    read `chunk_size` bytes at a time. The end of the file ends its last line:
    a last line without a newline is decoded like any other, with a
    WendrakeWarning that says so.
    """
    return _FileItems(path, module, library, chunk_size)
