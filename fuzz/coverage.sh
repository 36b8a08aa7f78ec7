#!/usr/bin/env bash
# Line and branch coverage of the library reached by the fuzz corpora: builds
# the fuzz targets with source-based coverage (no sanitizers), replays every
# corpus file once and prints llvm-cov's per-file report.
#
#   fuzz/coverage.sh [corpus dir root]   (default: build/fuzz/corpus plus fuzz/corpus)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${FUZZ_COVERAGE_DIR:-build/fuzz-coverage}
extra=${1:-build/fuzz/corpus}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=${CXX:-clang++-14} \
  -DCMAKE_C_COMPILER=${CC:-clang-14} -DWENDRAKE_FUZZ=ON -DWENDRAKE_BUILD_TESTS=OFF \
  -DWENDRAKE_FUZZ_SANITIZERS= -DWENDRAKE_FUZZ_COVERAGE=ON >/dev/null
targets=(api_fuzz l3_fuzz bit_reader_fuzz numbers_fuzz table_fuzz fields_fuzz)
cmake --build "$build" --parallel "${FUZZ_BUILD_JOBS:-2}" --target "${targets[@]}"
rm -f "$build"/*.profraw
objects=()
for t in "${targets[@]}"; do
  dirs=("fuzz/corpus/$t")
  [ -d "$extra/$t" ] && dirs+=("$extra/$t")
  LLVM_PROFILE_FILE="$build/$t.profraw" "$build/fuzz/$t" -runs=0 "${dirs[@]}" >/dev/null 2>&1
  objects+=(-object "$build/fuzz/$t")
done
llvm-profdata-14 merge -sparse "$build"/*.profraw -o "$build/fuzz.profdata"
llvm-cov-14 report "${objects[@]:1}" -instr-profile="$build/fuzz.profdata" \
  -ignore-filename-regex='(fuzz|tests|/usr)/' api decode records params text l3 table fields
