#!/usr/bin/env bash
# The Windows part of ./test: cross-builds the Windows test program, the
# two programs and the setup program with mingw-w64 and makensis, then runs
# under Wine and Xvfb the tests, the command line's rows against the Linux
# one's (for each filter and output too), its text in a console, undo from
# the Recycle Bin, and the setup program's round trip (which
# starts the installed program's window). Everything Wine writes goes to a
# throwaway prefix and XDG folders in a temporary folder, never the real
# home; the Trash folder there is made first, since Wine deletes files for
# good when it is missing. Without a Qt for mingw it says so and does nothing.
#   scripts/test-windows.sh HOST_TOOLS   HOST_TOOLS: a native build's bin-tools folder,
#                                        whose chronopurge-cli (../bin) the Windows one is compared with
set -euo pipefail
cd "$(dirname "$0")/.."
host_tools=$(realpath "$1")
build=build-tests-windows
if ! qt=$(scripts/mingw-qt.sh "$build"); then
    echo "Windows build not tested: no Qt for mingw in ../shared/toolchains"
    exit 0
fi
scripts/deps.sh windows
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DQT_HOST_PATH=/usr \
    -DCHRONOPURGE_HOST_TOOLS="$host_tools" >/dev/null
cmake --build "$build" -j2 --target test_windows chronopurge chronopurge-cli windows_runtime sample_folders \
    hand_cursor translations chronopurge-path
# The setup program alone (the .zip holds the same files).
(cd "$build" && cpack -G NSIS >/dev/null)
setup=$(ls "$build"/chronopurge-*-setup.exe)

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=/usr/lib/wine/wineserver
scratch=$(mktemp -d)
xvfb_pid=
cleanup() {
    WINEPREFIX="$scratch/prefix" "$wineserver" -k 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
export WINEPREFIX="$scratch/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" XDG_CACHE_HOME="$scratch/cache"
mkdir -p "$HOME" "$XDG_DATA_HOME/Trash" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
# The X server comes first: Wine's desktop process, started with the prefix,
# keeps the display it found then.
# Xvfb picks a free display itself and writes its number on descriptor 3 once
# it takes connections.
mkfifo "$scratch/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/displayfd" >/dev/null 2>&1 &
xvfb_pid=$!
display=
read -r -t 60 display <"$scratch/displayfd" || display=
if ! [[ "$display" =~ ^[0-9]+$ ]]; then
    echo "FAILED: Xvfb did not start for the Windows tests" >&2
    exit 1
fi
export DISPLAY=":$display"
"$wine" wineboot -i >/dev/null 2>&1

echo "Windows tests under Wine:"
CHRONOPURGE_RECYCLE_BIN_READY=1 "$wine" "$build/bin/test_windows.exe" --gtest_brief=1
# The files the Recycle Bin tests sent away are in Wine's Trash, not gone.
trashed=$(find "$XDG_DATA_HOME/Trash/files" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l)
if [ "$trashed" -lt 2 ]; then
    echo "FAILED: the Recycle Bin tests left $trashed files in Wine's Trash, 2 expected" >&2
    exit 1
fi

# The command line lists the same rows with the same dates as the Linux one
# on the same tree (in another order: Wine lists a folder's entries by name).
samples=$(realpath "$build/bin/Samples")
linux_cli=$(realpath "$host_tools/../bin/chronopurge-cli")
ASAN_OPTIONS=detect_leaks=0 "$linux_cli" --all --date-format iso "$samples" | sed "s#^$samples/##" | sort >"$scratch/linux.txt"
"$wine" "$build/bin/chronopurge-cli.exe" --all --date-format iso "Z:$samples" | tr -d '\r' \
    | sed 's#\\#/#g' | sed "s#^Z:$samples/##" | sort >"$scratch/windows.txt"
if [ ! -s "$scratch/linux.txt" ] || ! diff "$scratch/linux.txt" "$scratch/windows.txt"; then
    echo "FAILED: chronopurge-cli.exe under Wine and chronopurge-cli list other rows" >&2
    exit 1
fi
echo "chronopurge-cli.exe under Wine lists the Linux build's $(wc -l <"$scratch/linux.txt") rows."

tests/windows/cli_options.sh "$build/bin/chronopurge-cli.exe" "$linux_cli"
tests/windows/console_text.sh "$build/bin/chronopurge-cli.exe"
tests/windows/undo.sh "$build/bin/chronopurge-cli.exe"
tests/windows/installer_round_trip.sh "$setup" "$scratch/linux.txt"
