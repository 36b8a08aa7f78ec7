"""The numbers include/wendrake/wendrake.h defines, which no shared object can
hand out: one Python definition each. python/tests/test_header.py parses the
header and fails when any of them differs, so they cannot drift.
Names are the header's without the WENDRAKE_ prefix.
"""

from ._version import __version__ as _version

# The version, from the one VERSION file the build also reads.
VERSION_MAJOR, VERSION_MINOR, VERSION_PATCH = (int(part) for part in _version.split("."))

# Chip module types; the module type forms the high half of most message codes.
MODULE_B101 = 0xB101
MODULE_B200 = 0xB200
MODULE_B20A = 0xB20A
MODULE_B20B = 0xB20B
MODULE_BD00 = 0xBD00
MODULE_TYPES = {"B101": MODULE_B101, "B200": MODULE_B200, "B20A": MODULE_B20A,
                "B20B": MODULE_B20B, "BD00": MODULE_BD00}

# Sizes of the fixed blocks of a report item.
BLOCK_SIZE = 5120
PARAM_COUNT = 278
STRUCT_LIST_CAPACITY = 31
STRUCT_PARAM_COUNT = 40
STRUCT_AREA_SIZE = 32505
REPORT_ITEM_SIZE = 52479

# Parameters the decoder reports besides logged columns.
PARAM_L3_STATE = 0x7F01C102    # layer-3 state word: 0 idle, 1 access, 2 traffic
PARAM_EVDO_STATE = 0x7F01C103  # EV-DO state word: 0 inactive, 1 idle or setup, 2 connected
PARAM_EVENT = 0x7F01C104       # the "Event" column of an "EVT" line

# ParamSlot.state values.
STATE_NO_VALUE = -1
STATE_INHERITED = 0
STATE_CURRENT = 1

# ReportItem.direction values.
DIRECTION_DOWNLINK = 0
DIRECTION_UPLINK = 1
DIRECTION_NONE = 2

# A stamp is mktime(log clock as local standard time) + STAMP_OFFSET; an item
# before any clock record, or with a clock mktime cannot convert, is stamped
# STAMP_FAILED (the offset plus mktime's -1).
STAMP_OFFSET = 28800
STAMP_FAILED = 28799
