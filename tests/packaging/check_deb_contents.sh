#!/usr/bin/env bash
# Builds the Debian packages from a build tree with CPack and checks each
# package's files (dpkg-deb -c) and control fields (dpkg-deb -I): names,
# version, SONAMEs, dependencies from dpkg-shlibdeps, the ldconfig trigger,
# a copyright file in each, the man page of every subcommand and option, the
# tool without GDAL, the Python maintainer scripts; runs the packaged tool's
# `map`, which loads the map module of the wendrake-map package.
# Exits 77 (skipped) where dpkg-deb or dpkg-shlibdeps is missing.
# Usage: check_deb_contents.sh CPACK BUILD_DIR LIBDIR VERSION
set -euo pipefail
cpack=$1 build=$2 libdir=$3 version=$4
sample=$(cd "$(dirname "$0")/../../examples" && pwd)/sample_drive.log

for tool in dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (dpkg-dev)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; echo "cpack failed" >&2; exit 1; }

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# check PACKAGE ARCH: the file must exist; prints its control file and listing.
deb_of() {
  local deb=$work/${1}_${version}_$2.deb
  [ -f "$deb" ] || { fail "no package $(basename "$deb") (made: $(cd "$work" && ls ./*.deb | tr '\n' ' '))"; return 1; }
  echo "$deb"
}
has_file() { grep -qE " \./$2\$| \./$2 -> " <<<"$1" || fail "$3 lacks $2"; }
has_field() { grep -qE "^ $2" <<<"$1" || fail "$3: no control line matching '$2'"; }
lacks_field() { if grep -qE "^ $2" <<<"$1"; then fail "$3: a control line matches '$2'"; fi; }
has_copyright() { has_file "$1" "usr/share/doc/$2/copyright" "$2"; }

arch=$(dpkg --print-architecture)
lib=${libdir#/}
prefix_usr=usr

if deb=$(deb_of libwendrake0 "$arch"); then
  files=$(dpkg-deb -c "$deb") info=$(dpkg-deb -I "$deb")
  has_copyright "$files" libwendrake0
  for f in libwendrake.so.0 "libwendrake.so.$version" libwendrake_table.so.0 "libwendrake_table.so.$version"; do
    has_file "$files" "$prefix_usr/$lib/$f" libwendrake0
  done
  grep -q '\.so$\| \./usr/include' <<<"$(awk '{print $6}' <<<"$files")" && fail "libwendrake0 holds development files"
  has_field "$info" "Depends: .*libc6 \(>= " libwendrake0
  has_field "$info" "Depends: .*libstdc\+\+6 \(>= " libwendrake0
  dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./shlibs | grep -q "^libwendrake 0 libwendrake0 (= $version)" ||
    fail "libwendrake0: shlibs lacks libwendrake 0"
  dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./triggers | grep -q '^activate-noawait ldconfig' ||
    fail "libwendrake0: no ldconfig trigger"
  mkdir "$work/runtime"
  dpkg-deb -x "$deb" "$work/runtime"
  for so in libwendrake libwendrake_table; do
    readelf -d "$work/runtime/$prefix_usr/$lib/$so.so.$version" | grep -q "SONAME.*\[$so.so.0\]" ||
      fail "$so.so.$version lacks the SONAME $so.so.0"
  done
fi

if deb=$(deb_of libwendrake-dev "$arch"); then
  files=$(dpkg-deb -c "$deb") info=$(dpkg-deb -I "$deb")
  has_copyright "$files" libwendrake-dev
  for f in usr/include/wendrake/wendrake.h usr/include/wendrake/table.h "$lib/libwendrake.so" \
           "$lib/libwendrake_table.so" "$lib/pkgconfig/wendrake.pc" "$lib/pkgconfig/wendrake-table.pc" "$lib/cmake/wendrake/wendrakeConfig.cmake" \
           "$lib/cmake/wendrake/wendrakeConfigVersion.cmake" "$lib/cmake/wendrake/wendrakeTargets.cmake"; do
    case $f in usr/*) ;; *) f=$prefix_usr/$f ;; esac
    has_file "$files" "$f" libwendrake-dev
  done
  has_field "$info" "Depends: .*libwendrake0 \(= $version\)" libwendrake-dev
fi

tool=$work/tools/$prefix_usr/bin/wendrake
if deb=$(deb_of wendrake-tools "$arch"); then
  files=$(dpkg-deb -c "$deb") info=$(dpkg-deb -I "$deb")
  has_copyright "$files" wendrake-tools
  for f in usr/bin/wendrake usr/share/man/man1/wendrake.1.gz usr/share/bash-completion/completions/wendrake; do
    has_file "$files" "$f" wendrake-tools
  done
  grep -q 'wendrake_map' <<<"$files" && fail "wendrake-tools holds the map module"
  has_field "$info" "Depends: .*libwendrake0 \(= $version\)" wendrake-tools
  has_field "$info" "Depends: .*libfmt9" wendrake-tools
  lacks_field "$info" "Depends: .*libgdal" wendrake-tools
  has_field "$info" "Recommends: wendrake-map" wendrake-tools
  mkdir "$work/tools"
  dpkg-deb -x "$deb" "$work/tools"
  # The packaged tool runs beside the packaged libraries, as installed.
  [ -d "$work/runtime/$prefix_usr" ] && cp -a "$work/runtime/$prefix_usr/." "$work/tools/$prefix_usr/"
  man=$(zcat "$work/tools/usr/share/man/man1/wendrake.1.gz") || fail "the man page is not gzipped"
  grep -q "^\.TH WENDRAKE \"1\" .*\"wendrake $version\"" <<<"$man" || fail "the man page does not name wendrake $version"
  # Every subcommand the tool lists has a section, with every option its
  # --help gives (the page writes "-" as "\-").
  subcommands=$(awk '/^Subcommands:$/ { on = 1; next } /^$/ { on = 0 } on { print $1 }' <<<"$("$tool" --help)")
  [ -n "$subcommands" ] || fail "the packaged tool lists no subcommands"
  for sub in $subcommands; do
    grep -q "^\.SS \"wendrake $sub\"" <<<"$man" || fail "the man page has no section for wendrake $sub"
    for option in $("$tool" "$sub" --help | grep -oE '^  -[^ ]+' | tr -d ' '); do
      grep -qF "\\fB${option//-/\\-}" <<<"$man" || fail "the man page lacks $sub's option $option"
    done
  done
fi

if deb=$(deb_of wendrake-map "$arch"); then
  files=$(dpkg-deb -c "$deb") info=$(dpkg-deb -I "$deb")
  has_copyright "$files" wendrake-map
  has_file "$files" "$prefix_usr/$lib/wendrake/wendrake_map.so" wendrake-map
  has_field "$info" "Depends: .*libgdal" wendrake-map
  has_field "$info" "Depends: .*wendrake-tools \(= $version\)" wendrake-map
  mkdir "$work/map"
  dpkg-deb -x "$deb" "$work/map"
  # The packaged tool beside the packaged module, as installed: `map` finds
  # the module in the package's own folders.
  if [ -d "$work/runtime/$prefix_usr" ] && [ -d "$work/tools/$prefix_usr" ]; then
    cp -a "$work/map/$prefix_usr/." "$work/tools/$prefix_usr/"
    env -u WENDRAKE_MAP_MODULE "$tool" map "$sample" -o "$work/route.kml" || fail "the packaged wendrake map failed"
    [ -s "$work/route.kml" ] || fail "the packaged wendrake map wrote no route.kml"
  fi
fi

if deb=$(deb_of python3-wendrake all); then
  files=$(dpkg-deb -c "$deb") info=$(dpkg-deb -I "$deb")
  for f in usr/lib/python3/dist-packages/wendrake/__init__.py usr/lib/python3/dist-packages/wendrake/VERSION \
           usr/bin/wendrake-py; do
    has_file "$files" "$f" python3-wendrake
  done
  grep -q '__pycache__' <<<"$files" && fail "python3-wendrake ships __pycache__"
  has_copyright "$files" python3-wendrake
  has_field "$info" "Suggests: .*python3-geopandas" python3-wendrake
  control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t)
  for script in postinst:py3compile prerm:py3clean; do
    grep -qx "\./${script%%:*}" <<<"$control" || { fail "python3-wendrake has no ${script%%:*}"; continue; }
    dpkg-deb --ctrl-tarfile "$deb" | tar -xO "./${script%%:*}" | grep -q "${script#*:} -p python3-wendrake" ||
      fail "python3-wendrake's ${script%%:*} does not run ${script#*:}"
  done
  has_field "$info" "Depends: .*python3" python3-wendrake
  has_field "$info" "Depends: .*libwendrake0 \(= $version\)" python3-wendrake
  has_field "$info" "Architecture: all" python3-wendrake
fi

if [ "$failures" -ne 0 ]; then
  echo "debian packages: $failures failures; cpack said:"
  tail -30 "$work/cpack.log"
  exit 1
fi
echo "debian packages: libwendrake0, libwendrake-dev, wendrake-tools, wendrake-map, python3-wendrake $version: contents and dependencies as expected"
