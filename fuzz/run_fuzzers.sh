#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one for a bounded time, one after
# the other. Exits non-zero on the first finding (crash, sanitizer report,
# failed check, timeout, memory blow-up) and leaves the input that caused it
# under <build>/artifacts/.
#
#   fuzz/run_fuzzers.sh [seconds per target] [target...]
#
# Environment: FUZZ_BUILD_DIR (default build/fuzz), FUZZ_BUILD_JOBS (2),
# CXX/CC (clang++-14/clang-14), FUZZ_ARGS (extra libFuzzer flags).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(api_fuzz l3_fuzz bit_reader_fuzz numbers_fuzz table_fuzz fields_fuzz)

build=${FUZZ_BUILD_DIR:-build/fuzz}
cxx=${CXX:-clang++-14}
cc=${CC:-clang-14}
if ! command -v "$cxx" >/dev/null; then
  echo "run_fuzzers: $cxx not found (install clang-14 and libclang-rt-14-dev)" >&2
  exit 2
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_C_COMPILER="$cc" -DWENDRAKE_FUZZ=ON -DWENDRAKE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --parallel "${FUZZ_BUILD_JOBS:-2}" --target "${targets[@]}"

symbolizer=$(command -v llvm-symbolizer-14 || command -v llvm-symbolizer || true)
[ -n "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH="$symbolizer"
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:allocator_may_return_null=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

max_len() {
  case $1 in
    api_fuzz) echo 12000 ;;   # room for lines past the 8192-byte line limit
    l3_fuzz) echo 8200 ;;
    fields_fuzz) echo 4200 ;; # a whole logged message and its five header bytes
    table_fuzz) echo 12000 ;; # the same, with its two header bytes
    *) echo 1024 ;;
  esac
}

status=0
passed=0
summary=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"      # grows; the seeds in the tree stay as they are
  artifacts="$build/artifacts/$target"
  mkdir -p "$corpus" "$artifacts"
  log="$build/$target.log"
  echo "== $target: ${seconds}s"
  set +e
  # shellcheck disable=SC2086
  "$build/fuzz/$target" "$corpus" "fuzz/corpus/$target" \
    -dict=fuzz/wendrake.dict -max_len="$(max_len "$target")" -max_total_time="$seconds" \
    -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" ${FUZZ_ARGS:-} >"$log" 2>&1
  rc=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1 || true)
  cov=$({ grep -E '^#[0-9]+[[:space:]]+(DONE|INITED|NEW|REDUCE|pulse)' "$log" || true; } | tail -1 |
        sed -n 's/.*cov: \([0-9]*\).*ft: \([0-9]*\).*/\1 edges, \2 features/p')
  size=$(find "$corpus" "fuzz/corpus/$target" -type f | wc -l)
  line="$target: ${runs:-?} executions, corpus $size files, coverage ${cov:-?}, exit $rc"
  summary+=("$line")
  echo "$line"
  if [ $rc -ne 0 ]; then
    echo "== $target FAILED; last lines of $log:"
    tail -n 60 "$log"
    status=1
    break
  fi
  passed=$((passed + 1))
done

echo "== summary"
printf '%s\n' "${summary[@]}"
echo "fuzz: $passed passed, $status failed"
exit $status
