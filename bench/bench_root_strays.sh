#!/usr/bin/env bash
# The cost of the tolerant study setting: `Tavrin [--table] --sister-purity 0.8 --root-strays 2
# [options] Choano FILE` against `Tavrin [--table] [options] Choano FILE`, on the 10^6-leaf
# balanced tree and the 10^6-leaf ladder, as the table and as the report, with
# `--root Excavata,midpoint` (an outgroup scattered over the tree: not one side, so that the
# side holding three quarters of it is looked for) and `--root midpoint`, with the generated
# group file. Prints a markdown table (also written to bench/out/root_strays.md) of the fastest
# wall, processor and user time of runs interleaved run by run (the one that goes first
# alternates), their ratios, and the root and first sister each run took. With --callgrind, each
# command runs once under valgrind's callgrind and the table gives its instruction count and the
# ratio of the counts (the same on every run, whatever the machine's load).
#
# usage: bench/bench_root_strays.sh [--runs N] [--build DIR] [--callgrind]
#   --runs N       rounds of timed runs (default 9); the fastest is shown
#   --build DIR    a Release build directory to use instead of building build-bench
#   --callgrind    instruction counts instead of times
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
callgrind=0
args=()
for a in "$@"; do
    if [[ $a == --callgrind ]]; then callgrind=1; else args+=("$a"); fi
done
bench_prepare_runs "${BASH_SOURCE[0]}" "${args[@]+"${args[@]}"}"
if ((callgrind)) && ! command -v valgrind >/dev/null; then
    echo "valgrind is missing: apt-get install valgrind" >&2
    exit 1
fi

groups=$data/groups.txt
[[ -s $groups ]] || "$build/bench/tavrin_gen" groups "$groups"
tolerant=(--sister-purity 0.8 --root-strays 2)

# One run of "$@" as "wall processor user" seconds; its output is discarded.
timed_user() {
    /usr/bin/time -f '%e %U %S' "$@" 2>&1 >/dev/null | tail -1 | awk '{ print $1, $2 + $3, $2 }'
}

# The instructions one run of "$@" executes, counted by callgrind; its output is discarded.
instructions() {
    local counts
    counts=$(mktemp)
    valgrind --tool=callgrind --callgrind-out-file="$counts" "$@" >/dev/null 2>&1
    awk '/^summary:/ { print $2 }' "$counts"
    rm -f "$counts"
}

# The smallest of the numbers in field COLUMN of the lines on standard input.
fastest() { # column
    cut -d' ' -f"$1" | sort -g | head -1
}

# The root entry and the first sister of the table's row, as "root: sister".
answer() { # options...
    "$build/Tavrin" --table "$@" 2>/dev/null | awk -F'\t' 'NR == 1 {
        for (i = 1; i <= NF; i++) column[$i] = i }
        NR == 2 { printf "%s: %s", $column["root"], $5 == "" ? $4 : $5 }'
}

# One row: the input's label, its file, the output (table or report), then the options both
# command lines share.
row() { # label file output options...
    local label=$1 file=$2 output=$3 mode=() plain=() tol=() r p u
    shift 3
    [[ $output == table ]] && mode=(--table)
    local a b
    a="$(answer "$@" Choano "$file")"
    b="$(answer "${tolerant[@]}" "$@" Choano "$file")"
    local shown="${*//$data\//}"
    if ((callgrind)); then
        p=$(instructions "$build/Tavrin" "${mode[@]+"${mode[@]}"}" "$@" Choano "$file")
        u=$(instructions "$build/Tavrin" "${mode[@]+"${mode[@]}"}" "${tolerant[@]}" "$@" Choano \
            "$file")
        awk -v l="$label" -v m="$output" -v o="$shown" -v p="$p" -v u="$u" -v a="$a" -v b="$b" \
            'BEGIN { printf "| %s | %s | %s | %.0f | %.0f | %.3f | %s | %s |\n", l, m, o, p, u, u / p, a, b }'
        return
    fi
    for r in $(seq "$runs"); do
        if ((r % 2)); then
            plain+=("$(timed_user "$build/Tavrin" "${mode[@]+"${mode[@]}"}" "$@" Choano "$file")")
            tol+=("$(timed_user "$build/Tavrin" "${mode[@]+"${mode[@]}"}" "${tolerant[@]}" "$@" \
                Choano "$file")")
        else
            tol+=("$(timed_user "$build/Tavrin" "${mode[@]+"${mode[@]}"}" "${tolerant[@]}" "$@" \
                Choano "$file")")
            plain+=("$(timed_user "$build/Tavrin" "${mode[@]+"${mode[@]}"}" "$@" Choano "$file")")
        fi
    done
    p="$(for k in 1 2 3; do printf '%s\n' "${plain[@]}" | fastest "$k"; done)"
    u="$(for k in 1 2 3; do printf '%s\n' "${tol[@]}" | fastest "$k"; done)"
    awk -v l="$label" -v m="$output" -v o="$shown" -v p="$p" -v u="$u" -v a="$a" -v b="$b" 'BEGIN {
        split(p, pm, "\n"); split(u, um, "\n")
        printf "| %s | %s | %s | %.2f, %.2f, %.2f | %.2f, %.2f, %.2f | %.2f, %.2f, %.2f | %s | %s |\n",
            l, m, o, pm[1], pm[2], pm[3], um[1], um[2], um[3],
            um[1] / pm[1], um[2] / pm[2], um[3] / pm[3], a, b }'
}

{
    if ((callgrind)); then
        echo "| input (10^6 leaves) | output | options | plain: instructions | with --sister-purity 0.8 --root-strays 2 | ratio | root: first sister, plain | tolerant |"
        echo "|---|---|---|---:|---:|---:|---|---|"
    else
        echo "| input (10^6 leaves) | output | options | plain: wall, processor, user (s) | with --sister-purity 0.8 --root-strays 2 (s) | ratios | root: first sister, plain | tolerant |"
        echo "|---|---|---|---:|---:|---:|---|---|"
    fi
    for shape in balanced caterpillar; do
        file=$(generated "$shape")
        row "$shape" "$file" table --root Excavata,midpoint --groupFile "$groups"
        row "$shape" "$file" report --root Excavata,midpoint --groupFile "$groups"
        row "$shape" "$file" table --root midpoint --groupFile "$groups"
    done
} | tee "$out_dir/root_strays$( ((callgrind)) && echo _callgrind).md"
