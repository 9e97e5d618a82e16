#!/usr/bin/env bash
# What the Trash journal costs a request: chronopurge-cli --all --trash on
# 10,000 files (100 folders of 100), with the journal and without it (its
# folder made unusable, so nothing is written), alternately, five times each.
#   bench/journal_cost.sh [folder] [program]
#     folder: where the files, the home, the Trash and the journal go (default /var/tmp)
#     program: a release chronopurge-cli (default build/bin/chronopurge-cli, see bench/README.md)
set -euo pipefail
folder=${1:-/var/tmp}
cli=$(realpath "${2:-$(dirname "$0")/../build/bin/chronopurge-cli}")
base=$folder/chronopurge-journal-cost
trap 'rm -rf "$base"' EXIT
echo "$(date -u +%F) on $(nproc) cores, $(uname -r); in $folder ($(df -T "$folder" | awk 'NR==2 {print $2}'))"
for round in 1 2 3 4 5; do
    for mode in journal none; do
        rm -rf "$base"
        mkdir -p "$base/home" "$base/r"
        for d in $(seq 0 99); do
            mkdir "$base/r/d$d"
            for f in $(seq 0 99); do echo content > "$base/r/d$d/f$f.txt"; done
        done
        sync
        state=$base/home/state
        if [ $mode = none ]; then
            touch "$base/home/blocked"
            state=$base/home/blocked/state
        fi
        start=$(date +%s%N)
        HOME=$base/home XDG_STATE_HOME=$state "$cli" --all --trash "$base/r" > /dev/null 2>&1 || true
        end=$(date +%s%N)
        moved=$(find "$base/home/.local/share/Trash/files" -type f | wc -l)
        printf '%-8s %6.3f s  %d files moved\n' "$mode" "$(echo "($end - $start) / 1000000000" | bc -l)" "$moved"
    done
done
