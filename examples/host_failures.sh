#!/usr/bin/env bash
# The C host loses nothing and fails loudly: it decodes a last line without
# newline (and says so), and a full output device or an unreadable input
# ends it with a message and a non-zero status.
# Usage: host_failures.sh HOST LIBRARY
set -uo pipefail
host=$1 library=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

printf 'RegReport\tDM\tRxagc\tTxpower\nDM\t-50\t1\nDM\t-60\t2' >"$work/last.log"
out=$("$host" "$work/last.log" "$library" 2>"$work/err") || fail "a good log exits non-zero"
[ "$(wc -l <<<"$out")" -eq 2 ] || fail "the last line was not decoded: $out"
grep -q "last line has no newline" "$work/err" || fail "nothing said about the last line"

for _ in $(seq 2000); do printf 'DM\t-50\t1\n'; done >"$work/big.log"
if "$host" "$work/big.log" "$library" >/dev/full 2>"$work/err"; then fail "exit 0 into a full device"; fi
grep -q "standard output: No space left on device" "$work/err" || fail "no reason for the failed write"

if "$host" "$work" "$library" >/dev/null 2>"$work/err"; then fail "exit 0 for a folder as input"; fi
grep -q "Is a directory" "$work/err" || fail "no reason for the unreadable input: $(cat "$work/err")"
echo "C host failures: ok"
