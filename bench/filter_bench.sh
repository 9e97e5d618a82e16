#!/usr/bin/env bash
# What the walk's filter costs and saves (issue 19), on a tree made by TreeGen:
#
#   bench/filter_bench.sh [--rounds N] BEFORE_CLI AFTER_CLI TREE
#
# BEFORE_CLI is a chronopurge-cli built without the filter (or any build to
# compare with), AFTER_CLI the one to measure; both release builds. First the
# output of both is compared byte for byte (a range, and --all), then the
# commands take turns within each round, as scan_bench.sh does, so that a
# build elsewhere on the machine slows all of them alike:
#
#   before, no filter          BEFORE_CLI --before 2020-01-01 TREE
#   after, no filter           AFTER_CLI  --before 2020-01-01 TREE
#   after, a filter that keeps everything (--exclude of a name no file has)
#   after, --exclude of half of tree/'s top folders (every other one by the
#          number of files they hold, about half of all files)
#
# and the best and median wall time and CPU time (user + system, from GNU
# time) of each, with the load average before and after: on a busy machine
# the CPU time is the steadier of the two. Output is thrown away; the tree
# is warm after the first round.
set -euo pipefail

rounds=7
if [ "${1:-}" = --rounds ]; then
    rounds=$2
    shift 2
fi
if [ $# -ne 3 ]; then
    echo "usage: $0 [--rounds N] BEFORE_CLI AFTER_CLI TREE" >&2
    exit 2
fi
before=$1
after=$2
tree=${3%/}
limit=2020-01-01

# tree/'s top folders by the files they hold, largest first; every other one is excluded.
mapfile -t tops < <(for folder in "$tree"/tree/*/; do
    printf '%s\t%s\n' "$(find "$folder" -type f | wc -l)" "$(basename "$folder")"
done | sort -rn)
excludes=()
excluded_files=0
for ((i = 0; i < ${#tops[@]}; i += 2)); do
    excludes+=(--exclude "tree/${tops[i]#*$'\t'}")
    excluded_files=$((excluded_files + ${tops[i]%%$'\t'*}))
done
all_files=$(find "$tree" -type f | wc -l)

echo "== the same output without a filter"
for arguments in "--before $limit" "--all"; do
    # shellcheck disable=SC2086
    a=$("$before" $arguments "$tree" | md5sum)
    # shellcheck disable=SC2086
    b=$("$after" $arguments "$tree" | md5sum)
    if [ "$a" != "$b" ]; then
        echo "filter_bench: the output of $arguments differs" >&2
        exit 1
    fi
    echo "$arguments: the same bytes ($a)"
done

run_before() { "$before" --before "$limit" "$tree"; }
run_after() { "$after" --before "$limit" "$tree"; }
run_keep_all() { "$after" --before "$limit" --exclude 'no-such-name-anywhere' "$tree"; }
run_half() { "$after" --before "$limit" "${excludes[@]}" "$tree"; }
tools="before after keep_all half"

# Wall and CPU milliseconds of one run, as "wall:cpu".
ms() {
    local start end cpu
    start=$(date +%s%N)
    cpu=$( { /usr/bin/time -f '%U %S' bash -c "$(declare -f "run_$1"); $(declare -p before after tree limit excludes); run_$1" >/dev/null; } 2>&1 | tail -1)
    end=$(date +%s%N)
    echo "$(((end - start) / 1000000)):$(awk -v u="${cpu% *}" -v s="${cpu#* }" 'BEGIN {printf "%d", (u + s) * 1000}')"
}

echo "== $rounds rounds, load before: $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A times
for tool in $tools; do "run_$tool" >/dev/null; done
for ((round = 1; round <= rounds; round++)); do
    for tool in $tools; do
        times[$tool]="${times[$tool]:-} $(ms "$tool")"
    done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

# Best / median of the wall (field 1) or CPU (field 2) times.
stat_of() {
    tr ' ' '\n' | sed '/^$/d' | cut -d: -f"$1" | sort -n \
        | awk '{a[NR] = $1} END {printf "%.3f / %.3f s", a[1] / 1000, a[int((NR + 1) / 2)] / 1000}'
}
echo
echo "| command | wall best / median | CPU best / median |"
echo "|---|---|---|"
for tool in $tools; do
    case $tool in
    before) label="before, no filter" ;;
    after) label="after, no filter" ;;
    keep_all) label="after, a filter that keeps everything" ;;
    half) label="after, $((${#excludes[@]} / 2)) of ${#tops[@]} top folders of tree/ excluded ($excluded_files of $all_files files)" ;;
    esac
    echo "| $label | $(echo "${times[$tool]}" | stat_of 1) | $(echo "${times[$tool]}" | stat_of 2) |"
done
