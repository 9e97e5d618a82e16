#!/bin/bash
# The windows' benchmark (WindowBench.cpp) under a real X server.
#
#   bench/window_bench.sh [--rounds N] [--sizes "1000000 5000000"] [--trees DIR] [--build DIR]
#
# Starts its own Xvfb, builds a release build-bench, makes each tree of
# --sizes (default 1M files) under --trees (default
# $CHRONOPURGE_BENCH_TREES, else /var/tmp/chronopurge-bench) with TreeGen if
# it is missing (it is kept for the other benchmarks), makes a throwaway
# 10,000-file tree whose files really go to a throwaway Trash, and runs the
# benchmark on the xcb platform once per tree, in the same run.
# Needs: Xvfb, xclip (apt-get install xvfb xclip).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build="$source_dir/build-bench"
trees=${CHRONOPURGE_BENCH_TREES:-/var/tmp/chronopurge-bench}
sizes=1000000
rounds=3

while [ $# -gt 0 ]; do
    case "$1" in
    --rounds) rounds=$2; shift ;;
    --build) build=$2; shift ;;
    --sizes) sizes=$2; shift ;;
    --trees) trees=$2; shift ;;
    *) echo "usage: $0 [--rounds N] [--sizes \"N...\"] [--trees DIR] [--build DIR]" >&2; exit 2 ;;
    esac
    shift
done

for tool in Xvfb xclip; do
    command -v "$tool" >/dev/null || { echo "window_bench: $tool is missing (apt-get install xvfb xclip)" >&2; exit 1; }
done

echo "== building (Release) in $build" >&2
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHRONOPURGE_TESTS=OFF \
        -DCHRONOPURGE_SANITIZE=OFF >/dev/null
fi
cmake --build "$build" -j2 --target TreeGen chronopurge-cli WindowBench >/dev/null

name_of_size() {
    case "$1" in
    *000000) echo "files-$(($1 / 1000000))m" ;;
    *000) echo "files-$(($1 / 1000))k" ;;
    *) echo "files-$1" ;;
    esac
}

mkdir -p "$trees"
for size in $sizes; do
    tree="$trees/$(name_of_size "$size")"
    if [ ! -f "$tree.manifest" ]; then
        if [ -e "$tree" ]; then
            echo "window_bench: $tree is incomplete (no manifest); remove it and run again" >&2
            exit 1
        fi
        echo "== making $tree" >&2
        "$build/bench/TreeGen" --files "$size" --cutoff 2020-01-01 "$tree" >&2
    fi
done

work=$(mktemp -d /var/tmp/chronopurge-winbench-small-XXXXXX)
xvfb_pid=""
cleanup() {
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# Xvfb picks a free display itself and writes its number on descriptor 3 once
# it takes connections.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/displayfd" >/dev/null 2>&1 &
xvfb_pid=$!
display=
read -r -t 60 display <"$work/displayfd" || display=
if ! [[ "$display" =~ ^[0-9]+$ ]]; then
    echo "window_bench: Xvfb did not start" >&2
    exit 1
fi

echo "# Window benchmark, $(date '+%Y-%m-%d %H:%M %Z')"
echo
echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), kernel $(uname -r);"
for size in $sizes; do
    tree="$trees/$(name_of_size "$size")"
    echo
    echo "## $tree ($(sed -n 's/^files=//p' "$tree.manifest") files), $(date '+%H:%M %Z'); load before: $(cut -d' ' -f1-3 /proc/loadavg)"
    echo
    echo "Xvfb :$display, Qt on xcb, $rounds rounds."
    # A small tree for each run: the run moves its files to the Trash.
    "$build/bench/TreeGen" --files 10000 --seed 7 "$work/small-$size" >/dev/null
    DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$build/bench/WindowBench" --rounds "$rounds" \
        --cli "$build/bin/chronopurge-cli" --small "$work/small-$size" "$tree"
done
echo
echo "Load after: $(cut -d' ' -f1-3 /proc/loadavg)."
