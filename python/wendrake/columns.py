"""Whole logs decoded into columns by the table library, read as numpy arrays.

    with Table("drive.log") as table:
        rx = table.array("Rxagc")          # float64, NaN where an item has none
        lat = table.array("latitude")

A Table holds the library's columns; `column()` gives zero-copy views that
are valid until the table is closed, `array()` copies. read_pieces() reads a
log piece by piece, in the memory of one piece.
"""

import ctypes
import os

from . import _native, _table
from ._native import WendrakeError

_INT64, _UINT32, _INT32, _INT16, _FLOAT64, _CATEGORY = 1, 2, 3, 4, 5, 6
_DTYPES = {_INT64: "int64", _UINT32: "uint32", _INT32: "int32", _INT16: "int16",
           _FLOAT64: "float64", _CATEGORY: "int32"}
CURRENT_ONLY = 1
SETTINGS = 2
RECORD_FIELDS = 8
MESSAGES = 16

# The fixed columns every table has, before its parameter columns.
ITEM_COLUMNS = ("line", "record", "code", "direction", "stamp", "stamp_us", "clock_ms",
                "log_code", "message_type", "sub_code", "event", "event_name", "message",
                "latitude", "longitude", "altitude", "speed", "heading", "satellites", "fix_age",
                "evdo_state", "label")

# Kinds of the notes (wendrake_table_notes), by WENDRAKE_NOTE_* value.
NOTE_KINDS = {1: "label", 2: "voice_quality", 3: "waypoint"}


class _Column(ctypes.Structure):
    """WendrakeColumn of include/wendrake/table.h."""
    _fields_ = [("name", ctypes.c_char_p), ("type", ctypes.c_int32), ("param_id", ctypes.c_uint32),
                ("data", ctypes.c_void_p), ("length", ctypes.c_int64),
                ("categories", ctypes.POINTER(ctypes.c_char_p)), ("category_count", ctypes.c_int32)]


class _Settings(ctypes.Structure):
    """WendrakeSettings of include/wendrake/table.h."""
    _fields_ = [("count", ctypes.c_int64), ("rows", ctypes.c_void_p), ("ids", ctypes.c_void_p),
                ("values", ctypes.c_void_p)]


class _Notes(ctypes.Structure):
    """WendrakeNotes of include/wendrake/table.h."""
    _fields_ = [("count", ctypes.c_int64), ("lines", ctypes.c_void_p), ("clock_ms", ctypes.c_void_p),
                ("kinds", ctypes.c_void_p), ("values", ctypes.c_void_p), ("texts", ctypes.c_void_p),
                ("latitudes", ctypes.c_void_p), ("longitudes", ctypes.c_void_p),
                ("names", ctypes.POINTER(ctypes.c_char_p)), ("name_count", ctypes.c_int32),
                ("rejected", ctypes.c_int64)]


class _ParamBlock(ctypes.Structure):
    """WendrakeParamBlock of include/wendrake/table.h."""
    _fields_ = [("data", ctypes.c_void_p), ("stride", ctypes.c_int64), ("columns", ctypes.c_int32),
                ("ids", ctypes.POINTER(ctypes.c_uint32))]


class _EvdoTally(ctypes.Structure):
    """WendrakeEvdoTally of include/wendrake/table.h."""
    _fields_ = [("changes", ctypes.c_int64), ("seconds", ctypes.c_double * 3), ("clock_ms", ctypes.c_int64),
                ("state", ctypes.c_int32), ("clock_state", ctypes.c_int32)]


class _Messages(ctypes.Structure):
    """WendrakeMessages of include/wendrake/table.h."""
    _fields_ = [("count", ctypes.c_int64), ("rows", ctypes.c_void_p), ("names", ctypes.POINTER(ctypes.c_char_p)),
                ("statuses", ctypes.c_void_p), ("json", ctypes.POINTER(ctypes.c_char_p)),
                ("field_count", ctypes.c_int64), ("field_rows", ctypes.c_void_p), ("field_paths", ctypes.c_void_p),
                ("field_ids", ctypes.c_void_p), ("field_kinds", ctypes.c_void_p), ("values", ctypes.c_void_p),
                ("raws", ctypes.c_void_p), ("texts", ctypes.POINTER(ctypes.c_char_p)),
                ("paths", ctypes.POINTER(ctypes.c_char_p)), ("path_count", ctypes.c_int32)]


class _Cell(ctypes.Structure):
    """WendrakeCell of include/wendrake/table.h."""
    _fields_ = [("technology", ctypes.c_int32), ("pilot_pn", ctypes.c_int32), ("sid", ctypes.c_int32),
                ("nid", ctypes.c_int32), ("base_id", ctypes.c_int32), ("color_code", ctypes.c_int32),
                ("sector_id", ctypes.c_char_p), ("latitude", ctypes.c_double), ("longitude", ctypes.c_double),
                ("first_clock_ms", ctypes.c_int64), ("last_clock_ms", ctypes.c_int64), ("heard", ctypes.c_int64),
                ("neighbours", ctypes.POINTER(ctypes.c_int32)), ("neighbour_count", ctypes.c_int32)]


# Message statuses (WENDRAKE_MESSAGE_*), field kinds (WENDRAKE_FIELD_*) and
# cell technologies (WENDRAKE_CELL_*) by value.
MESSAGE_STATUSES = ("complete", "truncated", "no layout", "not a message")
FIELD_KINDS = {1: "integer", 2: "real", 3: "octets", 4: "records", 5: "truncated"}
CELL_TECHNOLOGIES = {1: "1x", 2: "evdo"}

_PROTOTYPES = {
    "wendrake_error_message": (ctypes.c_char_p, [ctypes.c_int]),
    "wendrake_table_from_file": (ctypes.c_int, [ctypes.c_char_p, ctypes.c_int, ctypes.c_uint,
                                                ctypes.POINTER(ctypes.c_void_p)]),
    "wendrake_table_from_buffer": (ctypes.c_int, [ctypes.c_char_p, ctypes.c_size_t, ctypes.c_int,
                                                  ctypes.c_uint, ctypes.POINTER(ctypes.c_void_p)]),
    "wendrake_table_free": (None, [ctypes.c_void_p]),
    "wendrake_table_rows": (ctypes.c_int64, [ctypes.c_void_p]),
    "wendrake_table_lines": (ctypes.c_int64, [ctypes.c_void_p]),
    "wendrake_table_unterminated": (ctypes.c_int, [ctypes.c_void_p]),
    "wendrake_table_fixes": (ctypes.c_int, [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int64),
                                            ctypes.POINTER(ctypes.c_int64)]),
    "wendrake_table_column_count": (ctypes.c_int, [ctypes.c_void_p]),
    "wendrake_table_column": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_int, ctypes.POINTER(_Column)]),
    "wendrake_table_settings": (ctypes.c_int, [ctypes.c_void_p, ctypes.POINTER(_Settings)]),
    "wendrake_table_param_block": (ctypes.c_int, [ctypes.c_void_p, ctypes.POINTER(_ParamBlock)]),
    "wendrake_table_notes": (ctypes.c_int, [ctypes.c_void_p, ctypes.POINTER(_Notes)]),
    "wendrake_table_reader_open": (ctypes.c_int, [ctypes.c_char_p, ctypes.c_int, ctypes.c_uint, ctypes.c_int64,
                                                  ctypes.POINTER(ctypes.c_void_p)]),
    "wendrake_table_reader_next": (ctypes.c_int, [ctypes.c_void_p, ctypes.POINTER(ctypes.c_void_p)]),
    "wendrake_table_reader_free": (None, [ctypes.c_void_p]),
    "wendrake_evdo_state_name": (ctypes.c_char_p, [ctypes.c_int]),
    "wendrake_evdo_tally_start": (None, [ctypes.POINTER(_EvdoTally)]),
    "wendrake_evdo_tally_add": (ctypes.c_int, [ctypes.POINTER(_EvdoTally), ctypes.c_void_p]),
    "wendrake_table_messages": (ctypes.c_int, [ctypes.c_void_p, ctypes.POINTER(_Messages)]),
    "wendrake_field_count": (ctypes.c_int, []),
    "wendrake_field_name": (ctypes.c_char_p, [ctypes.c_int]),
    "wendrake_field_unit": (ctypes.c_char_p, [ctypes.c_int]),
    "wendrake_cells_start": (ctypes.c_int, [ctypes.POINTER(ctypes.c_void_p)]),
    "wendrake_cells_add": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_void_p]),
    "wendrake_cells_count": (ctypes.c_int64, [ctypes.c_void_p]),
    "wendrake_cells_get": (ctypes.c_int, [ctypes.c_void_p, ctypes.c_int64, ctypes.POINTER(_Cell)]),
    "wendrake_cells_free": (None, [ctypes.c_void_p]),
}

_opened = {}  # table library path -> CDLL with the prototypes set


def _library(library=None):
    path = _table.find_table_library(library)
    cdll = _opened.get(path)
    if cdll is None:
        path, cdll = _table.open_table_library(library)
        for name, (restype, argtypes) in _PROTOTYPES.items():
            try:
                function = getattr(cdll, name)
            except AttributeError:
                raise WendrakeError("%s lacks %s: rebuild it" % (path, name)) from None
            function.restype = restype
            function.argtypes = argtypes
        _opened[path] = cdll
    return cdll


def _view(address, length, dtype, owner=None):
    """A numpy view of `length` elements at `address`: read-only, or, with
    `owner` (which frees the memory when the last view goes), writable."""
    import numpy as np

    dtype = np.dtype(dtype)
    if length == 0 or not address:
        return np.empty(0, dtype)
    buffer = (ctypes.c_char * (length * dtype.itemsize)).from_address(address)
    buffer.owner = owner  # numpy keeps the buffer, the buffer keeps the owner
    view = np.frombuffer(buffer, dtype=dtype, count=length)
    view.flags.writeable = owner is not None
    return view


class _TableMemory:
    """A table whose memory arrays still use; freed when the last one goes."""

    def __init__(self, lib, handle):
        self._lib, self._handle = lib, handle

    def __del__(self):
        self._lib.wendrake_table_free(self._handle)


def _flags(carried, settings, record_fields=False, messages=False):
    return ((SETTINGS if settings else 0 if carried else CURRENT_ONLY) | (RECORD_FIELDS if record_fields else 0)
            | (MESSAGES if messages else 0))


def _readable(source):
    """The path of `source`, raising the usual OSError (FileNotFoundError,
    PermissionError, IsADirectoryError) when it cannot be read."""
    path = os.fspath(source)
    open(path, "rb").close()
    if os.path.isdir(path):
        raise IsADirectoryError(21, "Is a directory", path)
    return path


def read_pieces(path, module=0xB101, *, carried=True, settings=False, record_fields=False, lines=16384,
                library=None, messages=False):
    """Yields the log at `path` piece by piece: each piece a Table of the items
    of the next `lines` lines, in memory the next piece reuses, so a log of
    any size is summarised in the memory of one piece. A piece and its views
    are valid until the next piece is asked for (copy what must stay). The
    pieces are the whole table cut into rows; `lines` of a piece counts the
    log's lines so far, `unterminated` is set on the last piece only. With
    `record_fields`, a piece has the record fields registered so far; a field
    is float64 while every value so far is a number (so also before its
    first value), a category from its first other value on, its codes the
    same from piece to piece. With `messages`, each piece has its "CL3" rows'
    messages (Table.messages(), Cells.add()).

    Pieces of some thousands of lines stay in the processor's caches and take
    little fresh memory: a Dask worker gives freed memory back to the system
    at once, and there taking fresh pages for large pieces costs more than
    decoding the lines that fill them."""
    import numpy  # noqa: F401

    module = _native.module_type(module)
    lib = _library(library)
    path = _readable(path)
    reader = ctypes.c_void_p()
    result = lib.wendrake_table_reader_open(os.fsencode(path), module,
                                            _flags(carried, settings, record_fields, messages), lines,
                                            ctypes.byref(reader))
    if result != 0:
        raise OSError("%s: %s" % (lib.wendrake_error_message(result).decode(), path))
    try:
        piece = ctypes.c_void_p()
        while True:
            result = lib.wendrake_table_reader_next(reader, ctypes.byref(piece))
            if result != 0:
                raise OSError("%s: %s" % (lib.wendrake_error_message(result).decode(), path))
            if not piece:
                return
            table = Table._borrow(lib, piece)
            try:
                yield table
            finally:
                table.close()
    finally:
        lib.wendrake_table_reader_free(reader)


class Table:
    """One log decoded into columns (see include/wendrake/table.h for each one).

    `source` is a path or a bytes-like log. With `carried` (the default) a
    parameter cell holds every value the parameter has at the item, carried
    over or set by its line; without, only the values its own line set.
    With `settings` the table has no parameter columns: settings() lists the
    values the items' own lines set instead (far smaller, for summaries).
    With `record_fields` the table also has a column per record field: each
    registered column of a record that feeds no parameter, named
    "RECORD.Column" ("HOP.SetType", "SC.BaseID", "EVT.Payload"), with a value
    only on rows of that record; float64 where every value is a number, else
    a category (see record_fields and field()). With `messages` the table
    also decodes the fields of each "CL3" row's message (messages(), Cells).
    `library` is the decoder library's path; the table library beside it is
    used (else as the package finds it).
    """

    def __init__(self, source, module=0xB101, *, carried=True, settings=False, record_fields=False,
                 library=None, messages=False):
        import numpy  # noqa: F401  (fail early, before any work, when it is missing)

        module = _native.module_type(module)
        lib = _library(library)
        flags = _flags(carried, settings, record_fields, messages)
        handle = ctypes.c_void_p()
        if isinstance(source, (str, os.PathLike)):
            path = _readable(source)
            result = lib.wendrake_table_from_file(os.fsencode(path), module, flags, ctypes.byref(handle))
            if result != 0:
                raise OSError("%s: %s" % (lib.wendrake_error_message(result).decode(), path))
        else:
            data = bytes(memoryview(source))
            result = lib.wendrake_table_from_buffer(data, len(data), module, flags, ctypes.byref(handle))
            if result != 0:
                raise WendrakeError(lib.wendrake_error_message(result).decode())
        self._describe(lib, handle)

    @classmethod
    def _borrow(cls, lib, handle):
        """A Table showing a piece its reader owns (close() leaves it alone)."""
        table = cls.__new__(cls)
        table._describe(lib, handle)
        table._borrowed = True
        return table

    def _describe(self, lib, handle):
        self._lib = lib
        self._handle = handle
        self._borrowed = False
        self._columns = {}
        column = _Column()
        for index in range(lib.wendrake_table_column_count(handle)):
            lib.wendrake_table_column(handle, index, ctypes.byref(column))
            name = column.name.decode("utf-8", "replace")
            categories = [column.categories[i].decode("utf-8", "replace")
                          for i in range(column.category_count)] if column.type == _CATEGORY else None
            self._columns[name] = (column.type, column.param_id, column.data, column.length, categories)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        self.close()

    def close(self):
        """Frees the library's columns; views from column() die with them."""
        handle = getattr(self, "_handle", None)
        if handle:
            if not self._borrowed:
                self._lib.wendrake_table_free(handle)
            self._handle = None

    def _open(self):
        if not self._handle:
            raise WendrakeError("the table is closed")
        return self._handle

    @property
    def rows(self):
        return self._lib.wendrake_table_rows(self._open())

    @property
    def lines(self):
        """Physical lines of the log."""
        return self._lib.wendrake_table_lines(self._open())

    @property
    def unterminated(self):
        """Whether the log's last line had no newline (it was decoded all the same)."""
        return bool(self._lib.wendrake_table_unterminated(self._open()))

    @property
    def fixes(self):
        """(kept, rejected) GPS fixes."""
        kept, rejected = ctypes.c_int64(), ctypes.c_int64()
        self._lib.wendrake_table_fixes(self._open(), ctypes.byref(kept), ctypes.byref(rejected))
        return kept.value, rejected.value

    @property
    def names(self):
        """Every column name, the fixed ones first, then the parameters in slot order, then
        the record fields."""
        return list(self._columns)

    @property
    def param_columns(self):
        """{column name: parameter id} of the parameter columns."""
        return {name: c[1] for name, c in self._columns.items() if c[1]}

    @property
    def record_fields(self):
        """Names of the record field columns ("HOP.SetType"), in the table's order."""
        return [name for name, c in self._columns.items() if not c[1] and "." in name]

    def field(self, name):
        """A copy of a record field column: float64 (NaN where a row has none),
        or, for a text field, a pandas Categorical (NaN where a row has none)."""
        kind = self._columns[name][0]
        if kind != _CATEGORY:
            return self.column(name).copy()
        import numpy as np
        import pandas as pd

        codes, texts = self.column(name), self.categories(name)
        unique = list(dict.fromkeys(texts))
        if len(unique) != len(texts):
            # Texts that differ only in bytes that are not UTF-8 read the same.
            position = {text: k for k, text in enumerate(unique)}
            codes = np.array([position[text] for text in texts] + [-1], dtype=np.int32)[codes]
        return pd.Categorical.from_codes(codes, unique)

    def categories(self, name):
        """The names a category column's codes stand for ("record", "event_name", "message",
        "evdo_state")."""
        return self._columns[name][4]

    def column(self, name):
        """A numpy view of the library's column, valid until close()."""
        import numpy as np

        kind, _, data, length, _ = self._columns[name]
        self._open()
        return _view(data, length, _DTYPES[kind])

    def settings(self):
        """(rows, ids, values): numpy views, valid until close(), of the values
        the items' own lines set, in row order, each parameter once per row;
        values in real units. Tables built with settings=True only."""
        listed = _Settings()
        if self._lib.wendrake_table_settings(self._open(), ctypes.byref(listed)) != 0:
            raise WendrakeError("the table was built without settings=True")
        n = listed.count
        return _view(listed.rows, n, "int64"), _view(listed.ids, n, "uint32"), _view(listed.values, n, "float64")

    def notes(self):
        """The log's "LAB", "VOT" and "ENT" lines (of the piece's lines, for a
        piece) as a dict of numpy copies: line, clock_ms, kind (NOTE_KINDS),
        value (a VOT line's score, an ENT line's number), text (the label, the
        codec, "kind name" of a waypoint; None if none), latitude, longitude
        (the last fix at or before the line); and "rejected", the lines of the
        log so far that did not read (see include/wendrake/table.h)."""
        import numpy as np

        listed = _Notes()
        self._lib.wendrake_table_notes(self._open(), ctypes.byref(listed))
        n = listed.count
        names = np.array([listed.names[i].decode("utf-8", "replace") for i in range(listed.name_count)] + [None],
                         dtype=object)
        kinds = np.array(list(NOTE_KINDS.values()) + [None], dtype=object)
        codes = _view(listed.kinds, n, "int32")
        return {"line": _view(listed.lines, n, "int64").copy(),
                "clock_ms": _view(listed.clock_ms, n, "int64").copy(),
                "kind": kinds[np.where((codes >= 1) & (codes <= len(NOTE_KINDS)), codes - 1, -1)],
                "value": _view(listed.values, n, "float64").copy(),
                "text": names[_view(listed.texts, n, "int32")],
                "latitude": _view(listed.latitudes, n, "float64").copy(),
                "longitude": _view(listed.longitudes, n, "float64").copy(),
                "rejected": listed.rejected}

    def messages(self):
        """The fields of the "CL3" rows' messages (tables built with
        messages=True) as two dicts of numpy copies: per message (row, name,
        status, json) and per field in long form (row, path, name, kind,
        value, raw, text, unit); see WendrakeMessages in
        include/wendrake/table.h. Names, texts and units are object arrays
        (None where there is none); a unit is given for real values only."""
        import numpy as np

        listed = _Messages()
        if self._lib.wendrake_table_messages(self._open(), ctypes.byref(listed)) != 0:
            raise WendrakeError("the table was built without messages=True")
        n, m = listed.count, listed.field_count

        def texts(pointers, count):
            return np.array([None if not pointers[i] else pointers[i].decode("utf-8", "replace")
                             for i in range(count)], dtype=object)

        names, units = _field_catalogue(self._lib)
        paths = np.array([listed.paths[i].decode("utf-8", "replace") for i in range(listed.path_count)] + [None],
                         dtype=object)
        ids = _view(listed.field_ids, m, "int32")
        kinds = _view(listed.field_kinds, m, "int32")
        kind_names = np.array([FIELD_KINDS.get(k) for k in range(max(FIELD_KINDS) + 1)] + [None], dtype=object)
        statuses = np.array(list(MESSAGE_STATUSES) + [None], dtype=object)
        status_codes = _view(listed.statuses, n, "int32")
        per_message = {"row": _view(listed.rows, n, "int64").copy(),
                       "message": texts(listed.names, n),
                       "status": statuses[np.where((status_codes >= 0) & (status_codes < len(MESSAGE_STATUSES)),
                                                   status_codes, -1)],
                       "json": texts(listed.json, n)}
        unit = units[ids]  # id -1 picks the trailing None
        unit[kinds != 2] = None
        per_field = {"row": _view(listed.field_rows, m, "int64").copy(),
                     "path": paths[_view(listed.field_paths, m, "int32")],
                     "field": names[ids],
                     "kind": kind_names[np.where((kinds >= 1) & (kinds <= max(FIELD_KINDS)), kinds, -1)],
                     "value": _view(listed.values, m, "float64").copy(),
                     "raw": _view(listed.raws, m, "uint64").copy(),
                     "text": texts(listed.texts, m),
                     "unit": unit}
        return per_message, per_field

    def take_param_block(self):
        """(matrix, ids): the parameter columns as one writable float64 matrix of
        shape (parameters, rows), no copy, row k the values of parameter
        ids[k], in the order the parameters first had a value. The matrix takes
        over the table's memory, which lives as long as it (or a view of it)
        does; the Table is closed."""
        import numpy as np

        block = _ParamBlock()
        handle = self._open()
        self._lib.wendrake_table_param_block(handle, ctypes.byref(block))
        if self._borrowed:
            raise WendrakeError("a piece of a log belongs to its reader; its memory cannot be taken")
        rows = self.rows
        ids = [block.ids[k] for k in range(block.columns)]
        owner = _TableMemory(self._lib, handle)
        self._handle = None
        if block.columns == 0 or rows == 0:
            return np.empty((block.columns, rows)), ids
        flat = _view(block.data, (block.columns - 1) * block.stride + rows, "float64", owner)
        matrix = np.lib.stride_tricks.as_strided(flat, shape=(block.columns, rows),
                                                 strides=(block.stride * 8, 8), writeable=True)
        return matrix, ids

    def array(self, name):
        """A copy of a column; category columns as an object array of their names
        (None where a row has none)."""
        import numpy as np

        values = self.column(name)
        categories = self._columns[name][4]
        if categories is None:
            return values.copy()
        names = np.array(categories + [None], dtype=object)
        return names[values]  # code -1 picks the trailing None


class EvdoTally:
    """The EV-DO state's changes and the log-clock time spent in each state,
    counted by the table library over a table or a reader's pieces added in
    order (see WendrakeEvdoTally in include/wendrake/table.h)."""

    def __init__(self):
        self._tally = _EvdoTally()
        self._started = False

    def add(self, table):
        """Adds the items of a Table (a whole log, or its next piece)."""
        lib = table._lib
        if not self._started:
            lib.wendrake_evdo_tally_start(ctypes.byref(self._tally))
            self._started = True
        lib.wendrake_evdo_tally_add(ctypes.byref(self._tally), table._open())

    @property
    def changes(self):
        """Items whose EV-DO state differs from the state before them."""
        return self._tally.changes

    @property
    def seconds(self):
        """{state name: seconds of the log clock spent in it}."""
        from . import params

        return {state: self._tally.seconds[k] for k, state in enumerate(params.EVDO_STATES)}


def _field_catalogue(lib):
    """(names, units): object arrays by field id, each with a trailing None
    for the id -1."""
    import numpy as np

    count = lib.wendrake_field_count()
    names = [lib.wendrake_field_name(i).decode() for i in range(count)]
    units = [lib.wendrake_field_unit(i) for i in range(count)]
    return (np.array(names + [None], dtype=object),
            np.array([u.decode() if u else None for u in units] + [None], dtype=object))


class Cells:
    """The 1x base stations and EV-DO sectors a drive heard, collected by the
    table library from the overhead messages of Tables built with
    messages=True: a whole log, or a reader's pieces added in order (see
    WendrakeCell in include/wendrake/table.h)."""

    def __init__(self, library=None):
        self._lib = _library(library)
        self._handle = ctypes.c_void_p()
        result = self._lib.wendrake_cells_start(ctypes.byref(self._handle))
        if result != 0:
            raise WendrakeError(self._lib.wendrake_error_message(result).decode())

    def __del__(self):
        handle = getattr(self, "_handle", None)
        if handle:
            self._lib.wendrake_cells_free(handle)
            self._handle = None

    def add(self, table):
        """Adds the overhead messages of a Table (a whole log, or its next piece)."""
        if self._lib.wendrake_cells_add(self._handle, table._open()) != 0:
            raise WendrakeError("the table was built without messages=True")

    def cells(self):
        """The cells so far, in the order first heard: one dict each (technology
        "1x" or "evdo", pilot_pn, sid, nid, base_id, color_code, sector_id,
        latitude, longitude, first_clock_ms, last_clock_ms, heard, neighbours)."""
        out = []
        cell = _Cell()
        for index in range(self._lib.wendrake_cells_count(self._handle)):
            self._lib.wendrake_cells_get(self._handle, index, ctypes.byref(cell))
            out.append({"technology": CELL_TECHNOLOGIES.get(cell.technology), "pilot_pn": cell.pilot_pn,
                        "sid": cell.sid, "nid": cell.nid, "base_id": cell.base_id, "color_code": cell.color_code,
                        "sector_id": cell.sector_id.decode() if cell.sector_id else None,
                        "latitude": cell.latitude, "longitude": cell.longitude,
                        "first_clock_ms": cell.first_clock_ms, "last_clock_ms": cell.last_clock_ms,
                        "heard": cell.heard,
                        "neighbours": [cell.neighbours[i] for i in range(cell.neighbour_count)]})
        return out
