"""Where the package looks for libwendrake when neither an argument nor
$WENDRAKE_LIBRARY names it, in order:
  1. next to the package's own files (a library copied beside it);
  2. the lib folders of the prefix the package is installed under, when it
     sits in PREFIX/lib/python3*/{dist,site}-packages (`cmake --install`,
     the Debian package);
  3. the system's library folders, the Debian multiarch one included.
Last, the dynamic loader's own search by file name. A source tree's build
folders are not searched: a checkout used with PYTHONPATH names its build's
library with $WENDRAKE_LIBRARY."""

import sys
import sysconfig
from pathlib import Path

_PACKAGE = Path(__file__).resolve().parent
_SYSTEM = ("/usr/local/lib", "/usr/local/lib64", "/usr/lib", "/usr/lib64", "/opt/wendrake/lib")


def _multiarch_dirs(prefix):
    tuple_ = sysconfig.get_config_var("MULTIARCH")  # x86_64-linux-gnu on Debian
    return [prefix / "lib" / tuple_] if tuple_ else []


def install_prefix(package=_PACKAGE):
    """PREFIX when `package` is PREFIX/lib*/python3*/*-packages/NAME, else None."""
    site, python, lib = package.parent, package.parent.parent, package.parents[2]
    if site.name.endswith("-packages") and python.name.startswith("python") and lib.name.startswith("lib"):
        return package.parents[3]
    return None


def folders(package=_PACKAGE):
    """The folders searched: (the package's own, the system's), each without
    repeats."""
    before = [package]
    prefix = install_prefix(package)
    if prefix is not None:
        before += _multiarch_dirs(prefix) + [prefix / "lib", prefix / "lib64"]
    after = _multiarch_dirs(Path("/usr")) + [Path(d) for d in _SYSTEM]
    if sys.platform == "win32":
        after = []
    return _unique(before), [d for d in _unique(after) if d not in before]


def _unique(paths):
    seen = []
    for p in paths:
        if p not in seen:
            seen.append(p)
    return seen
