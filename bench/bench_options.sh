#!/usr/bin/env bash
# Times whole Tavrin runs with the reading options against the plain run on the same 10^6-leaf
# files, side by side in the same rounds, and prints the medians and their ratios as a markdown
# table (also written to bench/out/options.md).
#
# usage: bench/bench_options.sh [--runs N] [--build DIR]
#   --runs N     rounds (default 9); each round runs every command line once, in turn
#   --build DIR  a Release build of this checkout (default build-bench, configured here)
#
# The command lines: `Tavrin Choano FILE` (the plain run, the classic reader), then with
# `--standard-newick`, with `--standard-newick --support-field 2`, and with
# `--standard-newick --table --outliers 3`. The files are those of run_bench.sh
# (`tavrin_gen balanced|caterpillar 1000000`), plus the balanced tree written three times into
# one file, which standard Newick reads as three trees (against the plain run on the single tree
# three times over). Times are wall and processor (user + system) from /usr/bin/time, 10 ms
# resolution.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
bench_prepare_runs "${BASH_SOURCE[0]}" "$@"

options=("--standard-newick" "--standard-newick --support-field 2"
    "--standard-newick --table --outliers 3")
{
    echo "| input | options | plain: wall, processor | with options: wall, processor | ratio (wall, processor) |"
    echo "|---|---|---:|---:|---:|"
    balanced=$(generated balanced)
    caterpillar=$(generated caterpillar)
    triple=$data/balanced-1000000-x3.nwk
    [[ -s $triple ]] || cat "$balanced" "$balanced" "$balanced" >"$triple"
    for input in "$balanced" "$caterpillar" "$triple"; do
        plain_files=("$input")
        [[ $input == "$triple" ]] && plain_files=("$balanced" "$balanced" "$balanced")
        work=$(mktemp -d)
        for ((round = 0; round < runs; round++)); do
            timed "$build/Tavrin" Choano "${plain_files[@]}" >>"$work/plain"
            for i in "${!options[@]}"; do
                # shellcheck disable=SC2086  # the options are words
                timed "$build/Tavrin" ${options[$i]} Choano "$input" >>"$work/$i"
            done
        done
        pw=$(median 1 <"$work/plain")
        pc=$(median 2 <"$work/plain")
        for i in "${!options[@]}"; do
            ow=$(median 1 <"$work/$i")
            oc=$(median 2 <"$work/$i")
            awk -v s="$(basename "$input" .nwk)" -v o="${options[$i]}" -v pw="$pw" -v pc="$pc" \
                -v ow="$ow" -v oc="$oc" 'BEGIN {
                printf "| %s | `%s` | %.2f s, %.2f s | %.2f s, %.2f s | %.2f, %.2f |\n",
                    s, o, pw, pc, ow, oc, ow / pw, oc / pc }'
        done
        rm -rf "$work"
    done
} | tee "$out_dir/options.md"
