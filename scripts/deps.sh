#!/usr/bin/env bash
# Installs the Debian packages that are missing for building ("build"), for
# building and testing ("test"), or for building the Debian package
# ("package"). Idempotent: does nothing when all are there.
set -euo pipefail

# qt6-svg-dev draws the icon's sizes, qt6-tools-dev and qt6-l10n-tools build
# the translations, qt6-translations-l10n has Qt's own (standard dialogs);
# libxcb1-dev serves the clipboard from a thread of its own on X11.
packages=(cmake ninja-build g++ qt6-base-dev libxcb1-dev qt6-svg-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
          fonts-liberation)
case "${1:-build}" in
    # libfuse3-dev and fuse3: SlowFs, the slow and failing share the scan's tests mount.
    # lintian and dpkg-shlibdeps check the Debian package.
    test) packages+=(libgtest-dev xvfb xauth xdotool xclip trash-cli desktop-file-utils appstream dpkg-dev file lintian
                     pkg-config libfuse3-dev fuse3) ;;
    # The Debian package: dpkg-shlibdeps finds the libraries it needs.
    package) packages+=(dpkg-dev file) ;;
    # The Windows build: the mingw-w64 compiler (POSIX threads) and zstd for
    # the Qt archive; nsis for the setup program; GoogleTest's sources, Wine
    # and Xvfb for its tests.
    windows) packages+=(g++-mingw-w64-x86-64-posix mingw-w64-tools zstd nsis googletest wine64 xvfb xauth) ;;
esac

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo=()
elif command -v sudo >/dev/null; then
    sudo=(sudo)
else
    echo "Please install as root: apt-get install ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
