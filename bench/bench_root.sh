#!/usr/bin/env bash
# Times rooting by a list against the plain run on the same tree: `Tavrin Choano FILE`,
# `Tavrin --root midpoint Choano FILE` and `Tavrin --root Metazoa,midpoint Choano FILE`,
# interleaved round by round, on the 10^6-leaf balanced tree and the 10^6-leaf ladder, and
# prints a markdown table of the medians of wall and processor time and their ratios to the
# plain run (also written to bench/out/root.md).
#
# usage: bench/bench_root.sh [--runs N] [--build DIR]
#   --runs N     rounds (default 9); medians are shown
#   --build DIR  a Release build directory to use instead of building build-bench
#
# In both trees the Metazoa leaves lie scattered, no side holds most of them, so the outgroup
# does not apply and the midpoint roots the tree: both walks are paid, the dearest such list.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
bench_prepare_runs "${BASH_SOURCE[0]}" "$@"

{
    echo "| input | plain: wall, processor | --root midpoint: wall, processor (ratio) | --root Metazoa,midpoint: wall, processor (ratio) | root taken |"
    echo "|---|---:|---:|---:|---|"
    for shape in balanced caterpillar; do
        file=$(generated "$shape")
        plain=() midpoint=() outgroup=()
        for _ in $(seq "$runs"); do
            plain+=("$(timed "$build/Tavrin" Choano "$file")")
            midpoint+=("$(timed "$build/Tavrin" --root midpoint Choano "$file")")
            outgroup+=("$(timed "$build/Tavrin" --root Metazoa,midpoint Choano "$file")")
        done
        taken=$("$build/Tavrin" --table --root Metazoa,midpoint Choano "$file" | awk -F'\t' 'NR == 2 { print $NF }')
        pw=$(printf '%s\n' "${plain[@]}" | median 1)
        pc=$(printf '%s\n' "${plain[@]}" | median 2)
        mw=$(printf '%s\n' "${midpoint[@]}" | median 1)
        mc=$(printf '%s\n' "${midpoint[@]}" | median 2)
        ow=$(printf '%s\n' "${outgroup[@]}" | median 1)
        oc=$(printf '%s\n' "${outgroup[@]}" | median 2)
        awk -v s="$shape" -v pw="$pw" -v pc="$pc" -v mw="$mw" -v mc="$mc" -v ow="$ow" -v oc="$oc" \
            -v t="$taken" 'BEGIN {
            printf "| %s, 10^6 leaves | %.2f s, %.2f s | %.2f s, %.2f s (%.2f, %.2f) | %.2f s, %.2f s (%.2f, %.2f) | %s |\n",
                s, pw, pc, mw, mc, mw / pw, mc / pc, ow, oc, ow / pw, oc / pc, t }'
    done
} | tee "$out_dir/root.md"
