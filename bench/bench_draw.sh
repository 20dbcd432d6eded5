#!/usr/bin/env bash
# Times whole Tavrin runs with --draw against the same runs without it, side by side in the same
# rounds, on the 10^6-leaf balanced tree and ladder of run_bench.sh, and on the realistic gene
# trees of bench/genes (the three inference programs' trees of all genes, ten times over, in one
# call). Prints the medians, their ratios and the largest picture as a markdown table (also
# written to bench/out/draw.md).
#
# usage: bench/bench_draw.sh [--runs N] [--build DIR] [--reference TAVRIN]
#   --runs N            rounds (default 9); each round runs every command line once, in turn
#   --build DIR         a Release build of this checkout (default build-bench, configured here)
#   --reference TAVRIN  also time this Tavrin (a build of an earlier commit) with --draw in the
#                       same rounds, and give this build's --draw time against it
#
# The command lines: `Tavrin --groupFile GROUPS Choano FILE` against the same with
# `--draw DIR` (a fresh folder each run), and for the gene trees both with --standard-newick.
# Times are wall and processor (user + system) from /usr/bin/time, 10 ms resolution.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
reference=
options=()
while [[ $# -gt 0 ]]; do
    if [[ $1 == --reference ]]; then
        reference=${2:?--reference needs a program}
        shift 2
    else
        options+=("$1")
        shift
    fi
done
[[ -z $reference || -x $reference ]] || { echo "--reference: $reference is not a program" >&2; exit 2; }
bench_prepare_runs "${BASH_SOURCE[0]}" "${options[@]}"
[[ -s $data/groups.txt ]] || "$build/bench/tavrin_gen" groups "$data/groups.txt"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
largest=0
{
    echo "| input | without --draw: wall, processor | with --draw: wall, processor | ratio (wall, processor) | largest picture |${reference:+ reference with --draw: wall, processor | this build against it (wall, processor) |}"
    echo "|---|---:|---:|---:|---:|${reference:+---:|---:|}"
    for input in ${BENCH_DRAW_INPUTS:-balanced caterpillar genes}; do
        if [[ $input == genes ]]; then
            # The 105 gene trees ten times over: 1050 trees, 1050 pictures.
            args=(--standard-newick --groupFile "$root/bench/genes/groups.txt" Choano)
            for ((copy = 0; copy < 10; copy++)); do
                args+=("$root"/bench/genes/{iqtree,fasttree,raxml}/*.nwk)
            done
        else
            args=(--groupFile "$data/groups.txt" Choano "$(generated "$input")")
        fi
        rm -f "$work/plain" "$work/draw" "$work/reference"
        for ((round = 0; round < runs; round++)); do
            timed "$build/Tavrin" "${args[@]}" >>"$work/plain"
            rm -rf "$work/pictures"
            timed "$build/Tavrin" --draw "$work/pictures" "${args[@]}" >>"$work/draw"
            if [[ -n $reference ]]; then
                rm -rf "$work/reference-pictures"
                timed "$reference" --draw "$work/reference-pictures" "${args[@]}" >>"$work/reference"
            fi
        done
        size=$(find "$work/pictures" -name '*.svg' -printf '%s\n' | sort -n | tail -1)
        [[ $size -gt $largest ]] && largest=$size
        rw=0 rc=0
        if [[ -n $reference ]]; then
            rw=$(median 1 <"$work/reference") rc=$(median 2 <"$work/reference")
        fi
        awk -v s="$input" -v pw="$(median 1 <"$work/plain")" -v pc="$(median 2 <"$work/plain")" \
            -v dw="$(median 1 <"$work/draw")" -v dc="$(median 2 <"$work/draw")" -v size="$size" \
            -v rw="$rw" -v rc="$rc" \
            'BEGIN { printf "| %s | %.2f s, %.2f s | %.2f s, %.2f s | %.2f, %.2f | %d bytes |",
                     s, pw, pc, dw, dc, dw / pw, dc / pc, size
                     if (rw > 0) printf " %.2f s, %.2f s | %.2f, %.2f |", rw, rc, dw / rw, dc / rc
                     printf "\n" }'
    done
    echo
    echo "Largest picture: $largest bytes."
} | tee "$out_dir/draw.md"
