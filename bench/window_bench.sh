#!/bin/bash
# The windows' benchmark (WindowBench.cpp) under a real X server.
#
#   bench/window_bench.sh [--rounds N] [--build DIR]
#
# Starts its own Xvfb, builds a release build-bench, makes the 1M-file tree
# under /var/tmp/chronopurge-bench with TreeGen if it is missing (it is kept
# for the other benchmarks), makes a throwaway 10,000-file tree whose files
# really go to a throwaway Trash, and runs the benchmark on the xcb platform.
# Needs: Xvfb, xclip (apt-get install xvfb xclip).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build="$source_dir/build-bench"
trees=/var/tmp/chronopurge-bench
tree="$trees/files-1m"
rounds=3

while [ $# -gt 0 ]; do
    case "$1" in
    --rounds) rounds=$2; shift ;;
    --build) build=$2; shift ;;
    *) echo "usage: $0 [--rounds N] [--build DIR]" >&2; exit 2 ;;
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

mkdir -p "$trees"
if [ ! -f "$tree.manifest" ]; then
    if [ -e "$tree" ]; then
        echo "window_bench: $tree is incomplete (no manifest); remove it and run again" >&2
        exit 1
    fi
    echo "== making $tree" >&2
    "$build/bench/TreeGen" --files 1000000 --cutoff 2020-01-01 "$tree" >&2
fi

work=$(mktemp -d /var/tmp/chronopurge-winbench-small-XXXXXX)
xvfb_pid=""
cleanup() {
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
"$build/bench/TreeGen" --files 10000 --seed 7 "$work/small" >/dev/null

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
echo "Xvfb :$display, Qt on xcb; tree $tree ($(sed -n 's/^files=//p' "$tree.manifest") files); load before start: $(cut -d' ' -f1-3 /proc/loadavg)."
DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$build/bench/WindowBench" --rounds "$rounds" \
    --cli "$build/bin/chronopurge-cli" --small "$work/small" "$tree"
echo
echo "Load after: $(cut -d' ' -f1-3 /proc/loadavg)."
