#!/usr/bin/env bash
# Big trees against a reference build and against the floor, each figure measured side by side
# in one run: the 10^6-leaf balanced tree and ladder (`tavrin_gen balanced|caterpillar 1000000`,
# target Choano) and 10,000 gene trees (the 105 of bench/genes copied round robin). Prints a
# markdown report (also written to bench/out/big_trees.md):
#
#   - instructions (callgrind, which the load of a shared machine does not move) of this build
#     over the reference, in report mode (`Choano FILE`) and with
#     `--table --root midpoint --sister-purity 0.8 Choano FILE`;
#   - wall time over the floor (tavrin_floor: the file read whole, its parentheses counted) in
#     the same two modes, each Tavrin run between runs of the other programs, fastest of N;
#     the reference's too; and the floor's system time, which a machine slow at handing out
#     fresh pages inflates (the floor takes small pages, Tavrin large ones where it can); and
#     wall time over the floor run with glibc's malloc on huge pages (GLIBC_TUNABLES
#     glibc.malloc.hugetlb=1, glibc 2.35 on; older ones ignore it): the same program with
#     Tavrin's page policy, so that a machine slow with small pages does not flatter Tavrin;
#   - peak resident memory of both builds (the least of the runs);
#   - `--table --root Absent,midpoint` over `--table` (no leaf is an Absent one: the list falls
#     through to the midpoint), wall time fastest of N and instructions, both builds;
#   - 10,000 gene trees, `--threads 1 --table --root midpoint --outliers 2 --groupFile
#     bench/genes/groups.txt Choano`: user time, fastest of N, this build over the reference;
#   - growth from 10^5 to 10^6 leaves in report mode: instructions and fastest wall time.
#
# usage: bench/bench_big_trees.sh --ref BINARY [--runs N] [--build DIR] [--no-callgrind]
#   --ref BINARY     the reference Tavrin (the build the figures are set against)
#   --runs N         rounds of the timed runs (default 7); the fastest is shown
#   --build DIR      a Release build directory to use instead of building build-bench
#   --no-callgrind   skip the instruction counts (they take a few minutes)
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
runs=7
ref=""
callgrind=1
rest=()
while [[ $# -gt 0 ]]; do
    case $1 in
        --ref) ref=$(cd "$(dirname "${2:?--ref needs a binary}")" && pwd)/$(basename "$2"); shift ;;
        --no-callgrind) callgrind=0 ;;
        *) rest+=("$1") ;;
    esac
    shift
done
bench_prepare_runs "${BASH_SOURCE[0]}" ${rest[@]+"${rest[@]}"}
[[ -n $ref && -x $ref ]] || { echo "--ref needs an executable Tavrin" >&2; exit 2; }
cmake --build "$build" -j2 --target tavrin_floor >/dev/null
if [[ $callgrind -eq 1 ]] && ! command -v valgrind >/dev/null; then
    echo "valgrind is missing: run with --no-callgrind" >&2
    exit 1
fi
new=$build/Tavrin
floor=$build/bench/tavrin_floor

small() { # shape: the 10^5-leaf tree of that shape
    local file=$data/$1-100000.nwk
    [[ -s $file ]] || "$build/bench/tavrin_gen" "$1" 100000 "$file" >/dev/null
    echo "$file"
}
genes=$(gene_copies)
gene_args=(--threads 1 --table --root midpoint --outliers 2 --groupFile "$root/bench/genes/groups.txt"
    Choano)

# One run: "wall user peak_kb system" (output discarded); wall to the microsecond, since the floor
# takes a few hundredths of a second.
measure() {
    local t0=$EPOCHREALTIME rest
    rest=$(/usr/bin/time -f '%U %M %S' "$@" 2>&1 >/dev/null | tail -1)
    awk -v a="$t0" -v b="$EPOCHREALTIME" -v rest="$rest" 'BEGIN { printf "%.4f %s\n", b - a, rest }'
}
# Instructions of one run under callgrind.
instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
        sed -n 's/.*Collected : //p'
}
least() { cut -d' ' -f"$1" | sort -g | head -1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.0f", k / 1024 }'; }

declare -A runs_of  # "label" -> lines "wall user kb"
# rounds LABEL=COMMAND...: `runs` rounds, each running every command once in the order given.
rounds() {
    local pair _
    for pair in "$@"; do runs_of[${pair%%=*}]=""; done
    for _ in $(seq "$runs"); do
        for pair in "$@"; do
            runs_of[${pair%%=*}]+="$(eval "measure ${pair#*=}")"$'\n'
        done
    done
}
fastest() { printf '%s' "${runs_of[$1]}" | least "${2:-1}"; }
peak() { printf '%s' "${runs_of[$1]}" | least 3; }
# The system time of the run with the least wall time.
system_of_fastest() { printf '%s' "${runs_of[$1]}" | sort -g -k1,1 | head -1 | cut -d' ' -f4; }

{
echo "- date: $(date -u '+%Y-%m-%d %H:%M UTC'); machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "- this build: $new; reference: $ref; $runs rounds, fastest shown"
echo
echo "### The 10^6-leaf trees: this build against the reference and the floor"
echo
echo "| tree, mode | instructions: this / ref | wall: this / floor | wall: ref / floor | peak: this, ref | floor: system time of its fastest run | wall: this / floor on huge pages |"
echo "|---|---:|---:|---:|---:|---:|---:|"
for shape in balanced caterpillar; do
    file=$(generated "$shape")
    for mode in report table; do
        args=(Choano "$file")
        [[ $mode == table ]] && args=(--table --root midpoint --sister-purity 0.8 Choano "$file")
        q=$(printf '%q ' "${args[@]}")
        rounds "new=$new $q" "floor=$floor $(printf '%q' "$file")" "ref=$ref $q" \
            "hfloor=env GLIBC_TUNABLES=glibc.malloc.hugetlb=1 $floor $(printf '%q' "$file")"
        ir="-"
        if [[ $callgrind -eq 1 ]]; then
            ir=$(ratio "$(instructions "$new" "${args[@]}")" "$(instructions "$ref" "${args[@]}")")
        fi
        f=$(fastest floor)
        echo "| $shape, $mode | $ir | $(ratio "$(fastest new)" "$f") ($(fastest new) s / $f s) | $(ratio "$(fastest ref)" "$f") | $(mib "$(peak new)") MiB, $(mib "$(peak ref)") MiB | $(system_of_fastest floor) s | $(ratio "$(fastest new)" "$(fastest hfloor)") ($(fastest hfloor) s) |"
    done
done
echo
echo "### \`--table --root Absent,midpoint\` over \`--table\`"
echo
echo "| tree | this: wall | this: instructions | ref: wall | ref: instructions |"
echo "|---|---:|---:|---:|---:|"
for shape in balanced caterpillar; do
    file=$(printf '%q' "$(generated "$shape")")
    rounds "new_plain=$new --table Choano $file" "new_list=$new --table --root Absent,midpoint Choano $file" \
        "ref_plain=$ref --table Choano $file" "ref_list=$ref --table --root Absent,midpoint Choano $file"
    cells=""
    for b in new ref; do
        binary=$new
        [[ $b == ref ]] && binary=$ref
        ir="-"
        if [[ $callgrind -eq 1 ]]; then
            ir=$(ratio "$(instructions "$binary" --table --root Absent,midpoint Choano "$(generated "$shape")")" \
                "$(instructions "$binary" --table Choano "$(generated "$shape")")")
        fi
        cells+=" $(ratio "$(fastest ${b}_list)" "$(fastest ${b}_plain)") | $ir |"
    done
    echo "| $shape |$cells"
done
echo
echo "### 10,000 gene trees, one thread: user time"
echo
q=$(printf '%q ' "${gene_args[@]}")
rounds "new=$new $q $genes/*.nwk" "ref=$ref $q $genes/*.nwk"
echo "| this | ref | this / ref |"
echo "|---:|---:|---:|"
echo "| $(fastest new 2) s | $(fastest ref 2) s | $(ratio "$(fastest new 2)" "$(fastest ref 2)") |"
echo
echo "### Growth from 10^5 to 10^6 leaves, report mode (this build)"
echo
echo "| tree | instructions 10^6 / 10^5 | wall 10^6 / 10^5 |"
echo "|---|---:|---:|"
for shape in balanced caterpillar; do
    big=$(generated "$shape")
    little=$(small "$shape")
    rounds "big=$new Choano $(printf '%q' "$big")" "little=$new Choano $(printf '%q' "$little")"
    ir="-"
    if [[ $callgrind -eq 1 ]]; then
        ir=$(ratio "$(instructions "$new" Choano "$big")" "$(instructions "$new" Choano "$little")")
    fi
    echo "| $shape | $ir | $(ratio "$(fastest big)" "$(fastest little)") |"
done
} | tee "$out_dir/big_trees.md"
