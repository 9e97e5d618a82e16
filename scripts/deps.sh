#!/usr/bin/env bash
# Installs the Debian packages that are missing for building ("build"), or for
# building and testing ("test"). Idempotent: does nothing when all are there.
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev libxcb1-dev fonts-liberation)
if [ "${1:-build}" = test ]; then
    packages+=(libgtest-dev xvfb xauth xdotool xclip trash-cli)
fi

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
