#!/usr/bin/env bash
# Times the table with sisters named at purity 0.8 against the table without the option:
# `Tavrin --table --sister-purity 0.8 ... Choano FILE` and `Tavrin --table ... Choano FILE`,
# interleaved run by run (the one that goes first alternates), on the 10^6-leaf balanced tree
# and the 10^6-leaf ladder, without and with the generated group file, without and with
# `--root midpoint`; also the balanced tree with 100 leaves of the target's sister renamed, so
# that purity 0.8 names that sister with strays. Prints a markdown table of the medians of wall,
# processor and user time, their ratios and the first sister each run named (also written to
# bench/out/purity.md). User time is shown apart because on a shared machine the system time of
# runs of 10^6-leaf trees (page faults, memory handed back) varies several-fold from run to run.
#
# usage: bench/bench_purity.sh [--runs N] [--build DIR]
#   --runs N     rounds (default 9); medians are shown
#   --build DIR  a Release build directory to use instead of building build-bench
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
bench_prepare_runs "${BASH_SOURCE[0]}" "$@"

groups=$data/groups.txt
[[ -s $groups ]] || "$build/bench/tavrin_gen" groups "$groups"
# The target's sister block in the balanced tree is SAR; a hundred of its leaves become Fungi.
strays=$data/balanced-1000000-strays.nwk
[[ -s $strays ]] || sed 's/SAR-3359\([0-9][0-9]\):/Fungi-3359\1:/g' "$(generated balanced)" >"$strays"

# One run of "$@" as "wall processor user" seconds; its output is discarded.
timed_user() {
    /usr/bin/time -f '%e %U %S' "$@" 2>&1 >/dev/null | tail -1 | awk '{ print $1, $2 + $3, $2 }'
}

# The first sister and the number of strays of the table's row, as "sister (strays)".
answer() { # options...
    "$build/Tavrin" --table "$@" | awk -F'\t' 'NR == 2 {
        n = $13 == "" ? 0 : split($13, s, ",")
        printf "%s (%d)", $5 == "" ? $4 : $5, n }'
}

# One row: the input's label, its file, then the options both command lines share.
row() { # label file options...
    local label=$1 file=$2 plain=() pure=() r
    shift 2
    for r in $(seq "$runs"); do
        if ((r % 2)); then
            plain+=("$(timed_user "$build/Tavrin" --table "$@" Choano "$file")")
            pure+=("$(timed_user "$build/Tavrin" --table --sister-purity 0.8 "$@" Choano "$file")")
        else
            pure+=("$(timed_user "$build/Tavrin" --table --sister-purity 0.8 "$@" Choano "$file")")
            plain+=("$(timed_user "$build/Tavrin" --table "$@" Choano "$file")")
        fi
    done
    local shown="${*:-none}" p u
    p="$(for k in 1 2 3; do printf '%s\n' "${plain[@]}" | median "$k"; done)"
    u="$(for k in 1 2 3; do printf '%s\n' "${pure[@]}" | median "$k"; done)"
    awk -v l="$label" -v o="${shown//$data\//}" -v p="$p" -v u="$u" \
        -v a="$(answer "$@" Choano "$file")" \
        -v b="$(answer --sister-purity 0.8 "$@" Choano "$file")" 'BEGIN {
        split(p, pm, "\n"); split(u, um, "\n")
        printf "| %s | %s | %.2f, %.2f, %.2f | %.2f, %.2f, %.2f | %.2f, %.2f, %.2f | %s | %s |\n",
            l, o, pm[1], pm[2], pm[3], um[1], um[2], um[3],
            um[1] / pm[1], um[2] / pm[2], um[3] / pm[3], a, b }'
}

{
    echo "| input (10^6 leaves) | options besides --table | plain: wall, processor, user (s) | --sister-purity 0.8 (s) | ratios | first sister (strays), plain | at 0.8 |"
    echo "|---|---|---:|---:|---:|---|---|"
    for shape in balanced caterpillar; do
        file=$(generated "$shape")
        row "$shape" "$file"
        row "$shape" "$file" --groupFile "$groups"
        row "$shape" "$file" --root midpoint
        row "$shape" "$file" --root midpoint --groupFile "$groups"
    done
    row "balanced, 100 strays" "$strays" --groupFile "$groups"
    row "balanced, 100 strays" "$strays" --root midpoint --groupFile "$groups"
} | tee "$out_dir/purity.md"
