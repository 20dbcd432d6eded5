#!/usr/bin/env bash
# Times the reading of the 10^6-leaf balanced tree and the 10^6-deep caterpillar by this
# checkout's Tavrin and by another Tavrin binary (the previous commit's, say), interleaved in
# the same runs, and prints the medians and their ratio as a markdown table.
#
# usage: bench/compare_read.sh BASE_BINARY [--runs N] [--build DIR]
#   BASE_BINARY  the Tavrin to compare with; both must print the same bytes
#   --runs N     timed runs of each binary per file (default 5)
#   --build DIR  where this checkout is built, Release (default build-bench)
#
# Each run is one whole Tavrin call on one file (reading, searching, one row), which for these
# trees is mostly reading. Run i times this Tavrin and the other, the first of the two
# alternating from run to run (a run right after another program pays more for fresh memory on
# a virtual machine), then the floor (the file read whole and its parentheses counted), so that
# the load of a shared machine falls on all alike.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
[[ $# -ge 1 && $1 != -* ]] || bench_other_option "${1:---help}" "${BASH_SOURCE[0]}"
base=$1
shift
runs=5
build=$root/build-bench
while [[ $# -gt 0 ]]; do
    case $1 in
        --runs) runs=${2:?--runs needs a number}; shift ;;
        --build) build=${2:?--build needs a directory}; shift ;;
        *) bench_other_option "$1" "${BASH_SOURCE[0]}" ;;
    esac
    shift
done
[[ -x $base ]] || { echo "not an executable: $base" >&2; exit 2; }

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target Tavrin tavrin_gen tavrin_floor >/dev/null
data=$root/bench/data
mkdir -p "$data"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seconds() { # command... ; wall time in seconds, standard output to $work/out
    local start end
    start=$(date +%s.%N)
    "$@" >"$work/out" 2>"$work/err"
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }'
}

echo "| input | this s | base s | this / base | floor s | this / floor | base / floor |"
echo "|---|---:|---:|---:|---:|---:|---:|"
for shape in balanced caterpillar; do
    file=$data/$shape-1000000.nwk
    [[ -s $file && $file -nt $build/bench/tavrin_gen ]] ||
        "$build/bench/tavrin_gen" "$shape" 1000000 "$file" >"$file.info"
    prefix=$(sed -n 's/^prefix=\([^ ]*\).*/\1/p' "$file.info")
    : >"$work/this" && : >"$work/base" && : >"$work/floor"
    for ((i = 0; i < runs; i++)); do
        ((i % 2 == 0)) || seconds "$base" "$prefix" "$file" >>"$work/base"
        seconds "$build/Tavrin" "$prefix" "$file" >>"$work/this"
        cp "$work/out" "$work/this.out"
        ((i % 2 == 1)) || seconds "$base" "$prefix" "$file" >>"$work/base"
        cmp -s "$work/out" "$work/this.out" || { echo "the outputs differ on $file" >&2; exit 1; }
        seconds "$build/bench/tavrin_floor" "$file" >>"$work/floor"
    done
    t=$(median <"$work/this")
    b=$(median <"$work/base")
    f=$(median <"$work/floor")
    awk -v s="$shape" -v t="$t" -v b="$b" -v f="$f" 'BEGIN {
        printf "| %s 10^6 | %.3f | %.3f | %.2f | %.3f | %.2f | %.2f |\n", s, t, b, t / b, f, t / f, b / f }'
done
