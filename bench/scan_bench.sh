#!/bin/bash
# The scan benchmark: chronopurge-cli against GNU find, bfs, fd and the
# minimal walker, on the same generated trees, warm and cold, in one run.
#
#   bench/scan_bench.sh [--sizes "1000000 5000000"] [--rounds N] [--cold-rounds N]
#                       [--no-cold] [--sweep] [--tools "chronopurge bfs fd minimal2"]
#                       [--trees DIR] [--build DIR] [--out FILE]
#
# Trees live under --trees (default $CHRONOPURGE_BENCH_TREES, else
# /var/tmp/chronopurge-bench; a disk, not tmpfs), each in a folder of its
# own, and are made once by TreeGen; delete a tree and its manifest to make
# it again. Warm times are the best and the median of --rounds runs (default
# 5), the tools taking turns within each round so that a build starting
# elsewhere on the machine slows them all alike; the load average is noted
# before each round. Cold runs drop the page cache before each run (root
# only) and keep the best of --cold-rounds (default 3). Every command prints
# its paths to /dev/null, as it would to a pipe; the minimal walker prints
# only counts. --sweep adds chronopurge-cli with 1, 2, 4, 8 and 16 threads.
# --tools times only the tools named (chronopurge, bfs, find, fd, minimal1,
# minimal2, minimal8; bfs and minimal2 are always kept for the ratios).
#
# Needs: bfs, fdfind (apt-get install bfs fd-find), GNU time (/usr/bin/time).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build="$source_dir/build-bench"
trees=${CHRONOPURGE_BENCH_TREES:-/var/tmp/chronopurge-bench}
sizes="1000000 5000000"
rounds=5
cold_rounds=3
cold=1
sweep=0
out=""
only_tools=""
date_limit=2020-01-01

while [ $# -gt 0 ]; do
    case "$1" in
    --sizes) sizes=$2; shift ;;
    --rounds) rounds=$2; shift ;;
    --cold-rounds) cold_rounds=$2; shift ;;
    --no-cold) cold=0 ;;
    --sweep) sweep=1 ;;
    --tools) only_tools=$2; shift ;;
    --build) build=$2; shift ;;
    --trees) trees=$2; shift ;;
    --out) out=$2; shift ;;
    *) echo "usage: $0 [--sizes \"N...\"] [--rounds N] [--cold-rounds N] [--no-cold] [--sweep] [--trees DIR] [--build DIR] [--out FILE]" >&2; exit 2 ;;
    esac
    shift
done

for tool in bfs fdfind find /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "scan_bench: $tool is missing (apt-get install bfs fd-find time)" >&2; exit 1; }
done
if [ "$cold" = 1 ] && ! [ -w /proc/sys/vm/drop_caches ]; then
    echo "scan_bench: cannot drop the page cache (not root): cold runs skipped" >&2
    cold=0
fi

echo "== building (Release) in $build"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCHRONOPURGE_TESTS=OFF \
        -DCHRONOPURGE_SANITIZE=OFF >/dev/null
fi
cmake --build "$build" -j2 --target scan_bench_tools >/dev/null
cli="$build/bin/chronopurge-cli"
treegen="$build/bench/TreeGen"
minimal="$build/bench/MinimalWalk"

mkdir -p "$trees"
[ -n "$out" ] || out="$trees/results-$(date +%Y-%m-%d-%H%M).md"

name_of_size() {
    case "$1" in
    *000000) echo "files-$(($1 / 1000000))m" ;;
    *000) echo "files-$(($1 / 1000))k" ;;
    *) echo "files-$1" ;;
    esac
}

manifest_value() { sed -n "s/^$2=//p" "$1"; }

# The tools, each printing what it finds; $root is set per tree. $measure
# is empty, or GNU time writing the peak memory to a file.
measure=()
run_chronopurge() { "${measure[@]}" "$cli" --before "$date_limit" "$root"; }
run_find() { "${measure[@]}" find "$root" -type f ! -newermt "$date_limit"; }
run_bfs() { "${measure[@]}" bfs "$root" -type f ! -newermt "$date_limit"; }
run_fd() { "${measure[@]}" fdfind -H -I -t f --changed-before "$date_limit" . "$root"; }
run_minimal1() { "${measure[@]}" "$minimal" --threads 1 --before "$date_limit" "$root"; }
run_minimal2() { "${measure[@]}" "$minimal" --threads 2 --before "$date_limit" "$root"; }
run_minimal8() { "${measure[@]}" "$minimal" --threads 8 --before "$date_limit" "$root"; }
for n in 1 2 4 8 16; do
    eval "run_chronopurge_t$n() { \"\${measure[@]}\" \"\$cli\" --threads $n --before \"\$date_limit\" \"\$root\"; }"
done

warm_tools="chronopurge bfs find fd minimal1 minimal2 minimal8"
cold_tools="chronopurge bfs fd minimal1 minimal8"
if [ -n "$only_tools" ]; then
    warm_tools=$(echo "$only_tools bfs minimal2" | tr ' ' '\n' | sed '/^$/d' | awk '!seen[$0]++' | tr '\n' ' ')
    cold_tools=$warm_tools
fi
if [ "$sweep" = 1 ]; then
    warm_tools="$warm_tools chronopurge_t1 chronopurge_t2 chronopurge_t4 chronopurge_t8 chronopurge_t16"
    cold_tools="$cold_tools chronopurge_t1 chronopurge_t2 chronopurge_t4 chronopurge_t16"
fi

label() {
    case "$1" in
    chronopurge) echo "chronopurge-cli --before $date_limit" ;;
    chronopurge_t*) echo "chronopurge-cli --threads ${1#chronopurge_t}" ;;
    bfs) echo "bfs -type f ! -newermt" ;;
    find) echo "GNU find -type f ! -newermt" ;;
    fd) echo "fdfind -H -I -t f --changed-before" ;;
    minimal*) echo "minimal walker, ${1#minimal} thread(s)" ;;
    esac
}

# Milliseconds one run of a tool takes, its output thrown away.
time_ms() {
    local start end
    start=$(date +%s%N)
    "run_$1" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

# What a tool counts: lines for the finders, regular + links for the minimal walker.
count_of() {
    case "$1" in
    minimal*) "run_$1" | awk '/^regular/ {r = $2} /^links/ {l = $2} END {print r " + " l " links"}' ;;
    *) "run_$1" | wc -l ;;
    esac
}

declare -A warm warmmedian coldtime count peak loads
mismatches=0

drop_caches() { sync; echo 3 >/proc/sys/vm/drop_caches; }

min_of() { tr ' ' '\n' | sed '/^$/d' | sort -n | head -1; }
median_of() { tr ' ' '\n' | sed '/^$/d' | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
load_now() { cut -d' ' -f1 /proc/loadavg; }

seconds() { awk -v ms="$1" 'BEGIN {printf "%.3f", ms / 1000}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f", a / b; else print "-"}'; }

{
    echo "# Scan benchmark, $(date '+%Y-%m-%d %H:%M %Z')"
    echo
    echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), $(free -g | awk '/^Mem/ {print $2}') GiB RAM,"
    echo "kernel $(uname -r), $(findmnt -no FSTYPE,SOURCE -T "$trees" | tr -s ' ') for $trees; load before start: $(cut -d' ' -f1-3 /proc/loadavg)."
    echo "Versions: $(bfs --version | head -1), $(fdfind --version), $(find --version | head -1)."
    echo
} >"$out"

for size in $sizes; do
    root="$trees/$(name_of_size "$size")"
    manifest="$root.manifest"
    if [ ! -f "$manifest" ]; then
        if [ -e "$root" ]; then
            echo "scan_bench: $root is incomplete (no manifest); remove it and run again" >&2
            exit 1
        fi
        echo "== generating $root"
        "$treegen" --files "$size" --cutoff "$date_limit" "$root"
        sync
    fi
    regular_before=$(manifest_value "$manifest" regular_before)
    regular_on=$(manifest_value "$manifest" regular_on)
    link_before=$(manifest_value "$manifest" link_before)
    tilde_before=$(($(manifest_value "$manifest" tilde_regular_before) + $(manifest_value "$manifest" tilde_link_before)))
    scanned=$(($(manifest_value "$manifest" regular_total) + $(manifest_value "$manifest" link_total) - $(manifest_value "$manifest" tilde_total)))

    echo "== $root: warm-up and counts"
    for tool in $warm_tools; do
        count[$size:$tool]=$(count_of "$tool")
    done

    echo "== $root: warm, best and median of $rounds"
    for tool in $warm_tools; do warm[$size:$tool]=""; done
    loads[$size]=""
    for ((round = 1; round <= rounds; round++)); do
        loads[$size]="${loads[$size]} $(load_now)"
        for tool in $warm_tools; do
            warm[$size:$tool]="${warm[$size:$tool]} $(time_ms "$tool")"
        done
    done
    for tool in $warm_tools; do
        warmmedian[$size:$tool]=$(echo "${warm[$size:$tool]}" | median_of)
        warm[$size:$tool]=$(echo "${warm[$size:$tool]}" | min_of)
    done

    echo "== $root: peak memory"
    for tool in $warm_tools; do
        measure=(/usr/bin/time -f '%M' -o "$trees/peak.txt")
        "run_$tool" >/dev/null
        measure=()
        peak[$size:$tool]=$(tail -1 "$trees/peak.txt")
    done

    if [ "$cold" = 1 ]; then
        echo "== $root: cold, best of $cold_rounds"
        for tool in $cold_tools; do coldtime[$size:$tool]=""; done
        for ((round = 1; round <= cold_rounds; round++)); do
            for tool in $cold_tools; do
                drop_caches
                coldtime[$size:$tool]="${coldtime[$size:$tool]} $(time_ms "$tool")"
            done
        done
        for tool in $cold_tools; do coldtime[$size:$tool]=$(echo "${coldtime[$size:$tool]}" | min_of); done
        # Leave the tree warm for whatever runs next.
        run_minimal2 >/dev/null
    fi

    bfs_warm=${warm[$size:bfs]}
    min2_warm=${warm[$size:minimal2]}
    bfs_cold=${coldtime[$size:bfs]:-0}
    min1_cold=${coldtime[$size:minimal1]:-0}
    {
        echo "## $(name_of_size "$size"): $(manifest_value "$manifest" files) files and links in $(manifest_value "$manifest" folders) folders"
        echo
        echo "Expected counts, from the tree's manifest: find and bfs count regular files up to and including"
        echo "$date_limit 00:00:00 ($regular_before + $regular_on on the stroke of midnight = $((regular_before + regular_on)));"
        echo "fd counts regular files strictly before it ($regular_before); chronopurge-cli counts files whose day is"
        echo "before $date_limit, links to files included, names beginning with \"~\" left out"
        echo "($regular_before + $link_before links - $tilde_before \"~\" = $((regular_before + link_before - tilde_before)));"
        echo "the minimal walker counts regular files and links strictly before it, every name ($regular_before + $link_before links)."
        echo
        expected_chronopurge=$((regular_before + link_before - tilde_before))
        expected_find=$((regular_before + regular_on))
        expected_fd=$regular_before
        expected_minimal="$regular_before + $link_before links"
        echo "Load average before each warm round: $(echo ${loads[$size]} | tr ' ' ',' | sed 's/,/, /g')."
        echo
        echo "| command | found | warm best | warm median | × bfs | × minimal 2 thr | cold best | × bfs cold | × minimal 1 thr cold | peak RSS | bytes per file walked |"
        echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
        for tool in $warm_tools; do
            w=${warm[$size:$tool]}
            c=${coldtime[$size:$tool]:-}
            kb=${peak[$size:$tool]}
            case "$tool" in
            chronopurge*) expected=$expected_chronopurge ;;
            find | bfs) expected=$expected_find ;;
            fd) expected=$expected_fd ;;
            minimal*) expected=$expected_minimal ;;
            esac
            if [ "${count[$size:$tool]}" = "$expected" ]; then
                found="${count[$size:$tool]} (as expected)"
            else
                found="${count[$size:$tool]} (expected $expected)"
                mismatches=$((mismatches + 1))
            fi
            printf '| %s | %s | %s s | %s s | %s | %s | %s | %s | %s | %s MiB | %s |\n' \
                "$(label "$tool")" "$found" "$(seconds "$w")" "$(seconds "${warmmedian[$size:$tool]}")" "$(ratio "$w" "$bfs_warm")" \
                "$(ratio "$w" "$min2_warm")" "$([ -n "$c" ] && echo "$(seconds "$c") s" || echo -)" \
                "$([ -n "$c" ] && ratio "$c" "$bfs_cold" || echo -)" "$([ -n "$c" ] && ratio "$c" "$min1_cold" || echo -)" \
                "$(awk -v k="$kb" 'BEGIN {printf "%.1f", k / 1024}')" \
                "$(awk -v k="$kb" -v n="$scanned" 'BEGIN {printf "%.0f", k * 1024 / n}')"
        done
        echo
        echo "chronopurge-cli's table held $scanned files (every file it lists, before the date filter)."
        echo
    } >>"$out"
done

# Linear cost: each tool's time per file on every tree.
set -- $sizes
if [ $# -ge 2 ]; then
    small=$1
    large=${!#}
    {
        echo "## Cost per file"
        echo
        echo "The last column is the memory each further file costs: the growth of the peak from the small"
        echo "tree to the large one, divided by the files added."
        echo
        echo "| command | warm µs/file, $(name_of_size "$small") | warm µs/file, $(name_of_size "$large") | large / small | cold µs/file, $(name_of_size "$small") | cold µs/file, $(name_of_size "$large") | bytes per added file |"
        echo "|---|---:|---:|---:|---:|---:|---:|"
        for tool in $warm_tools; do
            per() { [ -n "$1" ] && awk -v ms="$1" -v n="$2" 'BEGIN {printf "%.2f", ms * 1000 / n}' || echo -; }
            printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$(label "$tool")" \
                "$(per "${warm[$small:$tool]}" "$small")" "$(per "${warm[$large:$tool]}" "$large")" \
                "$(awk -v a="${warm[$small:$tool]}" -v b="${warm[$large:$tool]}" -v m="$small" -v n="$large" \
                    'BEGIN {printf "%.2f", (b / n) / (a / m)}')" \
                "$(per "${coldtime[$small:$tool]:-}" "$small")" "$(per "${coldtime[$large:$tool]:-}" "$large")" \
                "$(awk -v a="${peak[$small:$tool]}" -v b="${peak[$large:$tool]}" -v m="$small" -v n="$large" \
                    'BEGIN {printf "%.0f", (b - a) * 1024 / (n - m)}')"
        done
        echo
    } >>"$out"
fi

echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)" >>"$out"
cat "$out"
echo
echo "(written to $out)"
if [ "$mismatches" -gt 0 ]; then
    echo "scan_bench: $mismatches counts differ from the expected ones" >&2
    exit 1
fi
