#!/usr/bin/env bash
# issue 21: the rows and messages of chronopurge-cli.exe reach a console as
# the characters they are, whatever the console's code page, and a pipe as
# UTF-8 bytes. Names in three scripts ("Фото", "日本", "café") are listed to a
# pipe and to a Wine console (a pseudo-terminal made by `script`, with the
# console's code page set to 437, which has none of them), and a missing
# folder of such a name gives the error message both ways.
#
#   console_text.sh CLI_EXE      in the Wine prefix and environment test-windows.sh made
set -euo pipefail
cli=$(realpath "$1")
wine=/usr/lib/wine/wine64
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/Фото" "$tree/日本"
echo a >"$tree/Фото/café.txt"
echo b >"$tree/日本/東京.txt"
missing="Z:$tree/Нет-日本-café"
windows_tree="Z:${tree//\//\\}"
expected_rows=$(printf '%s\n' "$windows_tree\\Фото\\café.txt" "$windows_tree\\日本\\東京.txt")
expected_error="chronopurge-cli: ${missing//\//\\}: no such folder"

failed=0
check() { # what, expected, actual
    if [ "$2" != "$3" ]; then
        echo "FAILED: $1" >&2
        diff <(echo "$2") <(echo "$3") >&2 || true
        failed=1
    fi
}
# The paths of rows "path<TAB>date" (a console shows the TAB as spaces).
rows_of() { sed -E 's/[[:space:]]+[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}$//' | sort; }

# To a pipe: UTF-8 bytes, lines in CR LF.
check "rows to a pipe" "$expected_rows" "$("$wine" "$cli" --all --date-format iso "Z:$tree" | tr -d '\r' | rows_of)"
check "an error to a pipe" "$expected_error" "$("$wine" "$cli" --all "$missing" 2>&1 >/dev/null | tr -d '\r')"

# To a console whose code page has none of these letters. Wine's console
# shows on the terminal in UTF-8, so what the terminal gets is what the
# console held; its cursor sequences are left out.
in_console() {
    LANG=C.UTF-8 script -qec "$wine cmd /c 'chcp 437 >nul & Z:$cli $*'" /dev/null </dev/null \
        | tr -d '\r' | sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g'
}
check "rows to a console" "$expected_rows" "$(in_console --all --date-format iso "Z:$tree" | grep -v '^$' | rows_of)"
check "an error to a console" "$expected_error" "$(in_console --all "$missing" | grep -v '^$')"

[ "$failed" -eq 0 ] || exit 1
echo "chronopurge-cli.exe under Wine writes names in three scripts as they are, to a console and to a pipe."
