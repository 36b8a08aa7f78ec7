"""The package's version: the VERSION file beside this module, a link to the
repository's one VERSION file in the source tree and a copy when installed
(setuptools and the CMake install both copy it)."""

from pathlib import Path

__version__ = Path(__file__).with_name("VERSION").read_text(encoding="ascii").strip()
