"""Loader of libwendrake_table, the library's own parameter catalogue.

The table library is built and installed beside libwendrake. It is found from
$WENDRAKE_TABLE_LIBRARY, else beside the decoder library this process loaded
(or would load), else by the dynamic loader.
"""

import ctypes
import os
import sys
from pathlib import Path

from . import _native
from ._native import WendrakeError

TABLE_ENV = "WENDRAKE_TABLE_LIBRARY"

if sys.platform == "win32":
    # MinGW keeps its "lib" prefix on this one; the decoder DLL drops it.
    _FILE_NAMES = ("wendrake_table.dll", "libwendrake_table.dll")
elif sys.platform == "darwin":
    _FILE_NAMES = ("libwendrake_table.0.dylib", "libwendrake_table.dylib")
else:
    _FILE_NAMES = ("libwendrake_table.so.0", "libwendrake_table.so")


class ParamInfo(ctypes.Structure):
    """WendrakeParamInfo of include/wendrake/table.h (natural alignment)."""
    _fields_ = [("id", ctypes.c_uint32), ("slot", ctypes.c_int32), ("scale", ctypes.c_int32),
                ("name", ctypes.c_char_p), ("record", ctypes.c_char_p), ("unit", ctypes.c_char_p)]


def _text(value):
    return value.decode() if value else None


def _in_directory(directory):
    for file_name in _FILE_NAMES:
        candidate = Path(directory) / file_name
        if candidate.is_file():
            return candidate
    return None


def _decoder_paths(library):
    """The decoder libraries whose folders may hold the table library."""
    if library is not None:
        return [_native.find_library(library)]
    return list(_native._loaded) or [_native.find_library()]


def find_table_library(library=None):
    """Path of the table library to load (a bare file name when it is left to
    the dynamic loader); beside the decoder library `library` when given."""
    explicit = os.environ.get(TABLE_ENV)
    if explicit:
        path = Path(explicit)
        if path.is_dir():
            path = _in_directory(path) or path
        if not path.is_file():
            raise WendrakeError("wendrake table library %s (from $%s) does not exist"
                                % (explicit, TABLE_ENV))
        return str(path.resolve())
    for decoder in _decoder_paths(library):
        if os.path.isabs(decoder):
            found = _in_directory(Path(decoder).parent)
            if found is not None:
                return str(found.resolve())
    return _FILE_NAMES[0]


def _searched(library):
    """Every place find_table_library looked, for the error that finds nothing."""
    places = ["$%s (not set)" % TABLE_ENV]
    try:
        decoders = [d for d in _decoder_paths(library) if os.path.isabs(d)]
    except WendrakeError:
        decoders = []
    places += [str(Path(d).parent) + " (beside " + Path(d).name + ")" for d in decoders]
    if not decoders:
        places.append("beside libwendrake (not found either)")
    return ", ".join(places + ["the dynamic loader's path"])


def open_table_library(library=None):
    """(path, ctypes.CDLL) of the table library; when it is nowhere, a
    WendrakeError that names every place looked in."""
    path = find_table_library(library)
    try:
        return path, _native.open_shared_object(path)
    except WendrakeError as e:
        if path != _FILE_NAMES[0]:
            raise
        raise WendrakeError("wendrake table library %s not found (looked in %s): set %s, or build or "
                            "install it beside libwendrake (%s)"
                            % (_FILE_NAMES[0], _searched(library), TABLE_ENV, e.__cause__ or e)) from None


def read_catalogue():
    """(version, [ParamInfo as (id, slot, scale, name, record, unit)] in slot
    order, the EV-DO state names by state value)."""
    path, cdll = open_table_library()
    try:
        count_of, info_of = cdll.wendrake_param_count, cdll.wendrake_param_info
        version_of = cdll.wendrake_version
        state_name_of = cdll.wendrake_evdo_state_name
    except AttributeError:
        raise WendrakeError("%s is not a wendrake table library" % path) from None
    count_of.restype = ctypes.c_int
    count_of.argtypes = []
    info_of.restype = ctypes.c_int
    info_of.argtypes = [ctypes.c_int, ctypes.POINTER(ParamInfo)]
    version_of.restype = ctypes.c_char_p
    version_of.argtypes = []
    state_name_of.restype = ctypes.c_char_p
    state_name_of.argtypes = [ctypes.c_int]

    count = count_of()
    if count != _native.PARAM_COUNT:
        raise WendrakeError("%s has %d parameter slots, wendrake.h says %d"
                            % (path, count, _native.PARAM_COUNT))
    rows = []
    info = ParamInfo()
    for slot in range(count):
        if info_of(slot, ctypes.byref(info)) != 0 or info.slot != slot:
            raise WendrakeError("%s gives no parameter for slot %d" % (path, slot))
        rows.append((info.id, info.slot, info.scale, _text(info.name), _text(info.record), _text(info.unit)))
    states = []
    while state_name_of(len(states)):
        states.append(state_name_of(len(states)).decode())
    return version_of().decode(), rows, tuple(states)
