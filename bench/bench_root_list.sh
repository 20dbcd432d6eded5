#!/usr/bin/env bash
# Times long --root lists that never apply: `Tavrin --standard-newick --root LIST Choano FILE`
# with one outgroup and with 1,000, FILE holding ten copies of a balanced tree or of a ladder of
# 10^5 leaves (ten trees, so that a run lasts long enough for the timer's 10 ms), interleaved
# round by round, and prints a markdown table of the medians of wall and processor time and the
# ratios of 1,000 outgroups to one (also written to bench/out/root_list.md). A list must cost one
# walk of each tree plus its length: 1,000 outgroups at most twice one.
#
# Two kinds of lists: names that no leaf starts with (Absent0001, ...), and names that follow
# the leaves' own names byte by byte and part from them only at their end (Fungi-1x,
# Fungi-2x, ...: every byte of a Fungi leaf's name is matched before the outgroups are ruled
# out). No entry applies, so every tree is `no-root`: every entry is tried.
#
# usage: bench/bench_root_list.sh [--runs N] [--build DIR] [--before BINARY]
#   --runs N          rounds (default 5); medians are shown
#   --build DIR       a Release build directory to use instead of building build-bench
#   --before BINARY   also time another Tavrin (an older commit) in the same rounds
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
runs=5
before=""
rest=()
while [[ $# -gt 0 ]]; do
    case $1 in
        --before) before=$(cd "$(dirname "${2:?--before needs a binary}")" && pwd)/$(basename "$2"); shift ;;
        *) rest+=("$1") ;;
    esac
    shift
done
bench_prepare_runs "${BASH_SOURCE[0]}" ${rest[@]+"${rest[@]}"}
[[ -z $before || -x $before ]] || { echo "not an executable: $before" >&2; exit 2; }

# list <format> <count>: the entries printf makes of 1 to count, joined by commas.
list() { seq -f "$1" 1 "$2" | paste -sd, -; }

# ten_trees <shape>: the file of ten copies of the 10^5-leaf tree, made once into `data`.
ten_trees() {
    local one=$data/$1-100000.nwk file=$data/$1-100000-x10.nwk
    [[ -s $one ]] || "$build/bench/tavrin_gen" "$1" 100000 "$one" >/dev/null
    [[ -s $file ]] || for _ in $(seq 10); do cat "$one"; done >"$file"
    echo "$file"
}

# The medians of the runs with one outgroup and with 1,000, as two cells of the table.
cells() { # one_runs many_runs
    local w1 c1 wm cm
    w1=$(printf '%s' "$1" | median 1)
    c1=$(printf '%s' "$1" | median 2)
    wm=$(printf '%s' "$2" | median 1)
    cm=$(printf '%s' "$2" | median 2)
    awk -v w1="$w1" -v c1="$c1" -v wm="$wm" -v cm="$cm" 'BEGIN {
        printf " %.2f s, %.2f s | %.2f s, %.2f s (%.2f, %.2f) |", w1, c1, wm, cm, wm / w1, cm / c1 }'
}

binaries=("$build/Tavrin")
[[ -z $before ]] || binaries+=("$before")
{
    header="| ten trees of 10^5 leaves | list | one outgroup: wall, processor | 1,000 outgroups (ratios) |"
    rule="|---|---|---:|---:|"
    if [[ -n $before ]]; then
        header+=" before: one outgroup | before: 1,000 outgroups (ratios) |"
        rule+="---:|---:|"
    fi
    echo "$header"
    echo "$rule"
    for shape in balanced caterpillar; do
        file=$(ten_trees "$shape")
        for format in 'Absent%04.0f' 'Fungi-%.0fx'; do
            one=$(list "$format" 1)
            many=$(list "$format" 1000)
            one_runs=("" "") many_runs=("" "")
            for _ in $(seq "$runs"); do
                for b in "${!binaries[@]}"; do
                    one_runs[b]+="$(timed "${binaries[b]}" --standard-newick --root "$one" Choano "$file")"$'\n'
                    many_runs[b]+="$(timed "${binaries[b]}" --standard-newick --root "$many" Choano "$file")"$'\n'
                done
            done
            row="| $shape | ${format%%%*}... |"
            for b in "${!binaries[@]}"; do
                row+=$(cells "${one_runs[b]}" "${many_runs[b]}")
            done
            echo "$row"
        done
    done
} | tee "$out_dir/root_list.md"
