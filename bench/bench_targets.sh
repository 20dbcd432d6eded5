#!/usr/bin/env bash
# Times --targets against runs of one target each, side by side in one run (the commands
# interleaved round by round, so that the load of a shared machine falls on both alike), and
# prints a markdown table of the fastest times and their ratios (also written to
# bench/out/targets.md):
#
#   - the 105 gene trees of bench/genes (each listed 200 times) with `--table --root midpoint
#     --outliers 2 --groupFile groups.txt`: one run of `--targets Choano,Fungi,Metazoa,Amoebozoa`
#     over the four runs of one target each (the four added up);
#   - the 10^6-leaf balanced tree, the same four targets over `Choano` alone (a clade: the
#     search and the naming of its sisters) and over `Fungi` alone (not a clade: with --outliers
#     its census makes it the dearest single run; in the report the cheapest, its search
#     stopping once Fungi is known not to be a clade), in the report and with
#     `--table --root midpoint --outliers 2`, in three times as many rounds: a run takes a few
#     hundredths of a second of user time, which the kernel's accounting splits coarsely.
# Each in user time and in user + system time, each the fastest of the rounds.
#
# usage: bench/bench_targets.sh [--runs N] [--build DIR]
#   --runs N     rounds (default 9); the fastest of each command is shown
#   --build DIR  a Release build directory to use instead of building build-bench
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
bench_prepare_runs "${BASH_SOURCE[0]}" "$@"

targets=(Choano Fungi Metazoa Amoebozoa)
list=$(IFS=,; echo "${targets[*]}")
# User and system time to the millisecond, "USER SYSTEM" (bash's own timing reads the child's
# resource usage; /usr/bin/time rounds to 10 ms, the size of these runs).
cpu_times() { # command...
    local TIMEFORMAT='%3U %3S'
    { time "$@" >/dev/null 2>&1; } 2>&1
}
# The 105 trees listed 200 times over (21,000 trees): a run of 4,200 took about 0.15 s, and the
# ratio of its fastest times moved by 0.04 from one run of this script to the next.
genes=()
for _ in $(seq 200); do genes+=("$root"/bench/genes/{fasttree,iqtree,raxml}/*.nwk); done
gene_options=(--table --root midpoint --outliers 2)
gene_groups=(--groupFile "$root/bench/genes/groups.txt")
big=$(generated balanced)
"$build/bench/tavrin_gen" groups "$data/groups.txt"

# The fastest user time and the fastest user + system time of some "USER SYSTEM" pairs, as
# "USER TOTAL". On a virtual machine the kernel's split of a short run between user and system
# time moves from run to run (the runs of a big tree spend much of their time in the kernel,
# handing out fresh memory): the sum is the steadier figure.
fastest() { printf '%s\n' "$@" | awk 'NR == 1 || $1 < u { u = $1 } NR == 1 || $1 + $2 < t { t = $1 + $2 }
                                  END { print u, t }'; }
row() { # label "USER TOTAL" of the first, of the second
    awk -v label="$1" -v a="$2" -v b="$3" 'BEGIN {
        split(a, x, " "); split(b, y, " ")
        printf "| %s | %.3f s | %.3f s | %.2f | %.3f s | %.3f s | %.2f |\n",
            label, x[1], y[1], y[1] / x[1], x[2], y[2], y[2] / x[2] }'
}

{
    echo "Fastest of $runs alternating rounds, $((3 * runs)) for the big tree ($(date -u +%Y-%m-%d), $(nproc) cores):"
    echo
    echo "| run | one target at a time, user | --targets, user | ratio | one target, user + system | --targets, user + system | ratio |"
    echo "|---|---:|---:|---:|---:|---:|---:|"
    declare -A alone=()  # target -> its "USER SYSTEM" pairs, separated by commas
    together=()
    for _ in $(seq "$runs"); do
        for target in "${targets[@]}"; do
            alone[$target]+="$(cpu_times "$build/Tavrin" "${gene_options[@]}" "${gene_groups[@]}" "$target" "${genes[@]}"),"
        done
        together+=("$(cpu_times "$build/Tavrin" "${gene_options[@]}" --targets "$list" "${gene_groups[@]}" "${genes[@]}")")
    done
    # The four runs: each target's fastest, added up.
    sum="0 0"
    for target in "${targets[@]}"; do
        IFS=, read -r -a pairs <<<"${alone[$target]%,}"
        sum=$(awk -v a="$sum" -v b="$(fastest "${pairs[@]}")" \
            'BEGIN { split(a, x, " "); split(b, y, " "); print x[1] + y[1], x[2] + y[2] }')
    done
    row "105 gene trees x 200, 4 targets: four runs against one" "$sum" "$(fastest "${together[@]}")"
    # Choano is a clade of the tree; the other three are not, and with --outliers each of them
    # costs a census of the tree's outliers that Choano's run does not make: the four targets
    # are also set against Fungi alone.
    for options in "" "--table --root midpoint --outliers 2"; do
        one=() dearest=() four=()
        for _ in $(seq $((3 * runs))); do
            # shellcheck disable=SC2086
            one+=("$(cpu_times "$build/Tavrin" $options --groupFile "$data/groups.txt" Choano "$big")")
            # shellcheck disable=SC2086
            dearest+=("$(cpu_times "$build/Tavrin" $options --groupFile "$data/groups.txt" Fungi "$big")")
            # shellcheck disable=SC2086
            four+=("$(cpu_times "$build/Tavrin" $options --targets "$list" --groupFile "$data/groups.txt" "$big")")
        done
        row "balanced tree, 10^6 leaves${options:+, $options}: 4 targets against Choano alone" \
            "$(fastest "${one[@]}")" "$(fastest "${four[@]}")"
        row "balanced tree, 10^6 leaves${options:+, $options}: 4 targets against Fungi alone" \
            "$(fastest "${dearest[@]}")" "$(fastest "${four[@]}")"
    done
} | tee "$out_dir/targets.md"
