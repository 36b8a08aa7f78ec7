#!/usr/bin/env bash
# Installs the Python package with pip, offline and without build isolation,
# into a virtual environment that sees Debian's packages, and checks it:
# the version is the VERSION file's, `wendrake-py` is installed, and the
# package finds a library next to itself or under the environment's prefix
# (as `cmake --install` puts it) with no environment variable, and says where
# it looked when there is none, for the table library too; the build leaves
# nothing in the source folder. Exits 77 (skipped) without venv, setuptools or wheel.
# Usage: check_pip_install.sh PYTHON SOURCE_DIR LIBRARY
set -euo pipefail
python=$1 source=$2 library=$3

"$python" -c "import venv, ensurepip, setuptools, wheel" 2>/dev/null ||
  { echo "skipped: $python lacks venv, ensurepip, setuptools or wheel (python3-venv, python3-setuptools, python3-wheel)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The build must leave nothing in the folder it is given (no build/, no
# wendrake.egg-info/; the backend's own __pycache__ is ignored by git).
cp -rL "$source/python" "$work/src"
listing() { (cd "$work/src" && find . -path '*/__pycache__' -prune -o -print | sort); }
before=$(listing)
"$python" -m venv --system-site-packages "$work/env"
env -i PATH=/usr/bin:/bin HOME="$work" "$work/env/bin/pip" install -q --no-index --no-build-isolation \
  "$work/src" >"$work/pip.log" 2>&1 || { cat "$work/pip.log"; echo "pip install failed" >&2; exit 1; }
after=$(listing)
[ "$before" = "$after" ] ||
  { diff <(echo "$before") <(echo "$after") || true; echo "pip install left files in the source folder" >&2; exit 1; }

version=$(cat "$source/VERSION")
run() { (cd "$work" && env -i PATH="$work/env/bin:/usr/bin:/bin" HOME="$work" "$@"); }

# No library anywhere the package looks, but for the system's: refused with
# the places named, unless a wendrake library is installed on this machine.
if ! ldconfig -p 2>/dev/null | grep -q 'libwendrake\.so\.0 '; then
  if run python -c "import wendrake; wendrake.Decoder()" 2>"$work/err.txt"; then
    echo "Decoder() worked without any library" >&2; exit 1
  fi
  grep -q "looked in .*$work/env/lib" "$work/err.txt" ||
    { cat "$work/err.txt"; echo "the error does not say where it looked" >&2; exit 1; }
fi

# A library next to the package's files, then one under the environment's
# prefix, as `cmake --install --prefix` puts it.
package=$(run python -c "import wendrake, os; print(os.path.dirname(wendrake.__file__))")
for place in "$package" "$work/env/lib"; do
  cp "$library" "$place/libwendrake.so.0"
  got=$(run python -c "import wendrake; print(wendrake.__version__); print(wendrake.Decoder().library)")
  [ "$got" = "$version
$place/libwendrake.so.0" ] || { echo "expected $version and $place/libwendrake.so.0, got: $got" >&2; exit 1; }
  [ "$place" = "$package" ] && rm "$place/libwendrake.so.0"
done
# The decoder library found, the table library nowhere: the error names
# every place looked, as the decoder library's does.
if ! ldconfig -p 2>/dev/null | grep -q 'libwendrake_table\.so\.0 '; then
  printf 'RegReport\tDM\tRxagc\nDM\t-70\n' >"$work/drive.log"
  if run python -c "import wendrake; wendrake.to_dataframe('drive.log')" 2>"$work/err.txt"; then
    echo "to_dataframe worked without a table library" >&2; exit 1
  fi
  grep -q "table library .*looked in .*$work/env/lib" "$work/err.txt" ||
    { cat "$work/err.txt"; echo "the table library's error does not say where it looked" >&2; exit 1; }
fi
run wendrake-py --help >/dev/null || { echo "wendrake-py --help failed" >&2; exit 1; }
run python -m wendrake --help >/dev/null || { echo "python -m wendrake --help failed" >&2; exit 1; }
echo "pip install: wendrake $version, wendrake-py, library found under the prefix"
