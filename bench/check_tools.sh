#!/bin/bash
# Checks the scan benchmark's instruments on a small generated tree, so the
# big runs can trust them:
#   - TreeGen makes the same tree (names, kinds, dates, link targets) every
#     time, whatever its thread count, with what its manifest says, and its
#     --check finds the tree as planned;
#   - MinimalWalk counts the same with 1, 2 and 8 threads, and what find counts;
#   - chronopurge-cli lists what the manifest predicts, and the same table
#     in the same order with 1 and 8 threads.
#
#   bench/check_tools.sh TREEGEN MINIMALWALK CHRONOPURGE-CLI
set -euo pipefail

treegen=$1
minimal=$2
cli=$3
work=$(mktemp -d /var/tmp/chronopurge-check.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0

expect() { # what, expected, actual
    if [ "$2" = "$3" ]; then
        echo "ok: $1 ($3)"
    else
        echo "FAILED: $1: expected $2, got $3"
        failures=$((failures + 1))
    fi
}

value() { sed -n "s/^$2=//p" "$work/$1.manifest"; }

# What a tree holds that no reader changes, one line per entry: names, kinds,
# modified dates and link targets (folders by name only: their own times are
# those of the run that made them). Accessed dates are left to TreeGen --check:
# reading a file or a link, or following a link, moves its accessed date to
# the present (relatime, for dates more than a day old), and this very
# description reads every link, so with them no description was repeatable.
describe() {
    (cd "$work/$1" && find . \( -type d -printf '%P\td\n' \) -o -printf '%P\t%y\t%T@\t%l\n' | LC_ALL=C sort)
}

"$treegen" --files 3000 --threads 2 "$work/first" >/dev/null
"$treegen" --files 3000 --threads 1 "$work/second" >/dev/null
"$treegen" --files 3000 --seed 7 "$work/other" >/dev/null
first_description=$(describe first | md5sum)
expect "the same tree from the same seed" "$first_description" "$(describe second | md5sum)"
expect "the tree made with 2 threads is the planned one, accessed dates too" ok \
    "$("$treegen" --files 3000 --check "$work/first" | tail -1)"
expect "the tree made with 1 thread is the planned one, accessed dates too" ok \
    "$("$treegen" --files 3000 --check "$work/second" | tail -1)"
expect "the same manifest from the same seed" "$(grep -v -e ^root= -e ^made_at= "$work/first.manifest" | md5sum)" \
    "$(grep -v -e ^root= -e ^made_at= "$work/second.manifest" | md5sum)"
if [ "$(describe first | md5sum)" = "$(describe other | md5sum)" ]; then
    echo "FAILED: another seed made the same tree"
    failures=$((failures + 1))
fi
if "$treegen" --files 3000 --check "$work/other" >/dev/null; then
    echo "FAILED: the tree of another seed passed the check"
    failures=$((failures + 1))
fi
if "$treegen" --files 3000 "$work/first" >/dev/null 2>&1; then
    echo "FAILED: TreeGen wrote into a folder that was not empty"
    failures=$((failures + 1))
fi

root="$work/first"
cutoff=$(value first cutoff)
expect "files and links" "$(value first files)" "$(find "$root" \( -type f -o -type l \) ! -name up | wc -l)"
expect "folders" "$(value first folders)" "$(find "$root" -type d | wc -l)"
expect "deepest folder level" 8 "$(find "$root" -type d -printf '%d\n' | sort -n | tail -1)"
expect "links" "$(($(value first link_total) + 1))" "$(find "$root" -type l | wc -l)"
expect "the loop link leads to a folder above it" "$root/deep/chain 0" \
    "$(readlink -f "$root/deep/chain 0/level 3/level 4/up")"
expect "files and links named with a \".\" in front" "$(value first hidden_total)" \
    "$(find "$root" \( -type f -o -type l \) -name '.*' | wc -l)"
expect "files and links named with a \"~\" in front" "$(value first tilde_total)" \
    "$(find "$root" \( -type f -o -type l \) -name '~*' | wc -l)"
expect "names that are not ASCII" "$(value first utf8_total)" \
    "$(find "$root" \( -type f -o -type l \) ! -name up -printf '%f\n' | LC_ALL=C grep -c '[^ -~]')"
expect "regular files up to the cutoff (find)" "$(($(value first regular_before) + $(value first regular_on)))" \
    "$(find "$root" -type f ! -newermt "$cutoff" | wc -l)"

minimal_expected="regular $(value first regular_before) links $(value first link_before)"
for threads in 1 2 8; do
    expect "minimal walker, $threads thread(s)" "$minimal_expected" \
        "$("$minimal" --threads "$threads" --before "$cutoff" "$root" | awk '/^(regular|links)/ {printf "%s%s %s", sep, $1, $2; sep = " "}')"
done

listed=$(($(value first regular_total) + $(value first link_total) - $(value first tilde_total)))
expect "chronopurge-cli: every file but the \"~\" ones" "$listed" "$("$cli" "$root" | wc -l)"
expect "chronopurge-cli --before: files before the cutoff's day, links included, \"~\" left out" \
    "$(($(value first regular_before) + $(value first link_before) - $(value first tilde_regular_before) - $(value first tilde_link_before)))" \
    "$("$cli" --before "$cutoff" "$root" | wc -l)"
expect "chronopurge-cli: the same rows in the same order with 1 and 8 threads" \
    "$("$cli" --threads 1 "$root" | md5sum)" "$("$cli" --threads 8 "$root" | md5sum)"

# The walkers read and followed every link of the first tree: its description
# and its check must not notice.
expect "after the walkers, the first tree's description is the same" "$first_description" "$(describe first | md5sum)"
expect "after the walkers, the first tree is still the planned one" ok \
    "$("$treegen" --files 3000 --check "$work/first" | tail -1)"

[ "$failures" -eq 0 ] || { echo "$failures checks failed"; exit 1; }
echo "all checks passed"
