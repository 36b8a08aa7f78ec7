"""ctypes mirror of include/wendrake/wendrake.h and the loader of libwendrake.

The structures are byte-packed exactly like the header's, and their sizes and
offsets are checked at import against the values the header pins: a layout
that drifted would otherwise read plausible garbage rather than fail.
"""

import ctypes
import os
import sys
from pathlib import Path

from . import _search

from .header import (BLOCK_SIZE, MODULE_TYPES, PARAM_COUNT, REPORT_ITEM_SIZE,
                     STRUCT_AREA_SIZE, STRUCT_LIST_CAPACITY)

LIBRARY_ENV = "WENDRAKE_LIBRARY"


class WendrakeError(Exception):
    """The library cannot be found or loaded, or a decoder cannot be used."""


class WendrakeWarning(UserWarning):
    """Something in the input was handled in a way the caller should know of,
    such as a last line without a newline."""


class DecoderObject(ctypes.Structure):
    """Opaque: only ever handled through a pointer."""


class ParamSlot(ctypes.Structure):
    _pack_ = 1
    _fields_ = [("state", ctypes.c_int32), ("paramId", ctypes.c_uint32), ("value", ctypes.c_int32)]


class StructParam(ctypes.Structure):
    _pack_ = 1
    _fields_ = [("state", ctypes.c_int32), ("paramId", ctypes.c_uint32),
                ("reserved", ctypes.c_uint32), ("payload", ctypes.c_uint32)]


class ReportTime(ctypes.Structure):
    _pack_ = 1
    _fields_ = [("seconds", ctypes.c_uint32), ("micros", ctypes.c_uint32)]


class ReportBlock(ctypes.Structure):
    _pack_ = 1
    _fields_ = [("length", ctypes.c_uint32), ("bytes", ctypes.c_uint8 * BLOCK_SIZE)]


class ReportItem(ctypes.Structure):
    _pack_ = 1
    _fields_ = [
        ("reservedA", ctypes.c_uint16),
        ("reservedB", ctypes.c_uint16),
        ("timeSeconds", ctypes.c_uint32),
        ("timeMicros", ctypes.c_uint32),
        ("msgCode", ctypes.c_uint32),
        ("textLength", ctypes.c_uint32),
        # uint8, not c_char: a c_char array field reads as bytes cut at the first NUL.
        ("text", ctypes.c_uint8 * BLOCK_SIZE),
        ("rawLength", ctypes.c_uint32),
        ("raw", ctypes.c_uint8 * BLOCK_SIZE),
        ("simpleLength", ctypes.c_uint32),
        ("simple", ctypes.c_uint8 * BLOCK_SIZE),
        ("direction", ctypes.c_uint16),
        ("curParamCount", ctypes.c_uint16),
        ("inheritParamCount", ctypes.c_uint16),
        ("paramCapacity", ctypes.c_uint16),
        ("curParamList", ctypes.c_uint16 * PARAM_COUNT),
        ("inheritParamList", ctypes.c_uint16 * PARAM_COUNT),
        ("paramSlots", ParamSlot * PARAM_COUNT),
        ("curStructCount", ctypes.c_uint16),
        ("inheritStructCount", ctypes.c_uint16),
        ("structCapacity", ctypes.c_uint16),
        ("curStructList", ctypes.c_uint16 * STRUCT_LIST_CAPACITY),
        ("inheritStructList", ctypes.c_uint16 * STRUCT_LIST_CAPACITY),
        ("structParams", ctypes.c_uint8 * STRUCT_AREA_SIZE),
    ]


# The header's pinned layout: (structure, field or None for the size, value).
PINNED_LAYOUT = (
    (ParamSlot, None, 12), (StructParam, None, 16), (ReportTime, None, 8),
    (ReportBlock, None, 5124), (ReportItem, None, REPORT_ITEM_SIZE),
    (ReportItem, "reservedB", 2), (ReportItem, "timeSeconds", 4), (ReportItem, "timeMicros", 8),
    (ReportItem, "msgCode", 12), (ReportItem, "textLength", 16), (ReportItem, "text", 20),
    (ReportItem, "rawLength", 5140), (ReportItem, "raw", 5144),
    (ReportItem, "simpleLength", 10264), (ReportItem, "simple", 10268),
    (ReportItem, "direction", 15388), (ReportItem, "curParamCount", 15390),
    (ReportItem, "inheritParamCount", 15392), (ReportItem, "paramCapacity", 15394),
    (ReportItem, "curParamList", 15396), (ReportItem, "inheritParamList", 15952),
    (ReportItem, "paramSlots", 16508), (ReportItem, "curStructCount", 19844),
    (ReportItem, "inheritStructCount", 19846), (ReportItem, "structCapacity", 19848),
    (ReportItem, "curStructList", 19850), (ReportItem, "inheritStructList", 19912),
    (ReportItem, "structParams", 19974), (ParamSlot, "value", 8),
    (StructParam, "payload", 12), (ReportBlock, "bytes", 4),
)


def check_layout():
    """Raises WendrakeError unless every pinned size and offset matches."""
    wrong = []
    for struct, field, expected in PINNED_LAYOUT:
        actual = ctypes.sizeof(struct) if field is None else getattr(struct, field).offset
        if actual != expected:
            what = struct.__name__ + ("." + field if field else " size")
            wrong.append("%s is %d, the header pins %d" % (what, actual, expected))
    if ctypes.sizeof(ctypes.c_bool) != 1:
        wrong.append("bool is not one byte")
    if wrong:
        raise WendrakeError("ctypes layout differs from wendrake.h: " + "; ".join(wrong))


check_layout()

_Handle = ctypes.POINTER(DecoderObject)
_c_int = ctypes.c_int

# name: (restype, argtypes), exactly as the header declares them. DecodeMsgProc
# is variadic in C; its optional fourth argument is never passed.
PROTOTYPES = {
    "CreateDecoderObjectProc": (_Handle, [_c_int]),
    "FreeDecoderObjectProc": (ctypes.c_bool, [ctypes.POINTER(_Handle)]),
    "SetDecoderConfiguration": (ctypes.c_bool, [_Handle, _c_int, ctypes.POINTER(ctypes.c_uint8), _c_int]),
    "DecodeMsgProc": (ctypes.c_bool, [_Handle, ctypes.c_char_p, _c_int]),
    "GetReportItemCountProc": (_c_int, [_Handle]),
    "ClearReportItemsProc": (ctypes.c_bool, [_Handle]),
    "GetReportItemProc": (ctypes.POINTER(ReportItem), [_Handle, _c_int]),
    "GetReportItemMsgCode": (_c_int, [_Handle, _c_int]),
    "GetReportItemMsgDirection": (_c_int, [_Handle, _c_int]),
    "GetReportItemMsgTime": (ctypes.POINTER(ReportTime), [_Handle, _c_int]),
    "GetReportItemBinary": (ctypes.POINTER(ReportBlock), [_Handle, _c_int]),
    "GetReportItemBinaryToRCUFilter": (ctypes.POINTER(ReportBlock), [_Handle, _c_int]),
    "GetReportItemBinaryToRCUSimple": (ctypes.POINTER(ReportBlock), [_Handle, _c_int]),
    "GetReportItemCurDecodeParamCount": (_c_int, [_Handle, _c_int]),
    "GetReportItemInheritDecodeParamCount": (_c_int, [_Handle, _c_int]),
    "GetReportItemCurDecodeParamList": (ctypes.POINTER(ParamSlot), [_Handle, _c_int, _c_int]),
    "GetReportItemInheritDecodeParamList": (ctypes.POINTER(ParamSlot), [_Handle, _c_int, _c_int]),
    "GetReportItemCurDecodeStructParamCount": (_c_int, [_Handle, _c_int]),
    "GetReportItemInheritDecodeStructParamCount": (_c_int, [_Handle, _c_int]),
    "GetReportItemCurDecodeStructParamList": (ctypes.POINTER(StructParam), [_Handle, _c_int, _c_int]),
    "GetReportItemInheritDecodeStructParamList": (ctypes.POINTER(StructParam), [_Handle, _c_int, _c_int]),
}
assert len(PROTOTYPES) == 21


if sys.platform == "win32":
    _FILE_NAMES = ("wendrake.dll",)
elif sys.platform == "darwin":
    _FILE_NAMES = ("libwendrake.0.dylib", "libwendrake.dylib")
else:
    _FILE_NAMES = ("libwendrake.so.0", "libwendrake.so")

# Sanitizer runtimes insist on being loaded first: dlopen-ing a library that
# needs one into a plain interpreter aborts the process instead of failing.
_SANITIZER_RUNTIMES = (b"libasan.so", b"libtsan.so", b"libubsan.so", b"libclang_rt.asan")


def _in_folders(folders):
    return [d / n for d in folders for n in _FILE_NAMES if (d / n).is_file()]


def _searched():
    """The places find_library looks, for error messages."""
    before, after = _search.folders()
    return ", ".join([str(d) for d in before + after] + ["the dynamic loader's path"])


def _needed_libraries(path):
    """The DT_NEEDED names of an ELF shared object (read from its dynamic
    section, a few kilobytes), or None when it is not one this can read."""
    import struct

    try:
        with open(path, "rb") as f:
            ident = f.read(64)
            if len(ident) < 64 or ident[:4] != b"\x7fELF" or ident[5] != 1:  # little-endian only
                return None
            wide = ident[4] == 2
            header = struct.unpack_from("<HHIQQQIHHH" if wide else "<HHIIIIIHHH", ident, 16)
            phoff, phentsize, phnum = header[4], header[8], header[9]
            f.seek(phoff)
            table = f.read(phentsize * phnum)
            segments = [struct.unpack_from("<IIQQQQQQ" if wide else "<IIIIIIII", table, i * phentsize)
                        for i in range(phnum)]
            # (type, offset, vaddr, filesz) of each program header.
            if wide:
                segments = [(t, off, va, fs) for t, _, off, va, _, fs, _, _ in segments]
            else:
                segments = [(t, off, va, fs) for t, off, va, _, fs, _, _, _ in segments]
            dynamic = next((s for s in segments if s[0] == 2), None)  # PT_DYNAMIC
            if dynamic is None:
                return None
            f.seek(dynamic[1])
            raw = f.read(dynamic[3])
            entry = "<qQ" if wide else "<iI"
            size = struct.calcsize(entry)
            tags = [struct.unpack_from(entry, raw, i) for i in range(0, len(raw) - size + 1, size)]
            strtab = next((v for t, v in tags if t == 5), None)  # DT_STRTAB, an address
            if strtab is None:
                return None
            base = next((off + strtab - va for t, off, va, fs in segments
                         if t == 1 and va <= strtab < va + fs), None)  # PT_LOAD holding it
            if base is None:
                return None
            names = []
            for tag, value in tags:
                if tag == 1:  # DT_NEEDED
                    f.seek(base + value)
                    names.append(f.read(256).split(b"\0", 1)[0])
            return names
    except (OSError, struct.error):
        return None


def _needs_sanitizer_runtime(path):
    # The libraries it needs, from its dynamic section; a file that is not a
    # readable ELF object is searched whole for the runtimes' names.
    needed = _needed_libraries(path)
    if needed is not None:
        image = b"\0".join(needed)
    else:
        try:
            with open(path, "rb") as f:
                image = f.read()
        except OSError:
            return None
    for runtime in _SANITIZER_RUNTIMES:
        if runtime in image:
            return runtime.decode()
    return None


def _runtime_already_loaded(runtime):
    try:
        with open("/proc/self/maps", "rb") as f:
            return runtime.encode() in f.read()
    except OSError:
        return False


def open_shared_object(path):
    """ctypes.CDLL of `path`; WendrakeError when it cannot load, or when it is a
    sanitizer build that would abort this interpreter."""
    runtime = _needs_sanitizer_runtime(path)
    if runtime and not _runtime_already_loaded(runtime):
        raise WendrakeError(
            "%s is a sanitizer build (needs %s): loading it would abort the interpreter; "
            "use a plain build, or start python with LD_PRELOAD=$(gcc -print-file-name=%s)"
            % (path, runtime, runtime))
    try:
        return ctypes.CDLL(str(path))
    except OSError as e:
        raise WendrakeError("cannot load %s: %s" % (path, e)) from e


class Library:
    """A loaded libwendrake with the 21 prototypes set."""

    def __init__(self, path):
        self.path = str(path)
        self.cdll = open_shared_object(self.path)
        for name, (restype, argtypes) in PROTOTYPES.items():
            try:
                function = getattr(self.cdll, name)
            except AttributeError:
                raise WendrakeError("%s does not export %s: not a wendrake library" % (self.path, name)) from None
            function.restype = restype
            function.argtypes = argtypes
            setattr(self, name, function)

    def __repr__(self):
        return "<wendrake library %s>" % self.path


_loaded = {}


def find_library(path=None):
    """Path of the library to load: `path`, $WENDRAKE_LIBRARY, else the first
    found where _search says (last, the dynamic loader's own search by file name)."""
    explicit = path if path is not None else os.environ.get(LIBRARY_ENV) or None
    if explicit is not None:
        explicit = Path(explicit)
        if explicit.is_dir():
            inside = [explicit / n for n in _FILE_NAMES if (explicit / n).is_file()]
            if not inside:
                raise WendrakeError("no wendrake library in directory %s" % explicit)
            explicit = inside[0]
        if not explicit.is_file():
            source = "argument" if path is not None else "$" + LIBRARY_ENV
            raise WendrakeError("wendrake library %s (from %s) does not exist" % (explicit, source))
        return str(explicit.resolve())
    before, after = _search.folders()
    for candidate in _in_folders(before + after):
        if not _needs_sanitizer_runtime(candidate):
            return str(candidate.resolve())
    # Left to the dynamic loader (LD_LIBRARY_PATH, ld.so.cache).
    return _FILE_NAMES[0]


def load(path=None):
    """The loaded library (one instance per file), found as find_library says."""
    resolved = find_library(path)
    library = _loaded.get(resolved)
    if library is None:
        try:
            library = Library(resolved)
        except WendrakeError as e:
            if resolved == _FILE_NAMES[0]:
                raise WendrakeError(
                    "wendrake library not found (looked in %s): pass library=PATH, set %s "
                    "(a source tree's build: build/default/libwendrake.so.0), or install it (%s)"
                    % (_searched(), LIBRARY_ENV, e)) from None
            raise
        _loaded[resolved] = library
    return library


def module_type(module):
    """The int module type of 0xB101, or of a name as the command line tool
    spells it: its hexadecimal digits with or without 0x, in any case ("B101",
    "b101", "0xB101"); ValueError if unknown."""
    if isinstance(module, str):
        value = MODULE_TYPES.get(module.upper().removeprefix("0X"))
        if value is None:
            raise ValueError("unknown module type %r (expected one of %s)"
                             % (module, ", ".join(MODULE_TYPES)))
        return value
    if isinstance(module, bool) or not isinstance(module, int):
        raise TypeError("module type must be an int such as 0xB101 or a name such as 'B101', not %s"
                        % type(module).__name__)
    if module not in MODULE_TYPES.values():
        raise ValueError("unknown module type 0x%X (expected one of %s)"
                         % (module, ", ".join("0x%X" % v for v in MODULE_TYPES.values())))
    return module
