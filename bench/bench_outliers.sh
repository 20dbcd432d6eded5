#!/usr/bin/env bash
# Times the search for the leaves that break the target clade (find_outliers) and their removal
# (set_aside of the three found) against the plain run on the same tree, on the 10^6-leaf
# balanced tree and the 10^6-deep ladder, and prints a markdown report (also written to
# bench/out/outliers.md).
#
# usage: bench/bench_outliers.sh [--runs N] [--build DIR] [--part library|program|both]
#   --runs N     rounds per case (default 9); medians are shown
#   --build DIR  a Release build directory to use instead of building build-bench
#   --part P     `library`: the table above only; `program`: the one below only (default both)
#
# The program part runs `Tavrin --table --outliers 3` against the plain `Tavrin` on the same
# file, the two interleaved round by round, and shows the medians of wall and processor time
# and their ratio (written to bench/out/outliers_program.md). Beside the generated trees, whose
# target group is a clade, it runs the same trees with three leaves at a quarter, half and three
# quarters of the leaves renamed into the target group ("planted"): those are not a clade, so
# they take the whole path, a second reading when the search rerooted, the walk, the removal
# and a second analysis.
#
# Two views of the plain run, both in processor time (user + system), which a machine shared
# with other work disturbs far less than wall time:
#   in process   tavrin_bench_outliers: reading the file into a tree, the analysis and releasing
#                both, then, on a freshly read tree, the target test alone, find_outliers and
#                set_aside (see bench/bench_outliers.cpp);
#   the program  Tavrin on the same file, timed by /usr/bin/time (10 ms resolution), with its
#                wall time beside it.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
build=$root/build-bench
data=$root/bench/data
out_dir=$root/bench/out
runs=9
own_build=1
part=both
while [[ $# -gt 0 ]]; do
    case $1 in
        --runs)
            runs=${2:?--runs needs a number}
            shift
            ;;
        --part)
            part=${2:?--part needs library, program or both}
            shift
            ;;
        --build)
            build=$(cd "${2:?--build needs a directory}" && pwd)
            own_build=0
            shift
            ;;
        *) bench_other_option "$1" "${BASH_SOURCE[0]}" ;;
    esac
    shift
done

if [[ ! -x /usr/bin/time ]]; then
    echo "/usr/bin/time is missing: apt-get install time" >&2
    exit 1
fi
if [[ $own_build -eq 1 ]]; then
    echo "building Release in $build" >&2
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BENCH=ON >/dev/null
fi
cmake --build "$build" -j2 --target Tavrin tavrin_gen tavrin_bench_outliers >/dev/null
mkdir -p "$data" "$out_dir"

# The 10^6-leaf tree of a shape: the same file run_bench.sh generates (tavrin_gen is
# deterministic).
generated() { # shape
    local file=$data/$1-1000000.nwk
    [[ -s $file ]] || "$build/bench/tavrin_gen" "$1" 1000000 "$file" >/dev/null
    echo "$file"
}

report=$out_dir/outliers.md
[[ $part == program ]] || {
    echo "| input | plain run, in process | find_outliers | set_aside (3 leaves) | find + set aside / plain | target test alone | Tavrin: processor, wall |"
    echo "|---|---:|---:|---:|---:|---:|---:|"
    for shape in balanced caterpillar; do
        file=$(generated "$shape")
        result=$("$build/bench/tavrin_bench_outliers" "$file" Choano "$runs")
        echo "$result" >&2
        read -r plain test find aside < <(echo "$result" |
            sed -n 's/^plain run \([0-9.]*\) ms, read [0-9.]* ms, test \([0-9.]*\) ms, find \([0-9.]*\) ms, set aside \([0-9.]*\) ms$/\1 \2 \3 \4/p')
        times=$(for _ in $(seq "$runs"); do
            /usr/bin/time -f '%U %S %e' "$build/Tavrin" Choano "$file" 2>&1 >/dev/null | tail -1
        done)
        cpu=$(echo "$times" | awk '{ print $1 + $2 }' | median)
        wall=$(echo "$times" | median 3)
        awk -v s="$shape" -v p="$plain" -v t="$test" -v f="$find" -v a="$aside" -v c="$cpu" -v w="$wall" 'BEGIN {
            printf "| %s, 10^6 leaves | %.0f ms | %.1f ms | %.3f ms | %.1f%% | %.1f ms | %.2f s, %.2f s |\n",
                s, p, f, a, 100 * (f + a) / p, t, c, w }'
    done
} | tee "$report"

[[ $part == library ]] || {
    echo "| input | plain: wall, processor | --table --outliers 3: wall, processor | ratio (wall, processor) |"
    echo "|---|---:|---:|---:|"
    for shape in balanced caterpillar; do
        file=$(generated "$shape")
        planted=$data/$shape-1000000-planted.nwk
        [[ -s $planted ]] || sed -E 's/\b[A-Za-z]+-(250000|500000|750000):/Choano-x\1:/g' "$file" >"$planted"
        for input in "$file" "$planted"; do
            plain=() table=()
            for _ in $(seq "$runs"); do
                plain+=("$(timed "$build/Tavrin" Choano "$input")")
                table+=("$(timed "$build/Tavrin" --table --outliers 3 Choano "$input")")
            done
            pw=$(printf '%s\n' "${plain[@]}" | median 1)
            pc=$(printf '%s\n' "${plain[@]}" | median 2)
            tw=$(printf '%s\n' "${table[@]}" | median 1)
            tc=$(printf '%s\n' "${table[@]}" | median 2)
            name=$shape
            [[ $input == "$planted" ]] && name="$shape, planted"
            awk -v s="$name" -v pw="$pw" -v pc="$pc" -v tw="$tw" -v tc="$tc" 'BEGIN {
                printf "| %s, 10^6 leaves | %.2f s, %.2f s | %.2f s, %.2f s | %.2f, %.2f |\n",
                    s, pw, pc, tw, tc, tw / pw, tc / pc }'
        done
    done
} | tee "$out_dir/outliers_program.md"
