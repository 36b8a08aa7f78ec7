#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing wendrake needs and
# that this machine lacks, and says which. Runs as root, or through sudo.
#
#   tools/install-deps.sh [--with windows|fuzz|browser|all]... [--dry-run] [PACKAGE...]
#
# Without options: the build, every test of `cmake --workflow --preset test`
# (Python tests and the Debian package test included) and the packaging tools.
#   --with windows  mingw-w64 cross compilers, wine and GoogleTest's sources
#                   (the Windows DLLs, their tests and the release zip)
#   --with fuzz     clang 14 with its runtimes (fuzzers, the clang preset)
#   --with browser  chromium, for tests that render pages headless
#   --dry-run       show what apt-get would do (apt-get -s), change nothing
# Further PACKAGE names (name:arch allowed) are installed when missing too.
# apt waits for a lock another apt holds; its lock files are never touched.
set -euo pipefail

base=(cmake g++ make pkg-config file dpkg-dev help2man
      libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libfmt-dev
      libgdal-dev libsqlite3-dev gdal-bin python3-gdal libjs-leaflet sqlite3
      python3 python3-setuptools python3-wheel python3-pip python3-venv
      python3-pandas python3-matplotlib python3-dask python3-distributed python3-pytest
      python3-geopandas)
windows=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 googletest)
fuzz=(clang-14 libclang-rt-14-dev llvm-14)
browser=(chromium chromium-driver python3-selenium)

die() { echo "install-deps: $*" >&2; exit 1; }

wanted=("${base[@]}")
dry_run=
while [ $# -gt 0 ]; do
  case $1 in
    --with)
      [ $# -ge 2 ] || die "--with needs windows, fuzz, browser or all"
      case $2 in
        windows) wanted+=("${windows[@]}") ;;
        fuzz) wanted+=("${fuzz[@]}") ;;
        browser) wanted+=("${browser[@]}") ;;
        all) wanted+=("${windows[@]}" "${fuzz[@]}" "${browser[@]}") ;;
        *) die "unknown part '$2' (expected windows, fuzz, browser or all)" ;;
      esac
      shift 2 ;;
    --dry-run) dry_run=1; shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) die "unknown option '$1'" ;;
    *) wanted+=("$1"); shift ;;
  esac
done

[ -r /etc/debian_version ] && command -v apt-get >/dev/null ||
  die "this script installs Debian packages; install the packages it lists by hand elsewhere"

installed() {
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" = installed ]
}

missing=()
for p in "${wanted[@]}"; do
  installed "$p" || case " ${missing[*]} " in *" $p "*) ;; *) missing+=("$p") ;; esac
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#wanted[@]} packages are installed"
  exit 0
fi
echo "install-deps: installing ${missing[*]}"

# Root runs apt-get itself; anyone else goes through sudo (a dry run needs neither).
as_root=()
if [ "$(id -u)" -ne 0 ] && [ -z "$dry_run" ]; then
  command -v sudo >/dev/null || die "run as root, or install sudo, to install ${missing[*]}"
  as_root=(sudo)
fi

# A package of a foreign architecture (NAME:ARCH) needs that architecture
# known to dpkg before the package lists are read.
for p in "${missing[@]}"; do
  arch=${p#*:}
  [ "$arch" != "$p" ] || continue
  [ "$arch" = "$(dpkg --print-architecture)" ] && continue
  dpkg --print-foreign-architectures | grep -qx "$arch" && continue
  echo "install-deps: adding the $arch architecture to dpkg"
  [ -n "$dry_run" ] || "${as_root[@]}" dpkg --add-architecture "$arch"
done

export DEBIAN_FRONTEND=noninteractive
apt=(apt-get -o DPkg::Lock::Timeout=600)
if [ -n "$dry_run" ]; then
  "${apt[@]}" -s install "${missing[@]}"
  exit 0
fi
# A mirror caught mid-sync fails one list and keeps the others: the install
# below then says plainly whether a package could not be found.
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive "${apt[@]}" update -qq ||
  echo "install-deps: apt-get update reported errors; installing from the lists it has" >&2
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y -qq \
  "${missing[@]}"
echo "install-deps: installed ${missing[*]}"
