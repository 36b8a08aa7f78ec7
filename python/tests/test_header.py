"""The package's single copies of what it cannot read from a library: the
constants and item layout of include/wendrake/wendrake.h and the flags,
column types and struct layouts of include/wendrake/table.h, checked against
the headers' text; and the parameter tables, read from the table library."""

import ctypes
import os
import re
import shutil
import subprocess
import sys

import pytest

import wendrake
from wendrake import _native, _table, columns, header, params

from conftest import SOURCE

HEADER = (SOURCE / "include" / "wendrake" / "wendrake.h").read_text()
TABLE_HEADER = (SOURCE / "include" / "wendrake" / "table.h").read_text()

_DEFINE = re.compile(r"^#define WENDRAKE_(\w+) (0x[0-9A-Fa-f]+|\d+)u?\s*$", re.M)
_ENUM = re.compile(r"^\s*WENDRAKE_(\w+) = (-?0x[0-9A-Fa-f]+|-?\d+),?", re.M)
_SIZE = re.compile(r"^WENDRAKE_LAYOUT_CHECK\(\w+, sizeof\((\w+)\) == (\w+)\);", re.M)
_OFFSET = re.compile(r"^WENDRAKE_LAYOUT_CHECK\(\w+, offsetof\((\w+), (\w+)\) == (\d+)\);", re.M)
# table.h pins each size and offset for 64-bit pointers, then the two 32-bit
# layouts (int64_t aligned to 8 bytes, to 4 bytes on i386).
_TABLE_PIN = re.compile(r"^WENDRAKE_TABLE_LAYOUT_CHECK\(\w+,\s*(?:sizeof\((\w+)\)|offsetof\((\w+), (\w+)\))"
                        r" == WENDRAKE_TABLE_PIN\((\d+), (\d+), (\d+)\)\);", re.M)


def header_value(text):
    return int(text, 0) if not text.startswith("WENDRAKE_") else getattr(header, text[9:])


def test_every_numeric_constant_of_the_header_has_one_equal_python_value():
    constants = dict(_DEFINE.findall(HEADER) + _ENUM.findall(HEADER))
    assert len(constants) >= 25  # the patterns still match the header's style
    mine = {k: v for k, v in vars(header).items() if k.isupper() and isinstance(v, int)}
    assert {name: int(text, 0) for name, text in constants.items()} == mine
    assert header.MODULE_TYPES == {k[7:]: v for k, v in mine.items() if k.startswith("MODULE_")}


def test_ctypes_layout_matches_every_size_and_offset_the_header_pins():
    structs = {s.__name__: s for s in (_native.ParamSlot, _native.StructParam, _native.ReportTime,
                                       _native.ReportBlock, _native.ReportItem)}
    structs["bool"] = ctypes.c_bool
    sizes = _SIZE.findall(HEADER)
    offsets = _OFFSET.findall(HEADER)
    assert len(sizes) == 6 and len(offsets) == 26
    for struct, expected in sizes:
        assert ctypes.sizeof(structs[struct]) == header_value(expected), struct
    for struct, field, expected in offsets:
        assert getattr(structs[struct], field).offset == int(expected), (struct, field)
    # The import-time check pins the same list.
    pinned = {(s.__name__, f, v) for s, f, v in _native.PINNED_LAYOUT if f is not None}
    assert pinned == {(s, f, int(v)) for s, f, v in offsets}


def test_table_flags_and_column_types_match_the_table_header():
    import numpy as np

    flags = {name: int(value) for name, value in
             re.findall(r"^#define WENDRAKE_TABLE_(\w+) (\d+)u", TABLE_HEADER, re.M)}
    assert (columns.CURRENT_ONLY, columns.SETTINGS) == (flags["CURRENT_ONLY"], flags["SETTINGS"])
    assert (columns.RECORD_FIELDS, columns.MESSAGES) == (flags["RECORD_FIELDS"], flags["MESSAGES"])
    types = {name: int(value) for name, value in
             re.findall(r"^\s*WENDRAKE_COLUMN_(\w+) = (\d+)", TABLE_HEADER, re.M)}
    names = ("INT64", "UINT32", "INT32", "INT16", "FLOAT64", "CATEGORY")
    mine = {name: getattr(columns, "_" + name) for name in names}
    assert types == mine
    # Each type's numpy element is as wide as the header's C type.
    widths = {"INT64": 8, "UINT32": 4, "INT32": 4, "INT16": 2, "FLOAT64": 8, "CATEGORY": 4}
    assert {name: np.dtype(columns._DTYPES[code]).itemsize for name, code in mine.items()} == widths


def _table_layout_index():
    """Which of the header's pinned values this Python's ctypes must match."""
    if ctypes.sizeof(ctypes.c_void_p) == 8:
        return 0

    class Probe(ctypes.Structure):
        _fields_ = [("c", ctypes.c_char), ("v", ctypes.c_int64)]
    return 1 if Probe.v.offset == 8 else 2


def test_ctypes_mirrors_of_the_table_structs_match_the_pinned_layout():
    structs = {"WendrakeParamInfo": _table.ParamInfo, "WendrakeColumn": columns._Column,
               "WendrakeSettings": columns._Settings, "WendrakeParamBlock": columns._ParamBlock,
               "WendrakeEvdoTally": columns._EvdoTally, "WendrakeNotes": columns._Notes,
               "WendrakeMessages": columns._Messages, "WendrakeCell": columns._Cell}
    pins = _TABLE_PIN.findall(TABLE_HEADER)
    which = _table_layout_index()
    sizes = {size_of: int(values[which]) for size_of, _, _, *values in pins if size_of}
    offsets = {(struct, field): int(values[which]) for _, struct, field, *values in pins if struct}
    assert set(sizes) == set(structs)  # every struct is pinned, and the pattern still matches
    for name, mirror in structs.items():
        assert ctypes.sizeof(mirror) == sizes[name], name
        # The mirrors spell the header's camelCase fields in snake_case, field for field.
        pinned = sorted((offset, field) for (struct, field), offset in offsets.items() if struct == name)
        mine = sorted((getattr(mirror, field).offset, field) for field, *_ in mirror._fields_)
        assert [offset for offset, _ in mine] == [offset for offset, _ in pinned], name
        snake = [re.sub(r"([A-Z])", lambda m: "_" + m.group(1).lower(), field) for _, field in pinned]
        assert [field for _, field in mine] == snake, name


def test_table_library_reports_the_header_version(library):
    versions = dict(re.findall(r"^#define WENDRAKE_VERSION_(MAJOR|MINOR|PATCH) (\d+)$", HEADER, re.M))
    major, minor, patch = (int(versions[k]) for k in ("MAJOR", "MINOR", "PATCH"))
    cdll = _native.open_shared_object(_table.find_table_library())
    cdll.wendrake_version_number.restype = ctypes.c_int
    cdll.wendrake_version_number.argtypes = []
    assert cdll.wendrake_version_number() == major * 10000 + minor * 100 + patch
    assert params.library_version() == "%d.%d.%d" % (major, minor, patch)


def test_table_library_exports_exactly_what_the_header_declares(library):
    nm = shutil.which("nm")
    if nm is None:
        pytest.skip("no nm to list the library's symbols")
    declared = set(re.findall(r"WENDRAKE_TABLE_API\s[^;(]*?\b(wendrake_\w+)\s*\(", TABLE_HEADER))
    assert "wendrake_version_number" in declared  # the pattern still matches the header's style
    listing = subprocess.run([nm, "-D", "--defined-only", _table.find_table_library()],
                             capture_output=True, text=True, check=True).stdout
    exported = {line.split()[-1] for line in listing.splitlines() if " T " in line}
    assert exported == declared


def test_parameter_tables_come_from_the_table_library(library):
    assert wendrake.__version__ == params.library_version()
    assert len(params.SLOT_IDS) == header.PARAM_COUNT == len(set(params.SLOT_IDS))
    assert params.NAMES[params.L3_STATE] == "L3State" and params.NAMES[params.EVDO_STATE] == "EvdoState"
    assert params.KNOWN_COLUMNS["EVT"]["Event"] == header.PARAM_EVENT
    rxagc = params.KNOWN_COLUMNS["DM"]["Rxagc"]
    assert (params.scale(rxagc), params.real(rxagc, -74230), params.name(rxagc)) == (1000, -74.23, "Rxagc")
    assert params.name(0x7F01FFFF) == "0x7F01FFFF" and params.scale(0x7F01FFFF) == 1
    assert params.slot_index(params.SLOT_IDS[91]) == 91
    assert set(params.SCALES.values()) == {100, 1000}
    assert params.VALUED_IDS == tuple(pid for pid in params.SLOT_IDS if pid in params.NAMES)
    with pytest.raises(AttributeError):
        params.NO_SUCH_TABLE


def test_table_library_lookup(tmp_path, library, monkeypatch):
    beside = _table.find_table_library()
    assert beside.startswith(str(_native.Path(library).parent))
    monkeypatch.setenv(_table.TABLE_ENV, str(tmp_path / "nowhere.so"))
    with pytest.raises(wendrake.WendrakeError, match="WENDRAKE_TABLE_LIBRARY"):
        _table.find_table_library()
    monkeypatch.setenv(_table.TABLE_ENV, str(_native.Path(beside).parent))
    assert _table.find_table_library() == beside
    # The decoder library is not a table library.
    monkeypatch.setenv(_table.TABLE_ENV, library)
    with pytest.raises(wendrake.WendrakeError, match="not a wendrake table library"):
        _table.read_catalogue()


def test_a_missing_table_library_names_every_place_looked(tmp_path, library):
    # A fresh interpreter: this one has the table library loaded already, and
    # the dynamic loader would hand it out again by its name.
    alone = tmp_path / "alone"
    alone.mkdir()
    shutil.copy(library, alone / _native._FILE_NAMES[0])
    log = tmp_path / "drive.log"
    log.write_text("RegReport\tDM\tRxagc\nDM\t-70\n")
    script = ("import sys, wendrake\n"
              "from wendrake import _table\n"
              "for call in (lambda: wendrake.to_dataframe(sys.argv[1]), lambda: _table.open_table_library()):\n"
              "    try:\n"
              "        call()\n"
              "    except wendrake.WendrakeError as e:\n"
              "        print(e)\n")
    env = {k: v for k, v in os.environ.items() if k not in (_table.TABLE_ENV, "LD_LIBRARY_PATH")}
    env.update(WENDRAKE_LIBRARY=str(alone), PYTHONPATH=str(SOURCE / "python"))
    result = subprocess.run([sys.executable, "-c", script, str(log)], capture_output=True, text=True,
                            env=env, timeout=120)
    if not result.stdout:
        pytest.skip("a table library is installed where the dynamic loader finds it")
    messages = result.stdout.splitlines()
    assert len(messages) == 2, result
    for message in messages:
        assert "looked in" in message and str(alone) in message and "WENDRAKE_TABLE_LIBRARY" in message
        assert "dynamic loader" in message
