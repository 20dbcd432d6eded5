#!/usr/bin/env bash
# Times the tolerant study setting against the run without it: `Tavrin --table
# --sister-purity 0.8 --root-strays 2 [options] Choano FILE` and `Tavrin --table [options] Choano
# FILE`, interleaved run by run (the one that goes first alternates), on the 10^6-leaf balanced
# tree and the 10^6-leaf ladder, with `--root Metazoa,midpoint` (an outgroup that is not one
# side, so that the side holding three quarters of it is looked for over every branch) and
# `--root midpoint`, without and with the generated group file. Prints a markdown table of the
# medians of wall, processor and user time, their ratios and the root each run took (also
# written to bench/out/root_strays.md).
#
# usage: bench/bench_root_strays.sh [--runs N] [--build DIR]
#   --runs N     rounds (default 9); medians are shown
#   --build DIR  a Release build directory to use instead of building build-bench
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
bench_prepare_runs "${BASH_SOURCE[0]}" "$@"

groups=$data/groups.txt
[[ -s $groups ]] || "$build/bench/tavrin_gen" groups "$groups"
tolerant=(--sister-purity 0.8 --root-strays 2)

# One run of "$@" as "wall processor user" seconds; its output is discarded.
timed_user() {
    /usr/bin/time -f '%e %U %S' "$@" 2>&1 >/dev/null | tail -1 | awk '{ print $1, $2 + $3, $2 }'
}

# The root entry and the first sister of the table's row, as "root: sister".
answer() { # options...
    "$build/Tavrin" --table "$@" 2>/dev/null | awk -F'\t' 'NR == 1 {
        for (i = 1; i <= NF; i++) column[$i] = i }
        NR == 2 { printf "%s: %s", $column["root"], $5 == "" ? $4 : $5 }'
}

# One row: the input's label, its file, then the options both command lines share.
row() { # label file options...
    local label=$1 file=$2 plain=() tol=() r
    shift 2
    for r in $(seq "$runs"); do
        if ((r % 2)); then
            plain+=("$(timed_user "$build/Tavrin" --table "$@" Choano "$file")")
            tol+=("$(timed_user "$build/Tavrin" --table "${tolerant[@]}" "$@" Choano "$file")")
        else
            tol+=("$(timed_user "$build/Tavrin" --table "${tolerant[@]}" "$@" Choano "$file")")
            plain+=("$(timed_user "$build/Tavrin" --table "$@" Choano "$file")")
        fi
    done
    local shown="${*:-none}" p u
    p="$(for k in 1 2 3; do printf '%s\n' "${plain[@]}" | median "$k"; done)"
    u="$(for k in 1 2 3; do printf '%s\n' "${tol[@]}" | median "$k"; done)"
    awk -v l="$label" -v o="${shown//$data\//}" -v p="$p" -v u="$u" \
        -v a="$(answer "$@" Choano "$file")" \
        -v b="$(answer "${tolerant[@]}" "$@" Choano "$file")" 'BEGIN {
        split(p, pm, "\n"); split(u, um, "\n")
        printf "| %s | %s | %.2f, %.2f, %.2f | %.2f, %.2f, %.2f | %.2f, %.2f, %.2f | %s | %s |\n",
            l, o, pm[1], pm[2], pm[3], um[1], um[2], um[3],
            um[1] / pm[1], um[2] / pm[2], um[3] / pm[3], a, b }'
}

{
    echo "| input (10^6 leaves) | options besides --table | plain: wall, processor, user (s) | with --sister-purity 0.8 --root-strays 2 (s) | ratios | root: first sister, plain | tolerant |"
    echo "|---|---|---:|---:|---:|---|---|"
    for shape in balanced caterpillar; do
        file=$(generated "$shape")
        row "$shape" "$file" --root Metazoa,midpoint
        row "$shape" "$file" --root Metazoa,midpoint --groupFile "$groups"
        row "$shape" "$file" --root midpoint --groupFile "$groups"
    done
} | tee "$out_dir/root_strays.md"
