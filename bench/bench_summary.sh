#!/usr/bin/env bash
# Times Tavrin-summary on generated Tavrin reports and tables of 10^5 and 10^6 trees and prints a
# markdown report (also written to bench/out/summary.md).
#
# usage: bench/bench_summary.sh [--runs N] [--compare BINARY]
#   --runs N          timed runs per case (default 5); the median is shown
#   --compare BINARY  another Tavrin-summary (an older commit's build) timed in the same rounds
#
# The inputs are generated deterministically (awk, no random source) into bench/data/:
#   typical   every tree names one of 40 sisters, a third of them a second one; 1 in 10 trees has
#             no row (clade not found); supports vary, 1 in 8 is n/a
#   distinct  every tree names a sister of its own: one table line per tree, the most the hash
#             table and the sort ever hold
#   table     a per-tree table (Tavrin --table) of two labelled runs and two targets, statuses,
#             sisters and supports varied; summarised with --html (a page of the first 100,000
#             rows) besides the chart
# Each case is timed side by side with `cat FILE > /dev/null` and `wc -l FILE` on the same file,
# so the ratios stay meaningful on a busy machine.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
# shellcheck source=tests/support/tables.sh
source "$root/tests/support/tables.sh"
build=$root/build-bench
data=$root/bench/data
out_dir=$root/bench/out
runs=5
compare=
while [[ $# -gt 0 ]]; do
    case $1 in
        --runs)
            runs=${2:?--runs needs a number}
            shift
            ;;
        --compare)
            compare=${2:?--compare needs a binary}
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

echo "building Release in $build" >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target Tavrin-summary >/dev/null
summary=$build/Tavrin-summary
mkdir -p "$data" "$out_dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# generate KIND TREES FILE
generate() {
    local kind=$1 trees=$2 file=$3
    [[ -s $file && $file -nt ${BASH_SOURCE[0]} ]] && return
    echo "generating $file" >&2
    if [[ $kind == table ]]; then
        labelled_tables "$trees" >"$file.tmp"
    else
        generate_report "$kind" "$trees" >"$file.tmp"
    fi
    mv "$file.tmp" "$file"
}

generate_report() { # kind trees
    awk -v kind="$1" -v trees="$2" 'BEGIN {
        for (i = 1; i <= trees; i++) {
            printf "genes/OG%07d.nwk:\n", i
            if (i % 10 == 0) continue                       # no sister in this tree
            h = (i * 2654435761) % 4294967296               # a fixed scramble of i
            s = (h % 8 == 0) ? "n/a" : (h % 1000) / 10      # supports 0 to 99.9, some n/a
            if (kind == "distinct") {
                printf "Choano\tSister%07d\t%s\n", i, s
                continue
            }
            printf "Choano\tClade%02d\t%s\n", h % 40, s
            if (h % 3 == 0) printf "Choano\tGroup%02d\t%s\n", (h / 40) % 12, s
        }
    }'
}

# The arguments of Tavrin-summary on an input of KIND.
arguments() { # kind
    if [[ $1 == table ]]; then
        echo "--svg $work/chart.svg --html $work/page.html"
    else
        echo "--svg $work/chart.svg"
    fi
}

# "wall cpu" of one run of "$@" in seconds (cpu: user + system, less disturbed by other work on
# the machine), output to /dev/null; a failing run stops the benchmark.
time_once() {
    local t0 t1
    t0=$EPOCHREALTIME
    /usr/bin/time -f '%U %S' -o "$work/cpu" "$@" >/dev/null 2>"$work/stderr" || {
        echo "failed: $* ($(cat "$work/stderr"))" >&2
        exit 1
    }
    t1=$EPOCHREALTIME
    awk -v a="$t0" -v b="$t1" '{ printf "%.4f %.2f\n", b - a, $1 + $2 }' "$work/cpu"
}


rows=()
declare -A seconds cpu_seconds
for kind in typical distinct table; do
    for trees in 100000 1000000; do
        file=$data/summary-$kind-$trees.tsv
        generate "$kind" "$trees" "$file"
        # shellcheck disable=SC2207
        args=($(arguments "$kind"))
        # Interleaved: one run of each command per round, so all see the same load.
        : >"$work/t_summary" && : >"$work/t_compare" && : >"$work/t_cat" && : >"$work/t_wc"
        for ((r = 0; r < runs; r++)); do
            time_once "$summary" "${args[@]}" "$file" >>"$work/t_summary"
            [[ -z $compare ]] || time_once "$compare" "${args[@]}" "$file" >>"$work/t_compare"
            time_once cat "$file" >>"$work/t_cat"
            time_once wc -l "$file" >>"$work/t_wc"
        done
        t=$(median <"$work/t_summary")
        cpu=$(median 2 <"$work/t_summary")
        c=$(median <"$work/t_cat")
        w=$(median <"$work/t_wc")
        seconds[$kind-$trees]=$t
        cpu_seconds[$kind-$trees]=$cpu
        mb=$(awk -v b="$(stat -c %s "$file")" 'BEGIN { printf "%.1f", b / 1e6 }')
        pairs=$(("$($summary "${args[@]}" "$file" 2>/dev/null | wc -l)" - 1))
        before=
        if [[ -n $compare ]]; then
            b=$(median <"$work/t_compare")
            before=" $b | $(median 2 <"$work/t_compare") | $(awk -v t="$t" -v b="$b" 'BEGIN { printf "%.2f", t / b }') |"
        fi
        rows+=("| $kind | $trees | $mb | $pairs | $t | $cpu |$before $c | $w | $(awk -v t="$t" -v w="$w" 'BEGIN { printf "%.1f", t / w }') |")
    done
done

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
mem=$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
compiler=$("$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")" --version | head -1)
{
    echo "## Tavrin-summary (\`bench/bench_summary.sh\`)"
    echo
    echo "- date: $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "- machine: $cpu, $(nproc) cores, $mem, Linux $(uname -r)"
    echo "- build: $compiler, CMAKE_BUILD_TYPE=Release (build-bench)"
    echo "- time: median wall time (and median CPU time, user + system) of $runs runs of \`Tavrin-summary --svg chart.svg REPORT\` (tables: \`--svg chart.svg --html page.html TABLE\`), table to /dev/null; cat and wc -l timed in the same rounds on the same file"
    if [[ -n $compare ]]; then
        echo "- before: \`$compare\`, timed in the same rounds with the same arguments; ratio = this build / before"
        echo
        echo "| input | trees | MB | table lines | Tavrin-summary s | its CPU s | before s | its CPU s | ratio | cat s | wc -l s | x wc -l |"
        echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
    else
        echo
        echo "| input | trees | MB | table lines | Tavrin-summary s | its CPU s | cat s | wc -l s | x wc -l |"
        echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|"
    fi
    printf '%s\n' "${rows[@]}"
    echo
    for kind in typical distinct table; do
        echo "Growth from 10^5 to 10^6 trees, $kind: wall x$(awk -v a="${seconds[$kind-100000]}" -v b="${seconds[$kind-1000000]}" 'BEGIN { printf "%.1f", b / a }'), CPU x$(awk -v a="${cpu_seconds[$kind-100000]}" -v b="${cpu_seconds[$kind-1000000]}" 'BEGIN { printf "%.1f", b / a }') (linear: 10)."
    done
} | tee "$out_dir/summary.md"
