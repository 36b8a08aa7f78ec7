#!/usr/bin/env bash
# Builds wendrake.dll for 32- and 64-bit Windows (presets mingw-i686 and
# mingw-x86_64, the DLL target only) and packs the release archive
# BUILD_ROOT/wendrake-VERSION-windows.zip: both DLLs with their import
# libraries, the header, the .def file and a README for Windows hosts.
# Prints the archive's path last.
# Environment: BUILD_ROOT (default <repo>/build), JOBS (default 2).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build_root=${BUILD_ROOT:-$root/build}
jobs=${JOBS:-2}
version=$(cat "$root/VERSION")
name=wendrake-$version-windows
stage=$build_root/windows-release
zip=$build_root/$name.zip

rm -rf "$stage" "$zip"
mkdir -p "$stage/$name/include/wendrake"
for pair in i686:x86 x86_64:x64; do
  arch=${pair%%:*} folder=${pair#*:}
  dir=$build_root/mingw-$arch
  (cd "$root" && cmake --preset "mingw-$arch" -B "$dir" >/dev/null)
  cmake --build "$dir" --target wendrake --parallel "$jobs" >/dev/null
  mkdir -p "$stage/$name/$folder"
  for f in wendrake.dll libwendrake.dll.a; do
    [ -f "$dir/$f" ] || { echo "release_zip: $dir/$f was not built" >&2; exit 1; }
    cp "$dir/$f" "$stage/$name/$folder/"
  done
done
cp "$root/include/wendrake/wendrake.h" "$stage/$name/include/wendrake/"
cp "$root/api/wendrake.def" "$stage/$name/"
cp "$root/VERSION" "$stage/$name/"
# Windows line ends for the text a Windows user opens.
sed 's/$/\r/' "$root/tools/windows/README-windows.txt" >"$stage/$name/README.txt"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip "$name")
echo "$zip"
