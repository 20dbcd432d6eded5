#!/usr/bin/env bash
# Times --threads against one thread, and --table --root against --table, side by side in one
# run (the commands interleaved round by round, so that the load of a shared machine falls on
# both alike), and prints markdown tables of medians and ratios (also written to
# bench/out/threads.md):
#
#   - 10,000 gene trees (the 105 of bench/genes, copied) with
#     `--table --root midpoint --outliers 2 --draw DIR --groupFile groups.txt Choano`, and the
#     same without --draw: wall time of --threads 2 over --threads 1;
#   - the 10^6-leaf balanced tree with `--table --root midpoint Choano`: --threads 2 over 1;
#   - peak memory (maximum resident set) of --threads 8 and --threads 1 on the 10,000 trees;
#   - the 10^6-leaf balanced tree and ladder with `--table --root <a leaf>,midpoint Choano` (the
#     outgroup applies), `--table --root Metazoa,midpoint Choano` (it never does) and
#     `--table --root midpoint Choano` over `--table Choano`: wall time and peak memory.
#
# usage: bench/bench_threads.sh [--runs N] [--build DIR] [--only threads|root]
#   --runs N     rounds (default 9); medians are shown
#   --build DIR  a Release build directory to use instead of building build-bench
#   --only P     only the --threads figures, or only the --table --root ones
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
only=all
passed=()
while [[ $# -gt 0 ]]; do
    case $1 in
        --only) only=${2:?--only needs threads or root}; shift ;;
        *) passed+=("$1") ;;
    esac
    shift
done
bench_prepare_runs "${BASH_SOURCE[0]}" "${passed[@]}"

# One run's wall seconds, maximum resident set in KB and user seconds: "wall kb user".
wall_and_memory() {
    /usr/bin/time -f '%e %M %U' "$@" 2>&1 >/dev/null | tail -1
}

genes=$(gene_copies)
groups=$root/bench/genes/groups.txt
pictures=$(mktemp -d)
trap 'rm -rf "$pictures"' EXIT
gene_run() { # threads [draw]
    local draw=()
    [[ $# -gt 1 ]] && draw=(--draw "$pictures/$1")
    wall_and_memory "$build/Tavrin" --threads "$1" --table --root midpoint --outliers 2 \
        "${draw[@]}" --groupFile "$groups" Choano "$genes"/*.nwk
}
ratio_row() { # label first... -- second...
    awk -v label="$1" -v a="$2" -v b="$3" 'BEGIN { printf "| %s | %.2f s | %.2f s | %.2f |\n", label, a, b, b / a }'
}

threads_figures() {
    echo "Wall time, medians of $runs rounds:"
    echo
    echo "| run | --threads 1 | --threads 2 | ratio |"
    echo "|---|---:|---:|---:|"
    for draw in with without; do
        one=() two=()
        for _ in $(seq "$runs"); do
            if [[ $draw == with ]]; then
                one+=("$(gene_run 1 draw)")
                two+=("$(gene_run 2 draw)")
            else
                one+=("$(gene_run 1)")
                two+=("$(gene_run 2)")
            fi
        done
        ratio_row "10,000 gene trees, $draw --draw" "$(printf '%s\n' "${one[@]}" | median 1)" \
            "$(printf '%s\n' "${two[@]}" | median 1)"
    done
    big=$(generated balanced)
    one=() two=()
    for _ in $(seq "$runs"); do
        one+=("$(wall_and_memory "$build/Tavrin" --threads 1 --table --root midpoint Choano "$big")")
        two+=("$(wall_and_memory "$build/Tavrin" --threads 2 --table --root midpoint Choano "$big")")
    done
    ratio_row "balanced tree, 10^6 leaves" "$(printf '%s\n' "${one[@]}" | median 1)" \
        "$(printf '%s\n' "${two[@]}" | median 1)"

    echo
    echo "Peak memory on the 10,000 gene trees with --draw, medians of 3 rounds:"
    echo
    one=() eight=()
    for _ in 1 2 3; do
        one+=("$(gene_run 1 draw)")
        eight+=("$(gene_run 8 draw)")
    done
    awk -v a="$(printf '%s\n' "${one[@]}" | median 2)" -v b="$(printf '%s\n' "${eight[@]}" | median 2)" \
        'BEGIN { printf "| --threads 1 | --threads 8 | bound: 1.5 x --threads 1 + 32 MB |\n|---:|---:|---:|\n| %.1f MB | %.1f MB | %.1f MB |\n", a / 1024, b / 1024, 1.5 * a / 1024 + 32 }'

}

root_figures() {
    echo "--table --root against --table, medians of $runs rounds (wall time, user time, peak memory;"
    echo "ratios to --table). The outgroup is one leaf of the tree, so that it applies; Metazoa never"
    echo "does on these trees (no side holds Metazoa leaves only), so its list goes on to the midpoint:"
    echo
    echo "| tree | --table | --root <leaf>,midpoint | --root Metazoa,midpoint | --root midpoint |"
    echo "|---|---:|---:|---:|---:|"
    for shape in balanced caterpillar; do
        file=$(generated "$shape")
        # The last Fungi leaf of the file: an outgroup that applies.
        leaf=$(grep -o 'Fungi-[0-9]*' "$file" | tail -1)
        plain=() outgroup=() fallback=() midpoint=()
        for _ in $(seq "$runs"); do
            plain+=("$(wall_and_memory "$build/Tavrin" --table Choano "$file")")
            outgroup+=("$(wall_and_memory "$build/Tavrin" --table --root "$leaf,midpoint" Choano "$file")")
            fallback+=("$(wall_and_memory "$build/Tavrin" --table --root Metazoa,midpoint Choano "$file")")
            midpoint+=("$(wall_and_memory "$build/Tavrin" --table --root midpoint Choano "$file")")
        done
        cells=""
        for runs_of in plain outgroup fallback midpoint; do
            declare -n measured=$runs_of
            for column in 1 3 2; do
                cells+=" $(printf '%s\n' "${measured[@]}" | median "$column")"
            done
            unset -n measured
        done
        awk -v s="$shape" -v cells="$cells" \
            'function cell(i) {
                 return sprintf("%.2f s, %.2f s, %.0f MB (%.2f, %.2f, %.2f)", v[i], v[i + 1],
                                v[i + 2] / 1024, v[i] / v[1], v[i + 1] / v[2], v[i + 2] / v[3])
             }
             BEGIN { split(cells, v, " ")
                     printf "| %s, 10^6 leaves | %.2f s, %.2f s, %.0f MB | %s | %s | %s |\n",
                         s, v[1], v[2], v[3] / 1024, cell(4), cell(7), cell(10) }'
    done
}

{
    [[ $only == root ]] || threads_figures
    [[ $only != all ]] || echo
    [[ $only == threads ]] || root_figures
} | tee "$out_dir/threads.md"
