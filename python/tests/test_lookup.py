"""Where the package looks for libwendrake without an argument or
$WENDRAKE_LIBRARY, and what it says when it finds none."""

from pathlib import Path

import pytest

import wendrake
from wendrake import _native, _search

from conftest import SOURCE


@pytest.mark.parametrize("package, prefix", [
    ("/usr/lib/python3/dist-packages/wendrake", "/usr"),              # the Debian package
    ("/opt/w/lib/python3.11/site-packages/wendrake", "/opt/w"),       # pip, a venv
    ("/opt/w/lib64/python3.11/site-packages/wendrake", "/opt/w"),
    ("/work/repo/python/wendrake", None),                             # a source tree
    ("/srv/site-packages/wendrake", None),
])
def test_install_prefix_only_from_an_installed_layout(package, prefix):
    found = _search.install_prefix(Path(package))
    assert found == (Path(prefix) if prefix else None)


def test_package_folder_then_prefix_libs_come_before_the_system():
    before, after = _search.folders(Path("/opt/w/lib/python3/dist-packages/wendrake"))
    assert before[0] == Path("/opt/w/lib/python3/dist-packages/wendrake")
    assert Path("/opt/w/lib") in before and Path("/opt/w/lib64") in before
    assert Path("/usr/lib") in after and not set(before) & set(after)


def test_version_is_the_version_file():
    assert wendrake.__version__ == (SOURCE / "VERSION").read_text().strip()


def test_not_found_says_where_it_looked(monkeypatch):
    monkeypatch.delenv(_native.LIBRARY_ENV, raising=False)
    monkeypatch.setattr(_native, "_FILE_NAMES", ("libwendrake-absent.so.0",))
    with pytest.raises(wendrake.WendrakeError, match="looked in .*wendrake.*/usr/lib.*dynamic loader"):
        _native.load()


def test_a_source_tree_build_is_not_searched(monkeypatch, tmp_path):
    # Only the package's folders and the system's: a library built in the
    # checkout the package sits in is never picked up behind the caller's back.
    monkeypatch.delenv(_native.LIBRARY_ENV, raising=False)
    monkeypatch.setattr(_search, "folders", lambda package=None: ([tmp_path], []))
    assert _native.find_library() == _native._FILE_NAMES[0]
