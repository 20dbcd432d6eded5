#!/usr/bin/env bash
# Times --targets against runs of one target each, side by side in one run (the commands
# interleaved round by round, so that the load of a shared machine falls on both alike), and
# prints a markdown table of medians and ratios (also written to bench/out/targets.md):
#
#   - the 105 gene trees of bench/genes (each listed 40 times) with `--table --root midpoint --outliers 2 --groupFile
#     groups.txt`: one run of `--targets Choano,Fungi,Metazoa,Amoebozoa` over the four runs of
#     one target each (user time, the four added up);
#   - the 10^6-leaf balanced tree, the same four targets over `Choano` alone (a clade) and over
#     `Fungi` alone (not a clade: the dearest single run), in the report and with
#     `--table --root midpoint --outliers 2` (user time).
#
# usage: bench/bench_targets.sh [--runs N] [--build DIR]
#   --runs N     rounds (default 9); medians are shown
#   --build DIR  a Release build directory to use instead of building build-bench
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
bench_prepare_runs "${BASH_SOURCE[0]}" "$@"

targets=(Choano Fungi Metazoa Amoebozoa)
list=$(IFS=,; echo "${targets[*]}")
# User time to the millisecond (bash's own timing reads the child's resource usage; /usr/bin/time
# rounds to 10 ms, the size of these runs).
user_time() { # command...
    local TIMEFORMAT=%3U
    { time "$@" >/dev/null 2>&1; } 2>&1
}
# The 105 trees listed 40 times over (4,200 trees), so that a run takes long enough to time.
genes=()
for _ in $(seq 40); do genes+=("$root"/bench/genes/{fasttree,iqtree,raxml}/*.nwk); done
gene_options=(--table --root midpoint --outliers 2)
gene_groups=(--groupFile "$root/bench/genes/groups.txt")
big=$(generated balanced)
"$build/bench/tavrin_gen" groups "$data/groups.txt"

row() { # label first second
    awk -v label="$1" -v a="$2" -v b="$3" \
        'BEGIN { printf "| %s | %.3f s | %.3f s | %.2f |\n", label, a, b, b / a }'
}

{
    echo "User time, medians of $runs rounds ($(date -u +%Y-%m-%d), $(nproc) cores):"
    echo
    echo "| run | one target at a time | --targets | ratio |"
    echo "|---|---:|---:|---:|"
    separate=() together=()
    for _ in $(seq "$runs"); do
        sum=0
        for target in "${targets[@]}"; do
            t=$(user_time "$build/Tavrin" "${gene_options[@]}" "${gene_groups[@]}" "$target" "${genes[@]}")
            sum=$(awk -v a="$sum" -v b="$t" 'BEGIN { print a + b }')
        done
        separate+=("$sum")
        together+=("$(user_time "$build/Tavrin" "${gene_options[@]}" --targets "$list" "${gene_groups[@]}" "${genes[@]}")")
    done
    row "105 gene trees x 40, 4 targets: four runs against one" \
        "$(printf '%s\n' "${separate[@]}" | median)" "$(printf '%s\n' "${together[@]}" | median)"
    # Choano is a clade of the tree; the other three are not, and with --outliers each of them
    # costs a census of the tree's outliers that Choano's run does not make: the four targets
    # are also set against the dearest of their runs alone.
    for options in "" "--table --root midpoint --outliers 2"; do
        one=() dearest=() four=()
        for _ in $(seq "$runs"); do
            # shellcheck disable=SC2086
            one+=("$(user_time "$build/Tavrin" $options --groupFile "$data/groups.txt" Choano "$big")")
            # shellcheck disable=SC2086
            dearest+=("$(user_time "$build/Tavrin" $options --groupFile "$data/groups.txt" Fungi "$big")")
            # shellcheck disable=SC2086
            four+=("$(user_time "$build/Tavrin" $options --targets "$list" --groupFile "$data/groups.txt" "$big")")
        done
        row "balanced tree, 10^6 leaves${options:+, $options}: 4 targets against Choano alone" \
            "$(printf '%s\n' "${one[@]}" | median)" "$(printf '%s\n' "${four[@]}" | median)"
        row "balanced tree, 10^6 leaves${options:+, $options}: 4 targets against Fungi alone" \
            "$(printf '%s\n' "${dearest[@]}" | median)" "$(printf '%s\n' "${four[@]}" | median)"
    done
} | tee "$out_dir/targets.md"
