"""Shared fixtures: the library, the command line tool and the sample drive test.

Environment (CTest sets all three): WENDRAKE_LIBRARY (else the source tree's
build*/libwendrake.so.0, which is then set as WENDRAKE_LIBRARY for the package
and the processes the tests start), WENDRAKE_CLI (else
build*/tools/cli/wendrake), and WENDRAKE_SOURCE_DIR (else two levels above
this file).
"""

import json
import os
import sys
import time
from pathlib import Path

# Stamps follow the process's time zone; the command line tool runs with
# TZ=UTC0, so the binding must too for the stored seconds to agree.
os.environ["TZ"] = "UTC0"
time.tzset()

import pytest  # noqa: E402

SOURCE = Path(os.environ.get("WENDRAKE_SOURCE_DIR") or Path(__file__).resolve().parents[2])
sys.path.insert(0, str(SOURCE / "python"))

import wendrake  # noqa: E402
from wendrake import _native  # noqa: E402

SAMPLE = SOURCE / "examples" / "sample_drive.log"
EXPECTED = SOURCE / "examples" / "sample_drive.expected.json"
# The number of items the sample yields, as its generator counted them.
SAMPLE_ITEMS = json.loads(EXPECTED.read_text())["items"]


def _built_library():
    """The source tree's build of the library, build/default first."""
    found = sorted(SOURCE.glob("build/default/libwendrake.so.0")) + sorted(
        SOURCE.glob("build*/libwendrake.so.0")) + sorted(SOURCE.glob("build/*/libwendrake.so.0"))
    return str(found[0]) if found else None


if not os.environ.get(_native.LIBRARY_ENV) and _built_library():
    os.environ[_native.LIBRARY_ENV] = _built_library()


@pytest.fixture(scope="session")
def library():
    """Path of the library under test. Without WENDRAKE_LIBRARY and a build in
    the source tree, skips; a library that does not load fails every test."""
    if not os.environ.get(_native.LIBRARY_ENV):
        pytest.skip("no libwendrake: set WENDRAKE_LIBRARY or build the source tree")
    return _native.load().path


@pytest.fixture(scope="session")
def cli():
    path = os.environ.get("WENDRAKE_CLI")
    if not path:
        found = sorted(SOURCE.glob("build*/tools/cli/wendrake")) + sorted(
            SOURCE.glob("build/*/tools/cli/wendrake"))
        path = str(found[0]) if found else None
    if not path or not os.access(path, os.X_OK):
        pytest.skip("the wendrake command line tool is not built")
    return path


@pytest.fixture(scope="session")
def sample_items(library):
    return list(wendrake.decode_file(SAMPLE, library=library))


def write_log(path, text):
    """Writes a small log; `text` uses \\n line ends and \\t separators."""
    path.write_bytes(text.encode())
    return path


# A header that registers the DM, C1XQI, CEVS and EVT columns, then one clock.
SMALL_HEADER = (
    "RegReport\tDM\tRxagc\tTxpower\tTotal_EcIo\tTotal_C/I\tTotal_SINR\n"
    "RegReport\tC1XQI\tRlprx_Rate\tEV_RxRLPThroughput\n"
    "RegReport\tEVT\tEvent\tEventName\n"
    "DAY\t2011\t10\t19\nHOUR\t15\nMIN\t42\nSEC\t7\t250\n"
)


def pytest_configure(config):
    # Debian's tornado and distributed releases disagree on event loops; harmless.
    config.addinivalue_line("filterwarnings", "ignore:make_current is deprecated:DeprecationWarning")
