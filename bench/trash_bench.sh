#!/usr/bin/env bash
# Builds and runs the benchmark of the result actions (TrashBench.cpp) in a
# release build of the core library. Needs `gio` (package libglib2.0-bin) for
# the comparison with `gio trash`.
#   bench/trash_bench.sh [folder]   folder for the files and the trash (default /var/tmp)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHRONOPURGE_TESTS=OFF >/dev/null
cmake --build "$build" --target core -j2 >/dev/null
g++ -std=c++20 -O2 -fPIC -Wall -Wextra -Isrc bench/TrashBench.cpp "$build/libcore.a" \
    $(pkg-config --cflags --libs Qt6Core) -o "$build/trash_bench"
echo "$(date -u +%F) on $(nproc) cores, $(uname -r); files in ${1:-/var/tmp} ($(df -T "${1:-/var/tmp}" | awk 'NR==2 {print $2}'))"
"$build/trash_bench" "$@"
