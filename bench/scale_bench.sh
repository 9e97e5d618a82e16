#!/bin/bash
# Every figure of the large-tree and slow-share measurements in one run, to
# be repeated on a quiet machine:
#
#   bench/scale_bench.sh [--trees DIR] [--rounds N] [--cold] [--no-window]
#
#   1. scan_bench.sh on the 1M and 5M trees (chronopurge-cli --before
#      2020-01-01, bfs, find, fd, the minimal walker; warm, cold with
#      --cold; peak memory, cost per file from one tree to the next)
#   2. slow_bench.sh on the 10k tree through SlowFs at 0.2, 1 and 5 ms
#      (root and /dev/fuse, else skipped with the reason)
#   3. window_bench.sh on the 1M and 5M trees (Xvfb), unless --no-window
#
# The trees are made by TreeGen under --trees (default
# $CHRONOPURGE_BENCH_TREES, else /var/tmp/chronopurge-bench) when missing and
# kept. Each part prints its Markdown report with the load average next to
# its figures; all of it also goes to DIR/scale-results-DATE.md.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
trees=${CHRONOPURGE_BENCH_TREES:-/var/tmp/chronopurge-bench}
rounds=3
cold=--no-cold
window=1

while [ $# -gt 0 ]; do
    case "$1" in
    --trees) trees=$2; shift ;;
    --rounds) rounds=$2; shift ;;
    --cold) cold="" ;;
    --no-window) window=0 ;;
    *) echo "usage: $0 [--trees DIR] [--rounds N] [--cold] [--no-window]" >&2; exit 2 ;;
    esac
    shift
done

mkdir -p "$trees"
out="$trees/scale-results-$(date +%Y-%m-%d-%H%M).md"
echo "# Large trees and slow shares, $(date '+%Y-%m-%d %H:%M %Z'); load before start: $(cut -d' ' -f1-3 /proc/loadavg)" >"$out"
echo >>"$out"

"$here/scan_bench.sh" --trees "$trees" --sizes "1000000 5000000" --rounds "$rounds" $cold --out "$out.scan" >&2 || echo "scale_bench: scan_bench.sh ended with a failure (see its report)" >&2
cat "$out.scan" >>"$out"
rm -f "$out.scan"

"$here/slow_bench.sh" --trees "$trees" --files 10000 --rounds "$rounds" --out "$out.slow" >&2
cat "$out.slow" >>"$out"
rm -f "$out.slow"

if [ "$window" = 1 ]; then
    "$here/window_bench.sh" --trees "$trees" --sizes "1000000 5000000" --rounds "$rounds" >>"$out"
fi
echo >>"$out"
echo "Load at the end: $(cut -d' ' -f1-3 /proc/loadavg)." >>"$out"
cat "$out"
