#!/usr/bin/env bash
# Installs the build into a temporary prefix with `cmake --install` and checks
# what lands where: the programs, the menu entry and the metainfo (through
# their validators where installed), the icon in every size, the manual pages,
# the program's own files with the samples' dates kept, and the installed
# program answering and showing its window under Xvfb.
#
#   check_install.sh <build folder> <source folder>
set -euo pipefail
build=$1
source=$2
id=example.brindlewick.Chronopurge

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
# Copying the samples reads them, which moves their accessed dates; the
# build's samples get theirs back, as other tests check them.
accessed=$(find "$build/bin/Samples" -type f -printf '%A@ %p\n')
cmake --install "$build" --prefix "$prefix" >/dev/null
while read -r when file; do
    touch -a -d "@$when" "$file"
done <<<"$accessed"

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

expected=(
    bin/chronopurge bin/chronopurge-cli libexec/chronopurge/chronopurge-keep-clipboard
    "share/applications/$id.desktop"
    "share/metainfo/$id.metainfo.xml"
    "share/icons/hicolor/scalable/apps/$id.svg"
    share/man/man1/chronopurge.1.gz share/man/man1/chronopurge-cli.1.gz
    share/doc/chronopurge/copyright share/doc/chronopurge/changelog.gz
    share/chronopurge/HAND-M.CUR
    share/chronopurge/Samples/sample1 share/chronopurge/Samples/sample2
    share/chronopurge/translations/chronopurge_de.qm
    lib/systemd/user/chronopurge-rules.service lib/systemd/user/chronopurge-rules.timer
)
for path in "${expected[@]}"; do
    [ -e "$prefix/$path" ] || fail "$path is not installed"
done
for program in bin/chronopurge bin/chronopurge-cli libexec/chronopurge/chronopurge-keep-clipboard; do
    [ -x "$prefix/$program" ] || fail "$program cannot be run"
done

# Each PNG is the size its folder names (width and height from the PNG header).
for size in 16 22 24 32 48 64 128 256; do
    png="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
    if [ ! -f "$png" ]; then
        fail "the ${size}x${size} icon is not installed"
        continue
    fi
    read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$png")
    width=$(( (w1 << 24) | (w2 << 16) | (w3 << 8) | w4 ))
    height=$(( (h1 << 24) | (h2 << 16) | (h3 << 8) | h4 ))
    [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "the ${size}x${size} icon is ${width}x${height}"
done

# The samples keep the modified dates the build gave them. (Accessed dates are
# kept too, but any reader of a sample may move them, so they are not compared.)
while IFS= read -r -d '' file; do
    relative=${file#"$build/bin/"}
    installed="$prefix/share/chronopurge/$relative"
    [ "$(stat -c %Y "$file")" = "$(stat -c %Y "$installed" 2>/dev/null)" ] \
        || fail "$relative lost its dates when installed"
done < <(find "$build/bin/Samples" -type f -print0)

# File managers offer "Open With Chronopurge" on a folder.
grep -qx 'MimeType=inode/directory;' "$prefix/share/applications/$id.desktop" \
    || fail "the menu entry does not take folders (MimeType)"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
else
    echo "desktop-file-validate is not installed (scripts/deps.sh test installs it): not run"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
else
    echo "appstreamcli is not installed (scripts/deps.sh test installs it): not run"
fi
if command -v man >/dev/null; then
    for page in chronopurge chronopurge-cli; do
        warnings=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "$page(1): $warnings"
    done
fi

# The rules' user units: a daily timer that catches up, and a service that
# runs the installed command line. systemd-analyze checks their syntax; it
# only finds the program where systemd itself looks (/usr/bin, /usr/local/bin).
units="$prefix/lib/systemd/user"
grep -qx 'ExecStart=chronopurge-cli --rules' "$units/chronopurge-rules.service" || fail "the service does not run --rules"
grep -qx 'OnCalendar=daily' "$units/chronopurge-rules.timer" || fail "the timer is not daily"
grep -qx 'Persistent=true' "$units/chronopurge-rules.timer" || fail "the timer does not catch up"
if command -v systemd-analyze >/dev/null; then
    verified=$(cd "$units" && systemd-analyze verify --man=no chronopurge-rules.service chronopurge-rules.timer 2>&1 \
        | grep -v 'Command chronopurge-cli is not executable' || true)
    [ -z "$verified" ] || fail "systemd-analyze verify: $verified"
fi

export ASAN_OPTIONS=detect_leaks=0
version=$("$prefix/bin/chronopurge" --version) || fail "chronopurge --version"
project_version=$(sed -n 's/^project(Chronopurge VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
[ "$version" = "chronopurge $project_version" ] || fail "chronopurge --version says \"$version\""

status=0
"$source/tests/smoke/start_under_xvfb.sh" "$prefix/bin/chronopurge" || status=$?
if [ $status -ne 0 ] && [ $status -ne 77 ]; then
    fail "the installed program showed no window"
fi

if [ $failures -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "Installed and checked in $prefix"
