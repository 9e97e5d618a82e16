#!/bin/bash
# The scan on a share that answers slowly: chronopurge-cli against fd, bfs
# and the minimal walker on the same tree seen through SlowFs (a FUSE file
# system over the real folder that waits a set time in every look-up,
# attribute read, folder opening and folder read, and keeps entries and
# attributes for 1 s, as an NFS client does), for each delay, in one run.
#
#   bench/slow_bench.sh [--delays "0.2 1 5"] [--rounds N] [--files N]
#                       [--trees DIR] [--build DIR] [--out FILE]
#
# Needs root and /dev/fuse (skipped with the reason otherwise), bfs and fd
# (apt-get install bfs fd-find), and libfuse3-dev to build SlowFs. The tree
# (default 10,000 files) is made once by TreeGen under --trees. Before each
# run the script waits out the 1 s the kernel keeps what it learnt, so every
# run asks the share again. Each command's time is the best and the median
# of --rounds runs (default 3), the commands taking turns within a round;
# chronopurge-cli's rows must be those it lists on the tree itself.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build="$source_dir/build-bench"
trees=${CHRONOPURGE_BENCH_TREES:-/var/tmp/chronopurge-bench}
delays="0.2 1 5"
rounds=3
files=10000
out=""
date_limit=2020-01-01
cache_seconds=1

while [ $# -gt 0 ]; do
    case "$1" in
    --delays) delays=$2; shift ;;
    --rounds) rounds=$2; shift ;;
    --files) files=$2; shift ;;
    --trees) trees=$2; shift ;;
    --build) build=$2; shift ;;
    --out) out=$2; shift ;;
    *) echo "usage: $0 [--delays \"MS...\"] [--rounds N] [--files N] [--trees DIR] [--build DIR] [--out FILE]" >&2; exit 2 ;;
    esac
    shift
done

skip() {
    echo "slow_bench: skipped: $1" >&2
    [ -z "$out" ] || printf '## Slow share\n\nSkipped: %s.\n\n' "$1" >>"$out"
    exit 0
}
[ "$(id -u)" = 0 ] || skip "mounting SlowFs needs root"
[ -c /dev/fuse ] && [ -w /dev/fuse ] || skip "no usable /dev/fuse"
for tool in bfs fdfind; do
    command -v "$tool" >/dev/null || { echo "slow_bench: $tool is missing (apt-get install bfs fd-find)" >&2; exit 1; }
done

echo "== building (Release) in $build" >&2
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHRONOPURGE_TESTS=OFF \
        -DCHRONOPURGE_SANITIZE=OFF >/dev/null
fi
cmake --build "$build" -j2 --target scan_bench_tools >/dev/null
cli="$build/bin/chronopurge-cli"
treegen="$build/bench/TreeGen"
minimal="$build/bench/MinimalWalk"
slowfs="$build/bench/SlowFs"
[ -x "$slowfs" ] || skip "SlowFs was not built (libfuse3-dev is missing)"

mkdir -p "$trees"
[ -n "$out" ] || out="$trees/slow-results-$(date +%Y-%m-%d-%H%M).md"
tree="$trees/files-$((files / 1000))k"
if [ ! -f "$tree.manifest" ]; then
    [ ! -e "$tree" ] || { echo "slow_bench: $tree is incomplete (no manifest); remove it and run again" >&2; exit 1; }
    echo "== generating $tree" >&2
    "$treegen" --files "$files" --cutoff "$date_limit" "$tree" >/dev/null
fi
value() { sed -n "s/^$1=//p" "$tree.manifest"; }
expected_find=$(($(value regular_before) + $(value regular_on)))
expected_fd=$(value regular_before)

mount=$(mktemp -d /var/tmp/chronopurge-slowfs-XXXXXX)
cleanup() {
    mountpoint -q "$mount" && umount "$mount" 2>/dev/null
    rmdir "$mount" 2>/dev/null || true
}
trap cleanup EXIT

run_chronopurge() { "$cli" --before "$date_limit" "$mount"; }
run_fd() { fdfind -H -I -t f --changed-before "$date_limit" . "$mount"; }
run_bfs() { bfs "$mount" -type f ! -newermt "$date_limit"; }
run_minimal8() { "$minimal" --threads 8 --before "$date_limit" "$mount"; }
run_minimal64() { "$minimal" --threads 64 --before "$date_limit" "$mount"; }
tools="chronopurge fd bfs minimal8 minimal64"
label() {
    case "$1" in
    chronopurge) echo "chronopurge-cli --before $date_limit" ;;
    fd) echo "fdfind -H -I -t f --changed-before" ;;
    bfs) echo "bfs -type f ! -newermt" ;;
    minimal*) echo "minimal walker, ${1#minimal} threads" ;;
    esac
}

time_ms() {
    local start end
    sleep "$cache_seconds.2"
    start=$(date +%s%N)
    "run_$1" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
min_of() { tr ' ' '\n' | sed '/^$/d' | sort -n | head -1; }
median_of() { tr ' ' '\n' | sed '/^$/d' | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
seconds() { awk -v ms="$1" 'BEGIN {printf "%.2f", ms / 1000}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f", a / b; else print "-"}'; }

# The rows on the tree itself, with the tree's path as the share's.
reference=$("$cli" --before "$date_limit" "$tree" | md5sum | cut -d' ' -f1)

{
    echo "## Slow share: $(value files) files in $(value folders) folders through SlowFs, $(date '+%Y-%m-%d %H:%M %Z')"
    echo
    echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), kernel $(uname -r);"
    echo "entries and attributes kept $cache_seconds s; best / median of $rounds, commands taking turns."
    echo
    echo "| delay | load before | chronopurge-cli | fd | bfs | minimal, 8 thr | minimal, 64 thr | × fd (best) | × bfs (best) | rows as on the tree |"
    echo "|---:|---|---:|---:|---:|---:|---:|---:|---:|---|"
} >>"$out"

declare -A times
for delay in $delays; do
    echo "== $delay ms" >&2
    "$slowfs" --delay "$delay" --cache "$cache_seconds" --read-only "$tree" "$mount"
    for _ in $(seq 100); do mountpoint -q "$mount" && break; sleep 0.05; done
    rows=$(run_chronopurge | sed "s|^$mount/|$tree/|" | md5sum | cut -d' ' -f1)
    counts="fd $(run_fd | wc -l)/$expected_fd, bfs $(run_bfs | wc -l)/$expected_find"
    loads=""
    for tool in $tools; do times[$tool]=""; done
    for ((round = 1; round <= rounds; round++)); do
        loads="$loads $(cut -d' ' -f1 /proc/loadavg)"
        for tool in $tools; do
            times[$tool]="${times[$tool]} $(time_ms "$tool")"
        done
    done
    umount "$mount"
    cell() { echo "$(seconds "$(echo "${times[$1]}" | min_of)") / $(seconds "$(echo "${times[$1]}" | median_of)") s"; }
    best() { echo "${times[$1]}" | min_of; }
    printf '| %s ms | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$delay" "$(echo $loads | tr ' ' ',')" \
        "$(cell chronopurge)" "$(cell fd)" "$(cell bfs)" "$(cell minimal8)" "$(cell minimal64)" \
        "$(ratio "$(best chronopurge)" "$(best fd)")" "$(ratio "$(best chronopurge)" "$(best bfs)")" \
        "$([ "$rows" = "$reference" ] && echo yes || echo "**no**") ($counts)" >>"$out"
done
echo >>"$out"
cat "$out"
