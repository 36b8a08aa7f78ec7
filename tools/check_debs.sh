#!/usr/bin/env bash
# Builds the Debian packages (cmake --workflow --preset deb), installs them
# with apt, and uses them as a user would, with no environment variables of
# ours: the installed tool (`map` through its module too) and its man page
# and completion, a C consumer built through pkg-config and through
# find_package, and `import wendrake` in Debian's python3. Purges the
# packages again, also on failure, and checks that the purge left nothing of
# theirs behind (no compiled Python files, no folders). Needs root or sudo;
# refuses to run where wendrake packages are installed already.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
packages=(libwendrake0 libwendrake-dev wendrake-tools wendrake-map python3-wendrake)

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
for p in "${packages[@]}"; do
  if [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" = installed ]; then
    echo "check_debs: $p is installed already; remove it first (apt-get remove $p)" >&2
    exit 2
  fi
done

(cd "$root" && cmake --workflow --preset deb)
version=$(cat "$root/VERSION")
out=$root/build/deb/packages
debs=()
for p in "${packages[@]}"; do
  deb=$(ls "$out/${p}_${version}_"*.deb 2>/dev/null) || { echo "check_debs: no $p package in $out" >&2; exit 1; }
  debs+=("$deb")
done

work=$(mktemp -d)
cleanup() {
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 \
    remove --purge -y -qq "${packages[@]}" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 \
  install -y -qq --no-install-recommends "${debs[@]}"
# Every path the packages installed, to check after the purge.
installed=$(dpkg -L "${packages[@]}")

# Everything below runs with an empty environment but PATH and HOME, from a
# folder outside the source tree.
clean() { (cd "$work" && env -i PATH=/usr/bin:/bin HOME="$work" "$@"); }

echo "== the installed tool"
[ "$(clean sh -c 'command -v wendrake')" = /usr/bin/wendrake ] || { echo "wendrake is not /usr/bin/wendrake" >&2; exit 1; }
clean wendrake --version
[ "$(clean wendrake --version)" = "wendrake $version" ] || { echo "wendrake --version is not $version" >&2; exit 1; }
# Written to a file first: `| head` would end the tool with SIGPIPE, which
# pipefail turns into a failure.
clean wendrake stats "$root/examples/sample_drive.log" >"$work/stats.txt"
head -5 "$work/stats.txt"
# `map` loads the package's map module; the tool itself links no GDAL.
clean wendrake map "$root/examples/sample_drive.log" -o "$work/route.gpkg"
[ -s "$work/route.gpkg" ] || { echo "wendrake map wrote no route.gpkg" >&2; exit 1; }
echo "wendrake map: route.gpkg of $(stat -c %s "$work/route.gpkg") bytes"
if ldd /usr/bin/wendrake | grep -q libgdal; then
  echo "/usr/bin/wendrake links GDAL; only its map module may" >&2
  exit 1
fi
[ -s /usr/share/man/man1/wendrake.1 ] || [ -s /usr/share/man/man1/wendrake.1.gz ] ||
  { echo "no man page" >&2; exit 1; }
completion=$(clean bash -c 'source /usr/share/bash-completion/completions/wendrake
  COMP_WORDS=(wendrake st); COMP_CWORD=1; _wendrake; echo "${COMPREPLY[*]}"')
echo "completion of 'wendrake st': $completion"
[ "$completion" = stats ] || { echo "bash completion does not offer stats" >&2; exit 1; }

echo "== a C consumer through pkg-config"
clean cc -std=c99 "$root/tests/install/consumer.c" -o "$work/consumer-pc" $(clean pkg-config --cflags --libs wendrake)
clean "$work/consumer-pc"
clean cc -std=c99 "$root/tests/install/table_consumer.c" -o "$work/table-consumer-pc" \
  $(clean pkg-config --cflags --libs wendrake-table)
clean "$work/table-consumer-pc"

echo "== a C consumer through find_package"
clean cmake -S "$root/tests/install" -B "$work/consumer-cmake" >"$work/configure.log"
clean cmake --build "$work/consumer-cmake" >"$work/build.log"
clean "$work/consumer-cmake/consumer"
clean "$work/consumer-cmake/table_consumer"

echo "== the Python package"
clean python3 -c "import wendrake; print('wendrake', wendrake.__version__)"
[ "$(clean python3 -c 'import wendrake; print(wendrake.__version__)')" = "$version" ] ||
  { echo "wendrake.__version__ is not $version" >&2; exit 1; }
clean python3 -c "import sys, wendrake
items = sum(1 for _ in wendrake.decode_file(sys.argv[1]))
print('python3: %d items from the installed library' % items); sys.exit(items == 0)" \
  "$root/examples/sample_drive.log"

clean wendrake-py --version

echo "== the purge leaves nothing behind"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 \
  remove --purge -y -qq "${packages[@]}" >/dev/null
left=()
while IFS= read -r path; do
  # Shared folders (/usr/bin, /usr/share/doc) stay; files, and folders of our own, go.
  if [ -e "$path" ] || [ -L "$path" ]; then
    if [ ! -d "$path" ] || [[ $path == *wendrake* ]]; then left+=("$path"); fi
  fi
done <<<"$installed"
if [ "${#left[@]}" -ne 0 ]; then
  echo "the purge left behind:" >&2
  for path in "${left[@]}"; do find "$path" -maxdepth 2 >&2; done
  exit 1
fi
if clean python3 -c "import wendrake" 2>/dev/null; then
  echo "python3 still imports wendrake after the purge" >&2
  exit 1
fi

echo "check_debs: ${packages[*]} $version installed, used and purged without a trace"
