#!/usr/bin/env bash
# issue 21: Undo on Windows. chronopurge-cli.exe --trash under Wine journals
# each file it moves to the Recycle Bin (in %LOCALAPPDATA%\Chronopurge\
# trash-journal), --undo-list lists the request, and --undo finds the files
# in the Recycle Bin through the shell and puts them back, names in three
# scripts included; then the refusals: a taken place is never replaced, a
# folder that is gone is never made again, a folder replaced by another one
# is refused, a file swapped in the Recycle Bin is not taken for the one
# moved, and one emptied from it is reported gone; a file of a listed folder
# that was a link goes back by its real path, and one whose Trash cannot be
# found stays for a later undo. Wine's Recycle Bin is
# the freedesktop Trash in $XDG_DATA_HOME/Trash.
#
#   undo.sh WINDOWS_CLI_EXE
#       in the Wine prefix and environment test-windows.sh made
set -euo pipefail
cli=$(realpath "$1")
wine=/usr/lib/wine/wine64
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
trash=$XDG_DATA_HOME/Trash

failed=0
fail() {
    echo "FAILED: undo under Wine: $*" >&2
    failed=1
}
run() { # the program's arguments; stdout and stderr in $tree/out and $tree/err, status in $status
    status=0
    "$wine" "$cli" "$@" >"$tree/out" 2>"$tree/err" || status=$?
    tr -d '\r' <"$tree/out" >"$tree/out.txt"
    tr -d '\r' <"$tree/err" >"$tree/err.txt"
}
in_trash() { # how many files of the Trash hold $1 as content
    grep -lx -- "$1" "$trash"/files/* 2>/dev/null | wc -l
}
newest() { # the id of the newest request (earlier tests made some too)
    run --undo-list
    head -n 1 "$tree/out.txt" | cut -f 1
}

mkdir -p "$tree/work/sub" "$tree/work/Фото" "$tree/work/日本"
echo one >"$tree/work/a.txt"
echo two >"$tree/work/Фото/café.txt"
echo three >"$tree/work/日本/東京.txt"
echo four >"$tree/work/sub/d.txt"

# The move is journaled, listed, and put back.
run --all --trash "Z:$tree/work"
[ "$status" = 0 ] || fail "--trash ended with $status: $(cat "$tree/err.txt")"
left=$(find "$tree/work" -type f | wc -l)
[ "$left" = 0 ] || fail "--trash left $left files"
first=$(newest)
journal=$(find "$WINEPREFIX/drive_c/users" -path "*/AppData/Local/Chronopurge/trash-journal/$first" | head -n 1)
[ -n "$journal" ] || fail "no journal file in %LOCALAPPDATA%\\Chronopurge\\trash-journal"
grep -q "^$first	.*	4	in the Trash	" "$tree/out.txt" || fail "--undo-list shows: $(cat "$tree/out.txt" "$tree/err.txt")"
run --undo
[ "$status" = 0 ] || fail "--undo ended with $status: $(cat "$tree/err.txt")"
for file in a.txt Фото/café.txt 日本/東京.txt sub/d.txt; do
    [ -f "$tree/work/$file" ] || fail "$file was not put back"
done
[ "$(cat "$tree/work/Фото/café.txt")" = two ] || fail "café.txt came back with other content"
for content in one two three four; do
    [ "$(in_trash $content)" = 0 ] || fail "a file stayed in the Trash after --undo"
done
grep -l "^Path=$tree/" "$trash"/info/* 2>/dev/null && fail "records stayed in the Trash after --undo"
run --undo-list
grep -q "^$first	.*	undone	" "$tree/out.txt" || fail "--undo-list after --undo shows: $(cat "$tree/out.txt")"
run --undo "$first"
[ "$status" = 0 ] && grep -q "nothing of request $first is left in the Trash" "$tree/err.txt" \
    || fail "a second --undo: $status $(cat "$tree/err.txt")"

# A taken place is not replaced; once free, --undo ID puts the file back.
run --all --trash --name a.txt --name d.txt "Z:$tree/work"
[ "$status" = 0 ] || fail "--trash of a.txt and sub ended with $status: $(cat "$tree/err.txt")"
second=$(newest)
echo newer >"$tree/work/a.txt"
mv "$tree/work/sub" "$tree/work/sub.old"
run --undo
[ "$status" = 1 ] || fail "--undo into a taken place ended with $status"
grep -q "a.txt was not put back: its place is taken" "$tree/err.txt" || fail "taken place: $(cat "$tree/err.txt")"
grep -q "d.txt was not put back: its folder is gone" "$tree/err.txt" || fail "folder gone: $(cat "$tree/err.txt")"
[ "$(cat "$tree/work/a.txt")" = newer ] || fail "the file in the taken place was changed"
[ -e "$tree/work/sub" ] && fail "the folder that was gone was made again"
[ "$(in_trash one)" = 1 ] || fail "a.txt is no longer in the Trash after a refused undo"
# Another folder of the same name is not the folder.
mkdir "$tree/work/sub"
run --undo "$second"
grep -q "d.txt was not put back: its folder was replaced by another one" "$tree/err.txt" \
    || fail "replaced folder: $(cat "$tree/err.txt")"
rmdir "$tree/work/sub"
mv "$tree/work/sub.old" "$tree/work/sub"
rm "$tree/work/a.txt"
run --undo "$second"
[ "$status" = 0 ] || fail "--undo ID once free ended with $status: $(cat "$tree/err.txt")"
[ "$(cat "$tree/work/a.txt" 2>/dev/null)" = one ] || fail "a.txt was not put back by --undo ID"
[ -f "$tree/work/sub/d.txt" ] || fail "d.txt was not put back by --undo ID"

# A file swapped in the Recycle Bin (same name, same size) is another file.
run --all --trash --name a.txt "Z:$tree/work"
swapped=$(grep -lx one "$trash"/files/* | head -n 1)
mv "$swapped" "$tree/moved-one"
echo ONE >"$swapped"
run --undo
grep -q "a.txt was not put back: it is no longer in the Trash (another file has its name there)" "$tree/err.txt" \
    || fail "a swapped file: $status $(cat "$tree/err.txt")"
[ -e "$tree/work/a.txt" ] && fail "the swapped file was put back"
# Emptied from the Recycle Bin meanwhile: no longer there, and said so.
third=$(newest)
rm "$swapped"
run --undo "$third"
grep -q "a.txt was not put back: it is no longer in the Trash$" "$tree/err.txt" \
    || fail "a file gone from the Trash: $status $(cat "$tree/err.txt")"

# A listed folder that was a link: once the link leads elsewhere, the file
# goes back into the very folder it left, by its real path.
mkdir "$tree/real"
echo five >"$tree/real/e.txt"
ln -s real "$tree/link"
run --all --trash "Z:$tree/link"
rm "$tree/link"
mkdir "$tree/link"
run --undo
[ "$status" = 0 ] && [ "$(cat "$tree/real/e.txt" 2>/dev/null)" = five ] && [ -z "$(ls "$tree/link")" ] \
    || fail "a file of a linked folder: $status $(cat "$tree/err.txt")"
grep -q 'real\\e.txt$' "$tree/out.txt" || fail "the path printed for a file of a linked folder: $(cat "$tree/out.txt")"

# Wine's Recycle Bin looked for under another $XDG_DATA_HOME is not an empty
# one: the file is kept for a later undo, not marked gone.
echo six >"$tree/work/f.txt"
run --all --trash --name f.txt "Z:$tree/work"
status=0
XDG_DATA_HOME="$tree/elsewhere" "$wine" "$cli" --undo >/dev/null 2>"$tree/err" || status=$?
grep -q "f.txt was not put back: its Trash folder is missing" "$tree/err" || fail "a Trash elsewhere: $status $(cat "$tree/err")"
run --undo
[ "$(cat "$tree/work/f.txt" 2>/dev/null)" = six ] || fail "f.txt was not put back once its Trash was there again"

if [ "$failed" = 0 ]; then
    echo "Undo under Wine: moves journaled, listed and put back; taken places, gone and replaced folders and swapped files refused, a linked folder's file back in its real folder."
fi
exit "$failed"
