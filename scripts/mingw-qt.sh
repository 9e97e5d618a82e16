#!/usr/bin/env bash
# Prints the prefix of a Qt for mingw-w64: the folder given as second
# argument, else the archive ../shared/toolchains/qt6.4.2-mingw64-posix.tar.zst
# beside the repository (beside the main checkout for a git worktree)
# unpacked once into <build folder>/qt6-mingw.
# Exits with 1 and prints nothing when there is none.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
given=${2:-}
if [ -n "$given" ]; then
    [ -f "$given/lib/cmake/Qt6/qt.toolchain.cmake" ] || { echo "No Qt for mingw at $given" >&2; exit 1; }
    realpath "$given"
    exit 0
fi
archive=
common=$(git rev-parse --path-format=absolute --git-common-dir 2>/dev/null || true)
for top in . "${common:+$(dirname "$common")}"; do
    candidate=${top:-.}/../shared/toolchains/qt6.4.2-mingw64-posix.tar.zst
    if [ -n "$top" ] && [ -f "$candidate" ]; then
        archive=$(realpath "$candidate")
        break
    fi
done
[ -n "$archive" ] || exit 1
if [ ! -f "$build/qt6-mingw/lib/cmake/Qt6/qt.toolchain.cmake" ] || [ "$archive" -nt "$build/qt6-mingw" ]; then
    rm -rf "$build/qt6-mingw"
    mkdir -p "$build"
    tar --zstd -xf "$archive" -C "$build"
    touch "$build/qt6-mingw"
fi
realpath "$build/qt6-mingw"
