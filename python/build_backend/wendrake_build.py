"""The package's build backend: setuptools, run on a copy of this folder in a
temporary directory, so that a build (`pip install ./python`) leaves no build/
or wendrake.egg-info/ behind in the source tree. Editable installs run in
place, as they must."""

import contextlib
import os
import shutil
import tempfile

from setuptools import build_meta as _setuptools

# What the build reads: everything else in this folder (tests, CMake files)
# stays where it is. VERSION inside the package is a link out of the folder:
# the copy holds its content.
_COPIED = ("pyproject.toml", "README.md", "MANIFEST.in", "build_backend", "wendrake")
_IGNORED = shutil.ignore_patterns("__pycache__", "*.pyc")


@contextlib.contextmanager
def _in_copy():
    source = os.getcwd()
    with tempfile.TemporaryDirectory(prefix="wendrake-build-") as work:
        for name in _COPIED:
            path = os.path.join(source, name)
            if os.path.isdir(path):
                shutil.copytree(path, os.path.join(work, name), ignore=_IGNORED)
            elif os.path.exists(path):
                shutil.copyfile(path, os.path.join(work, name))
        os.chdir(work)
        try:
            yield
        finally:
            os.chdir(source)


def _absolute(directory):
    return None if directory is None else os.path.abspath(directory)


def get_requires_for_build_wheel(config_settings=None):
    with _in_copy():
        return _setuptools.get_requires_for_build_wheel(config_settings)


def get_requires_for_build_sdist(config_settings=None):
    with _in_copy():
        return _setuptools.get_requires_for_build_sdist(config_settings)


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    metadata_directory = _absolute(metadata_directory)
    with _in_copy():
        return _setuptools.prepare_metadata_for_build_wheel(metadata_directory, config_settings)


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    wheel_directory, metadata_directory = _absolute(wheel_directory), _absolute(metadata_directory)
    with _in_copy():
        return _setuptools.build_wheel(wheel_directory, config_settings, metadata_directory)


def build_sdist(sdist_directory, config_settings=None):
    sdist_directory = _absolute(sdist_directory)
    with _in_copy():
        return _setuptools.build_sdist(sdist_directory, config_settings)


# Editable installs point at the source tree itself: no copy.
for _name in ("get_requires_for_build_editable", "prepare_metadata_for_build_editable", "build_editable"):
    if hasattr(_setuptools, _name):
        globals()[_name] = getattr(_setuptools, _name)
