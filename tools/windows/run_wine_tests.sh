#!/usr/bin/env bash
# Builds wendrake.dll for 32- and 64-bit Windows with mingw-w64 and checks it
# under wine:
#   1. the DLL exports exactly the names of api/wendrake.def, undecorated, and
#      imports nothing but system DLLs;
#   2. every end-to-end test executable runs once under wine and must print
#      GoogleTest's pass count (an i686 program under an incomplete wine exits
#      0 without running anything);
#   3. tools/windows/host_win.c, built for Windows and for Linux, prints the
#      same items for the same logs in the same time zone;
#   4. the release zip (tools/windows/release_zip.sh) holds what it should.
# Ends with "wine: N passed, M failed" and exits non-zero on any failure.
#
# Environment: BUILD_ROOT (default <repo>/build), JOBS (default 2),
# ARCHES (default "i686 x86_64").
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build_root=${BUILD_ROOT:-$root/build}
jobs=${JOBS:-2}
arches=${ARCHES:-"i686 x86_64"}
# Both zones have no daylight saving; CST-8 is eight hours east of UTC.
zones="UTC0 CST-8"

passed=0
failed=0
not_run=""
pass() { passed=$((passed + ${2:-1})); echo "ok: $1"; }
fail() { failed=$((failed + ${2:-1})); echo "FAILED: $1"; }

for tool in cmake wine wineboot wineserver cc; do
  command -v "$tool" >/dev/null || { echo "run_wine_tests: $tool is not installed" >&2; exit 2; }
done

# 32-bit Windows programs need Debian's wine32:i386 and a kernel that runs
# 32-bit code. Without wine32 (CI does not install it: the i386 package index
# is often unreachable while a mirror syncs), or where the kernel has no IA-32
# emulation, the i686 DLL is built and its exports and imports checked, but
# nothing 32-bit is run; the summary says so. On such a kernel Debian's wine
# wrapper would pick the installed 32-bit loader, so wine runs through private
# wrappers that use the 64-bit one.
runs_32bit=1
if [ ! -x /usr/lib/wine/wine ]; then
  runs_32bit=0
  echo "run_wine_tests: no 32-bit wine (wine32:i386): i686 is built and checked, not run"
elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  runs_32bit=0
  shims=$(mktemp -d)
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$shims/wine"
  printf '#!/bin/sh\nexec /usr/lib/wine/wineserver64 "$@"\n' >"$shims/wineserver"
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 wineboot.exe "$@"\n' >"$shims/wineboot"
  chmod +x "$shims"/*
  export PATH=$shims:$PATH WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
  echo "run_wine_tests: this kernel cannot run 32-bit programs: i686 is built and checked, not run"
fi

# A private wine prefix: nothing of the user's ~/.wine is read or changed.
prefix=$(mktemp -d)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix" "${shims:-}"
}
trap cleanup EXIT
wineboot -i >/dev/null 2>&1 || { echo "run_wine_tests: wineboot failed" >&2; exit 2; }

# Names in the export table of a DLL, one per line.
dll_exports() {
  "$1-objdump" -p "$2" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort
}
expected_exports=$(sed -n '/^EXPORTS/,$p' "$root/api/wendrake.def" | sed '1d; s/[[:space:]]//g; /^$/d' | sort)

check_dll() {
  local triple=$1 dll=$2 arch=$3 exports imports bad
  exports=$(dll_exports "$triple" "$dll")
  echo "exports of $arch wendrake.dll:"
  sed 's/^/  /' <<<"$exports"
  if [ "$exports" = "$expected_exports" ] && [ "$(wc -l <<<"$exports")" -eq 21 ]; then
    pass "$arch: the 21 exports, undecorated"
  else
    fail "$arch: exports differ from api/wendrake.def"
  fi
  imports=$("$triple-objdump" -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p')
  echo "imports of $arch wendrake.dll: $(tr '\n' ' ' <<<"$imports")"
  bad=$(grep -viE '^(kernel32|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$' <<<"$imports" || true)
  if [ -z "$bad" ]; then
    pass "$arch: imports system DLLs only"
  else
    fail "$arch: imports $bad"
  fi
}

# Runs one test executable under wine and counts its cases.
run_test() {
  local dir=$1 arch=$2 exe=$3
  shift 3
  local log=$dir/wine-logs/${exe%.exe}.log rc=0 ran failures
  mkdir -p "$dir/wine-logs"
  (cd "$dir" && timeout 900 wine "./$exe" "$@") 2>&1 | tr -d '\r' >"$log" || rc=$?
  ran=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\.$/\1/p' "$log" | tail -1)
  failures=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\{0,1\}, listed below:$/\1/p' "$log" | tail -1)
  if [ -z "$ran" ] || [ "$ran" -eq 0 ]; then
    tail -20 "$log"
    fail "$arch $exe passed no test (exit $rc)"
    return
  fi
  pass "$arch $exe: $ran tests" "$ran"
  if [ -n "$failures" ] || [ "$rc" -ne 0 ]; then
    grep '^\[  FAILED  \]' "$log" || tail -20 "$log"
    fail "$arch $exe: exit $rc" "${failures:-1}"
  fi
}

# ---- Windows builds, exports, tests ---------------------------------------
for arch in $arches; do
  case $arch in
    i686) triple=i686-w64-mingw32 ;;
    x86_64) triple=x86_64-w64-mingw32 ;;
    *) echo "run_wine_tests: unknown architecture $arch" >&2; exit 2 ;;
  esac
  dir=$build_root/mingw-$arch
  echo "== $arch: building in $dir"
  (cd "$root" && cmake --preset "mingw-$arch" -B "$dir" >/dev/null)
  cmake --build "$dir" --parallel "$jobs"

  check_dll "$triple" "$dir/wendrake.dll" "$arch"
  if [ "$arch" = i686 ] && [ "$runs_32bit" -eq 0 ]; then
    not_run="$not_run $arch"
    continue
  fi

  while read -r exe args; do
    [ -n "$exe" ] || continue
    # shellcheck disable=SC2086  # args is a list of words
    run_test "$dir" "$arch" "$exe" $args
  done <"$dir/wine_tests.txt"

  # It prints the library's expected index diagnostics; its exit status counts.
  if (cd "$dir" && timeout 300 wine ./c99_host.exe >"$dir/wine-logs/c99_host.log" 2>&1); then
    pass "$arch c99_host"
  else
    fail "$arch c99_host"
  fi
done

# ---- The host on Windows and on Linux --------------------------------------
linux=$build_root/wine-linux-host
echo "== linux: building the shared library in $linux"
cmake -S "$root" -B "$linux" -DCMAKE_BUILD_TYPE=Release -DWENDRAKE_BUILD_TESTS=OFF >/dev/null
cmake --build "$linux" --target wendrake --parallel "$jobs"
cc -std=c99 -pedantic -Wall -Wextra -Werror -I"$root/include" "$root/tools/windows/host_win.c" \
  -o "$linux/host_linux" -ldl

logs=()
[ -f "$root/examples/sample_drive.log" ] && logs+=("$root/examples/sample_drive.log")
logs+=("$root"/tools/windows/testdata/*.log)
out=$build_root/wine-host-output
rm -rf "$out"
mkdir -p "$out"
for log in "${logs[@]}"; do
  name=$(basename "$log" .log)
  for zone in $zones; do
    linux_out=$out/$name.$zone.linux.txt
    if ! TZ=$zone "$linux/host_linux" "$linux/libwendrake.so" "$log" --hashes >"$linux_out" \
         2>>"$out/stderr.txt"; then
      fail "linux host on $name ($zone)"
      continue
    fi
    for arch in $arches; do
      case " $not_run " in *" $arch "*) continue ;; esac
      dir=$build_root/mingw-$arch
      win_out=$out/$name.$zone.$arch.txt
      if ! (TZ=$zone timeout 600 wine "$dir/host_win.exe" "$dir/wendrake.dll" "$log" --hashes \
              2>>"$out/stderr.txt" | tr -d '\r' >"$win_out"); then
        fail "$arch host on $name ($zone)"
      elif [ ! -s "$linux_out" ]; then
        fail "$name ($zone): the host printed no items"
      elif cmp -s "$linux_out" "$win_out"; then
        pass "$arch host = linux host on $name, TZ=$zone ($(wc -l <"$win_out") items)"
      else
        diff "$linux_out" "$win_out" | head -10 || true
        fail "$arch host differs from linux host on $name, TZ=$zone"
      fi
    done
  done
  # The stamps must follow the zone, or TZ never reached the conversion.
  first=${zones%% *}
  last=${zones##* }
  if cmp -s "$out/$name.$first.linux.txt" "$out/$name.$last.linux.txt"; then
    fail "$name: stamps do not change with the time zone"
  fi
done

# ---- The release archive ---------------------------------------------------
echo "== the Windows release archive"
if zip=$(BUILD_ROOT=$build_root JOBS=$jobs "$root/tools/windows/release_zip.sh" | tail -1) &&
   listing=$(cmake -E tar tf "$zip"); then
  base=$(basename "$zip" .zip)
  missing=""
  for f in x86/wendrake.dll x86/libwendrake.dll.a x64/wendrake.dll x64/libwendrake.dll.a \
           include/wendrake/wendrake.h wendrake.def README.txt VERSION; do
    grep -qx "$base/$f" <<<"$listing" || missing="$missing $f"
  done
  if [ -z "$missing" ]; then
    pass "release archive $(basename "$zip") holds both DLLs, import libraries, header, .def, README"
  else
    fail "release archive $(basename "$zip") lacks$missing"
  fi
else
  fail "release archive not made (tools/windows/release_zip.sh)"
fi

[ -z "$not_run" ] || echo "wine: built and checked, not run (no 32-bit wine here):$not_run"
echo "wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
