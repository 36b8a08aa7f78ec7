#!/usr/bin/env bash
# Installs a wendrake build tree into a temporary prefix, then builds and
# runs a consumer against it twice: through the CMake package and through
# pkg-config. Also runs the installed tool, which must find the installed
# library and its map module on its own.
# Usage: check_install.sh BUILD_DIR CONSUMER_SOURCE_DIR
# CONSUMER_FLAGS (environment) are added to the consumer's compile and link.
set -euo pipefail
build=$1 source=$2
flags=${CONSUMER_FLAGS:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >"$work/install.log"
for f in include/wendrake/wendrake.h bin/wendrake; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f" >&2; exit 1; }
done
library=$(find "$prefix" -name 'libwendrake.so.0' -print -quit)
[ -n "$library" ] || { echo "libwendrake.so.0 not installed" >&2; exit 1; }
if ! readelf -d "$library" | grep -q 'SONAME.*\[libwendrake.so.0\]'; then
  echo "libwendrake.so.0 lacks its SONAME" >&2
  exit 1
fi
libdir=$(dirname "$library")

"$prefix/bin/wendrake" --version

# The map module: installed under <libdir>/wendrake and found from the
# installed tool's own folder (nothing beside it), which links no GDAL.
module=$(find "$prefix" -name wendrake_map.so)
[ "$module" = "$libdir/wendrake/wendrake_map.so" ] ||
  { echo "the map module is not installed as $libdir/wendrake/wendrake_map.so: '$module'" >&2; exit 1; }
if ldd "$prefix/bin/wendrake" | grep -q libgdal; then
  echo "the installed tool links GDAL; only its map module may" >&2
  exit 1
fi
env -u WENDRAKE_MAP_MODULE "$prefix/bin/wendrake" map "$source/../../examples/sample_drive.log" -o "$work/route.gpkg"
[ -s "$work/route.gpkg" ] || { echo "the installed wendrake map wrote no route.gpkg" >&2; exit 1; }

# 1. CMake package.
cmake -S "$source" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >"$work/configure.log"
cmake --build "$work/cmake-build" >"$work/build.log"
"$work/cmake-build/consumer"
"$work/cmake-build/table_consumer"

# 2. pkg-config.
export PKG_CONFIG_PATH=$libdir/pkgconfig
cc -std=c99 $flags "$source/consumer.c" -o "$work/consumer-pc" $(pkg-config --cflags --libs wendrake) \
  -Wl,-rpath,"$(pkg-config --variable=libdir wendrake)"
"$work/consumer-pc"
cc -std=c99 $flags "$source/table_consumer.c" -o "$work/table-consumer-pc" \
  $(pkg-config --cflags --libs wendrake-table) -Wl,-rpath,"$(pkg-config --variable=libdir wendrake-table)"
"$work/table-consumer-pc"
