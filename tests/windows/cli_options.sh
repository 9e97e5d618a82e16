#!/usr/bin/env bash
# issue 21: the command line's filters and outputs behave on Windows as on
# Linux. On one tree, chronopurge-cli.exe under Wine and the Linux
# chronopurge-cli print the same rows (sorted, paths below the tree with "/")
# for each option: exclusions at any depth and by path, --name, --iname,
# --size, -x, --keep-newest, a range, --format csv and jsonl (path, size and
# modified time; the records' paths with "\"), --summary and --rules (and a
# rules file others may change is refused). Then
# what is Windows' own: --name and --exclude ignore letter case as its file
# systems do, and --trash-from moves a file listed by --format jsonl (its
# volume and file ID read back) to the Recycle Bin.
#
#   cli_options.sh WINDOWS_CLI_EXE LINUX_CLI
#       in the Wine prefix and environment test-windows.sh made
set -euo pipefail
windows_cli=$(realpath "$1")
linux_cli=$(realpath "$2")
wine=/usr/lib/wine/wine64
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

made() { # path, size in bytes, date
    mkdir -p "$(dirname "$tree/$1")"
    head -c "$2" /dev/zero >"$tree/$1"
    touch -d "$3" "$tree/$1"
}
made keep.txt 10 "2021-03-04 05:06:07"
made notes.TXT 2000 "2022-06-01 12:00:00"
made photo.jpg 5000 "2023-01-15 08:30:00"
made node_modules/a.js 100 "2020-01-01 00:00:00"
made src/node_modules/b.js 100 "2020-02-02 00:00:00"
made src/app/main.cpp 300 "2023-07-07 07:07:07"
made src/app/gen/out.o 4096 "2023-07-08 00:00:00"
made src/lib/gen/lib.o 8192 "2023-07-09 00:00:00"
made logs/one.log 50 "2024-01-01 10:00:00"
made logs/two.log 60 "2024-01-02 10:00:00"
made logs/three.LOG 70 "2024-01-03 10:00:00"

failed=0
# Both programs' output for the same arguments, paths made relative to the
# tree with "/" ("\\" in JSON and "\" turned to "/", the drive Z: dropped),
# CR dropped and sorted; JSON Lines cut after the modified time, CSV after
# its third field (the created and accessed times and the identity are the
# systems' own).
normalized() {
    tr -d '\r' | sed -E 's/^([^,\t]*,[0-9]+,[^,]*),.*$/\1/' | sed -e 's#\\\\#/#g' -e 's#\\#/#g' -e "s#Z:$tree/##g" -e "s#$tree/##g" -e "s#Z:$tree#TREE#g" \
        -e "s#$tree#TREE#g" -e 's/,"created".*$/}/' | sort
}
same() { # what, then the arguments for both (TREE stands for the tree)
    local what=$1
    shift
    local linux_arguments=("${@//TREE/$tree}") windows_arguments=("${@//TREE/Z:$tree}")
    local linux windows
    linux=$(ASAN_OPTIONS=detect_leaks=0 "$linux_cli" "${linux_arguments[@]}" | normalized)
    windows=$("$wine" "$windows_cli" "${windows_arguments[@]}" | normalized)
    if [ -z "$linux" ] || [ "$linux" != "$windows" ]; then
        echo "FAILED: chronopurge-cli.exe $what differs from the Linux build's" >&2
        diff <(echo "$linux") <(echo "$windows") >&2 || true
        failed=1
    fi
}

same "--exclude NAME/" --all --date-format iso --exclude node_modules/ TREE
same "--exclude PATH/**" --all --date-format iso --exclude 'src/**/gen' --exclude src/app/main.cpp TREE
same "--name" --all --date-format iso --name '*.jpg' --name 'k*.txt' TREE
same "--iname" --all --date-format iso --iname '*.log' TREE
same "--size +N" --all --date-format iso --size +2k TREE
same "--size -N" --all --date-format iso --size -100 TREE
same "-x" --all --date-format iso -x TREE
same "--keep-newest" --all --date-format iso --keep-newest 1 TREE
same "a range" --between 2021-01-01..2023-07-08 --date-format iso TREE
same "--format csv" --all --format csv TREE
same "--format jsonl" --all --format jsonl --exclude node_modules TREE
same "--summary" --all --summary --exclude gen TREE/src TREE/logs
rules=$(mktemp)
printf '# two runs\n--all --date-format iso --size -55 "%s"\n--all --date-format iso --size +4k "%s"\n' \
    "Z:$tree/logs" "Z:$tree/src" >"$rules.windows"
printf '# two runs\n--all --date-format iso --size -55 "%s"\n--all --date-format iso --size +4k "%s"\n' \
    "$tree/logs" "$tree/src" >"$rules"
linux=$(ASAN_OPTIONS=detect_leaks=0 "$linux_cli" --rules "$rules" | normalized)
windows=$("$wine" "$windows_cli" --rules "Z:$rules.windows" | normalized)
# The rules' own lines name the tree in each system's way.
linux=$(sed 's#^\(\# rules line [0-9]*:\).*#\1#' <<<"$linux")
windows=$(sed 's#^\(\# rules line [0-9]*:\).*#\1#' <<<"$windows")
# A rules file others may change is refused, as on Linux (Wine shows the
# Linux mode's write bit for others as an entry for Everyone).
chmod 666 "$rules.windows"
status=0
message=$("$wine" "$windows_cli" --rules "Z:$rules.windows" 2>&1 >/dev/null | tr -d '\r') || status=$?
if [ "$status" != 2 ] || [[ "$message" != *"refused: other users may change it"* ]]; then
    echo "FAILED: chronopurge-cli.exe --rules read a file others may change (status $status): $message" >&2
    failed=1
fi
rm -f "$rules" "$rules.windows"
if [ "$(grep -c 'rules line' <<<"$linux")" != 2 ] || [ "$linux" != "$windows" ]; then
    echo "FAILED: chronopurge-cli.exe --rules differs from the Linux build's" >&2
    diff <(echo "$linux") <(echo "$windows") >&2 || true
    failed=1
fi

# Windows' own: names without letter case, as its file systems compare them.
expected=$(ASAN_OPTIONS=detect_leaks=0 "$linux_cli" --all --date-format iso --iname '*.TXT' --iname 'PHOTO.*' "$tree" \
    | normalized)
windows=$("$wine" "$windows_cli" --all --date-format iso --name '*.TXT' --name 'PHOTO.*' "Z:$tree" | normalized)
if [ "$windows" != "$expected" ]; then
    echo "FAILED: chronopurge-cli.exe --name tells letter case apart" >&2
    failed=1
fi
windows=$("$wine" "$windows_cli" --all --date-format iso --exclude 'LOGS' --exclude 'SRC/**/GEN' --exclude 'node_modules' \
    "Z:$tree" | normalized)
expected=$(ASAN_OPTIONS=detect_leaks=0 "$linux_cli" --all --date-format iso --exclude logs --exclude 'src/**/gen' \
    --exclude node_modules "$tree" | normalized)
if [ "$windows" != "$expected" ]; then
    echo "FAILED: chronopurge-cli.exe --exclude tells letter case apart" >&2
    diff <(echo "$expected") <(echo "$windows") >&2 || true
    failed=1
fi

# --trash-from: the list --format jsonl made is still true, so the file goes
# to the Recycle Bin (Wine's Trash); a file changed since is kept.
list=$(mktemp)
"$wine" "$windows_cli" --all --format jsonl --name 'one.log' --name 'two.log' "Z:$tree/logs" | tr -d '\r' >"$list"
echo changed >>"$tree/logs/two.log"
status=0
"$wine" "$windows_cli" --trash-from "Z:$list" >/dev/null 2>"$list.err" || status=$?
if [ -e "$tree/logs/one.log" ] || [ ! -e "$tree/logs/two.log" ] || [ "$status" != 1 ] \
    || ! grep -q 'two.log was not moved to the Trash: it changed since the list was made' "$list.err"; then
    echo "FAILED: chronopurge-cli.exe --trash-from (status $status):" >&2
    cat "$list.err" >&2
    failed=1
fi
rm -f "$list" "$list.err"

[ "$failed" -eq 0 ] || exit 1
echo "chronopurge-cli.exe under Wine prints the Linux build's rows for each filter, --format, --summary and --rules;" \
    "its names ignore letter case and --trash-from moves what is still as listed."
