#!/usr/bin/env bash
# The bash completion of chronopurge-cli, called the way bash calls it, on a
# temporary folder; the zsh completion is checked for syntax where zsh is
# installed.  Usage: completion_test.sh COMPLETION_FOLDER PROGRAM_FOLDER
set -uo pipefail
completions=$(realpath "$1")
export PATH="$(realpath "$2"):$PATH"
work=$(mktemp -d)
home=$(mktemp -d)
trap 'rm -rf "$work" "$home"' EXIT
mkdir -p "$work/alpha" "$work/beta gamma"
touch "$work/file.txt"
export HOME=$home
unset XDG_STATE_HOME XDG_DATA_HOME
cd "$work" || exit 1

# shellcheck source=/dev/null
source "$completions/chronopurge-cli.bash"
failures=0

# complete WORD... : what the completion offers for the last word, one a line, sorted.
complete_words() {
    COMP_WORDS=(chronopurge-cli "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _chronopurge_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort
}

expect() {
    local what=$1 expected=$2 actual=$3
    if [ "$expected" != "$actual" ]; then
        printf 'FAILED: %s\n  expected: %q\n  actual:   %q\n' "$what" "$expected" "$actual"
        failures=$((failures + 1))
    fi
}

expect "options" "--kind" "$(complete_words --ki)"
expect "the values of --kind" $'accessed\ncreated\nmodified' "$(complete_words --kind '')"
expect "--kind=value" "created" "$(complete_words --kind = cr)"
expect "the values of --date-format" "iso" "$(complete_words --date-format i)"
expect "nothing is guessed for a date" "" "$(complete_words --before 20)"
expect "folders only, spaces kept" $'alpha\nbeta gamma' "$(complete_words --older-than 30d '')"
expect "after --, a dash starts a folder name" "" "$(complete_words -- --ki)"
expect "--save takes a file" "file.txt" "$(complete_words --save fi)"
expect "no request to undo yet" "" "$(complete_words --undo '')"
expect "a filter option" "--exclude" "$(complete_words --exc)"
expect "the keep-newest option" "--keep-newest" "$(complete_words --keep)"
expect "the values of --format" $'csv' "$(complete_words --format c)"
expect "nothing is guessed for a pattern" "" "$(complete_words --exclude '')"
expect "-x takes no value: folders follow" $'alpha\nbeta gamma' "$(complete_words -x '')"
expect "--trash-from takes a file" "file.txt" "$(complete_words --trash-from fi)"
expect "--rules takes a file" "file.txt" "$(complete_words --rules fi)"

# A real request, so that --undo offers its id.
echo x > "$work/alpha/old.txt"
chronopurge-cli --all --trash "$work/alpha" > /dev/null || { echo "FAILED: --trash"; failures=$((failures + 1)); }
expect "--undo offers the request ids" "1" "$(complete_words --undo '')"

if command -v zsh > /dev/null; then
    zsh -n "$completions/_chronopurge-cli" || { echo "FAILED: zsh syntax"; failures=$((failures + 1)); }
else
    echo "zsh is not installed: its completion's syntax was not checked"
fi

[ "$failures" -eq 0 ] || exit 1
echo "all completion checks passed"
