#!/usr/bin/env bash
# Tavrin-summary over a table of 100,000 trees, each of its own label and target: with
# `--by label,target` (100,000 groups of one row, the page drawing the charts of the largest
# groups only) against the same rows without --by. Both write the chart and the page. Prints
# the fastest time and the smallest peak memory of alternating runs, their ratios, and the
# sizes of the page and the chart. A third run fills the page's study matrix: 100,000 labels of
# one tree, then 200 labels of 400 trees over 200 targets, `--by label` (40,000 cells shown,
# each finding its group among 100,200).
#
# usage: bench/bench_many_groups.sh [SUMMARY] [--runs N]
#   SUMMARY   the Tavrin-summary to time (default build/Tavrin-summary)
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
summary=$root/build/Tavrin-summary
runs=5
while [[ $# -gt 0 ]]; do
    case $1 in
        --runs)
            runs=${2:?--runs needs a number}
            shift
            ;;
        *) summary=$1 ;;
    esac
    shift
done
[[ -x /usr/bin/time ]] || {
    echo "/usr/bin/time is missing: apt-get install time" >&2
    exit 1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

header='file	tree	target	status	sister1	sister2	support	rerooted	target_leaves	outliers	outlier_leaves	root	strays	label'
{
    echo "$header"
    awk 'BEGIN { for (i = 1; i <= 100000; i++)
        printf "g%06d.nwk\t1\tTarget%d\tsisters\tSister%d\t\t%d\t0\t5\t\t\tgiven\t\trun%d\n",
               i, i, i % 40, i % 100, i }'
} >"$work/table.tsv"
{
    echo "$header"
    awk 'BEGIN { for (i = 1; i <= 100000; i++)
        printf "g.nwk\t1\tT0\tsisters\tS\t\t90\t0\t5\t\t\tgiven\t\tF%d\n", i
        for (r = 0; r < 2; r++) for (l = 0; l < 200; l++) for (t = 0; t < 200; t++)
            printf "g.nwk\t1\tT%d\tsisters\tS\t\t90\t0\t5\t\t\tgiven\t\tL%d\n", t, l }'
} >"$work/study.tsv"

# run NAME ARGS...: appends "seconds kib" of one run to $work/NAME.
run() {
    local name=$1
    shift
    local table=$work/table.tsv
    [[ $name == study ]] && table=$work/study.tsv
    /usr/bin/time -o "$work/time" -f '%e %M' "$summary" "$@" --svg "$work/$name.svg" \
        --html "$work/$name.html" "$table" >/dev/null 2>&1
    tail -n 1 "$work/time" >>"$work/$name"
}
for _ in $(seq "$runs"); do
    run plain
    run grouped --by label,target
    run study --by label
done

best() { # NAME column
    sort -n -k "$2" "$work/$1" | head -n 1 | cut -d ' ' -f "$2"
}
pt=$(best plain 1) pm=$(best plain 2) gt=$(best grouped 1) gm=$(best grouped 2)
echo "| run | time (s) | peak memory (KiB) | page (bytes) | chart (bytes) |"
echo "|---|---|---|---|---|"
echo "| without --by | $pt | $pm | $(wc -c <"$work/plain.html") | $(wc -c <"$work/plain.svg") |"
echo "| --by label,target | $gt | $gm | $(wc -c <"$work/grouped.html") | $(wc -c <"$work/grouped.svg") |"
echo "| study matrix, --by label | $(best study 1) | $(best study 2) | $(wc -c <"$work/study.html") | $(wc -c <"$work/study.svg") |"
awk -v a="$gt" -v b="$pt" -v c="$gm" -v d="$pm" \
    'BEGIN { printf "\nratios (--by / without): time %.2f, memory %.2f\n", a / (b > 0 ? b : 0.01), c / d }'
