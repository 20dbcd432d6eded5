#!/usr/bin/env bash
# Times the loading of the benchmarks' 100,000-line group file (tavrin_gen taxonomy: 16 levels,
# 1,500,038 pairs after its closure) by whole Tavrin runs over one small tree, this build
# against a reference build side by side in the same rounds, and prints the medians and their
# ratios as a markdown table (also written to bench/out/group_file_load.md). The run is then
# mostly the loading: reading, closing, indexing, and this build's checks of the file.
#
# usage: bench/bench_group_file_load.sh --reference TAVRIN [--runs N] [--build DIR]
#   --reference TAVRIN  the Tavrin program to compare with (a build of an earlier commit)
#   --runs N            rounds (default 11); each round runs both programs once, in turn
#   --build DIR         a Release build of this checkout (default build-bench, configured here)
#
# Inputs: the file as generated (smallest groups first: no warning), and the same lines in
# reverse order (the larger groups first: every line loses members, the checks' worst case;
# both programs close it into far fewer pairs); and a file of lineages written out for each of
# 20,000 species (genus, Metazoa, Opisthokonta, Eukaryota: 80,000 lines, most of them repeats),
# whose rows are not compared: a reference that kept every repeat's copies refuses it. Times are wall and processor (user + system)
# from /usr/bin/time, 10 ms resolution.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
runs=11
build=$root/build-bench
own_build=1
reference=
while [[ $# -gt 0 ]]; do
    case $1 in
        --reference) reference=${2:?--reference needs a program}; shift ;;
        --runs) runs=${2:?--runs needs a number}; shift ;;
        --build) build=${2:?--build needs a directory}; own_build=0; shift ;;
        *) bench_other_option "$1" "${BASH_SOURCE[0]}" ;;
    esac
    shift
done
[[ -x $reference ]] || { echo "--reference TAVRIN is required" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time is missing: apt-get install time" >&2; exit 1; }
bench_build Tavrin tavrin_gen
data=$root/bench/data
out_dir=$root/bench/out
mkdir -p "$data" "$out_dir"

groups=$data/taxonomy-groups.txt
if [[ ! -s $groups ]]; then
    "$build/bench/tavrin_gen" taxonomy 100000 "$groups" "$data/taxonomy-tree.nwk" >/dev/null
fi
reversed=$data/taxonomy-groups-reversed.txt
[[ -s $reversed && $reversed -nt $groups ]] || tac "$groups" >"$reversed"
lineages=$data/lineage-groups.txt
[[ -s $lineages ]] || awk 'BEGIN { for (s = 0; s < 20000; s++)
    printf "Genus%d Sp%d\nMetazoa Genus%d\nOpisthokonta Metazoa\nEukaryota Opisthokonta\n", s, s, s }' \
    >"$lineages"
tree=$data/taxonomy-small.nwk
echo '(((Taxon0-a,Taxon0-b)90,(Taxon1-a,Taxon1-b)80)70,((Taxon2-a,Taxon2-b)60,Taxon3-a)50);' >"$tree"

# One run's "wall processor" seconds.
timed_load() { # program group_file
    timed "$1" --groupFile "$2" Taxon0 "$tree"
}

{
    echo "| group file | reference: wall, processor | this build: wall, processor | ratio (wall, processor) | warnings |"
    echo "|---|---:|---:|---:|---:|"
    for input in "$groups" "$reversed" "$lineages"; do
        if [[ $input != "$lineages" ]] && ! cmp -s <("$reference" --groupFile "$input" Taxon0 "$tree" 2>/dev/null) \
            <("$build/Tavrin" --groupFile "$input" Taxon0 "$tree" 2>/dev/null); then
            echo "the rows differ from the reference's on $input" >&2
            exit 1
        fi
        warnings=$("$build/Tavrin" --groupFile "$input" Taxon0 "$tree" 2>&1 >/dev/null |
            grep -c '^Warning: ' || true)
        work=$(mktemp -d)
        for ((round = 0; round < runs; round++)); do
            # A refusal (status 15) is timed as well.
            timed_load "$reference" "$input" >>"$work/reference" || true
            timed_load "$build/Tavrin" "$input" >>"$work/build" || true
        done
        rw=$(median 1 <"$work/reference")
        rc=$(median 2 <"$work/reference")
        bw=$(median 1 <"$work/build")
        bc=$(median 2 <"$work/build")
        awk -v s="$(basename "$input")" -v rw="$rw" -v rc="$rc" -v bw="$bw" -v bc="$bc" \
            -v w="$warnings" 'BEGIN {
            printf "| %s | %.2f s, %.2f s | %.2f s, %.2f s | %.2f, %.2f | %d lines |\n",
                s, rw, rc, bw, bc, bw / rw, bc / rc, w }'
        rm -rf "$work"
    done
} | tee "$out_dir/group_file_load.md"
