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
# On the balanced tree the Metazoa leaves lie scattered, one per side, so the outgroup does not
# apply and the midpoint roots the tree: both walks are paid. On the ladder they are the two
# leaves nearest the root, one side, which roots it.
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
while [[ $# -gt 0 ]]; do
    case $1 in
        --runs)
            runs=${2:?--runs needs a number}
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
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target Tavrin tavrin_gen >/dev/null
mkdir -p "$data" "$out_dir"

# Each run's "wall processor" times, from /usr/bin/time.
timed() {
    /usr/bin/time -f '%e %U %S' "$@" 2>&1 >/dev/null | tail -1 | awk '{ print $1, $2 + $3 }'
}

{
    echo "| input | plain: wall, processor | --root midpoint: wall, processor (ratio) | --root Metazoa,midpoint: wall, processor (ratio) | root taken |"
    echo "|---|---:|---:|---:|---|"
    for shape in balanced caterpillar; do
        file=$data/$shape-1000000.nwk
        [[ -s $file ]] || "$build/bench/tavrin_gen" "$shape" 1000000 "$file" >/dev/null
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
