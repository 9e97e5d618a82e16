#!/usr/bin/env bash
# Builds the Debian package of a build (its `package` target) and checks it:
# the documents Debian wants (changelog, machine-readable copyright), the
# helper that keeps the clipboard, the recommended packages, and lintian
# reporting no error and no warning. Skipped (77) where lintian or
# dpkg-shlibdeps is missing (scripts/deps.sh test installs them).
#
#   check_package.sh <build folder>
set -euo pipefail
build=$1

for tool in lintian dpkg-shlibdeps; do
    if ! command -v "$tool" >/dev/null; then
        echo "Skipped: $tool is not installed (scripts/deps.sh test installs it)"
        exit 77
    fi
done

# Packaging copies the samples, which moves their accessed dates; the build's
# samples get theirs back, as other tests check them.
accessed=$(find "$build/bin/Samples" -type f -printf '%A@ %p\n')
status=0
cmake --build "$build" --target package >"$build/package.log" 2>&1 || status=$?
while read -r when file; do
    touch -a -d "@$when" "$file"
done <<<"$accessed"
if [ $status -ne 0 ]; then
    cat "$build/package.log"
    echo "FAIL: the package could not be built"
    exit 1
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/chronopurge_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "FAIL: $deb was not made"; exit 1; }

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
contents=$(dpkg-deb -c "$deb")
for path in ./usr/share/doc/chronopurge/changelog.gz ./usr/share/doc/chronopurge/copyright \
    ./usr/libexec/chronopurge/chronopurge-keep-clipboard ./usr/bin/chronopurge ./usr/bin/chronopurge-cli; do
    grep -q " $path\$" <<<"$contents" || fail "the package lacks $path"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
[[ ", $recommends," == *", qt6-wayland,"* ]] || fail "Recommends ($recommends) lacks qt6-wayland"

# Every tag is shown (informational ones too); errors and warnings fail.
lintian --fail-on error,warning --display-info "$deb" || fail "lintian"

if [ $failures -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "$deb: lintian finds no error and no warning"
