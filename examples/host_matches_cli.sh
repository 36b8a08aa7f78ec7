#!/usr/bin/env bash
# The C host, which feeds raw chunks of up to 200 lines, must read the same
# items as the command line tool, which feeds one line per call.
# Usage: host_matches_cli.sh HOST LIBRARY CLI LOG...
set -euo pipefail
host=$1 library=$2 cli=$3
shift 3
# The stamps depend on the time zone; the tool always uses UTC.
export TZ=UTC0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
compared=0
for log in "$@"; do
  [ -f "$log" ] || continue
  "$host" "$log" "$library" >"$work/host.txt"
  "$cli" decode --format summary "$log" >"$work/cli.txt"
  if [ ! -s "$work/cli.txt" ]; then
    echo "no items from $log" >&2
    exit 1
  fi
  if ! diff -u "$work/cli.txt" "$work/host.txt" >"$work/diff.txt"; then
    echo "C host and CLI disagree on $log:" >&2
    head -40 "$work/diff.txt" >&2
    exit 1
  fi
  echo "$log: $(wc -l <"$work/host.txt") items agree"
  compared=$((compared + 1))
done
[ "$compared" -gt 0 ] || { echo "no log to compare" >&2; exit 1; }
