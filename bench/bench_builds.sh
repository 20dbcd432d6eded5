#!/usr/bin/env bash
# Sets two Tavrin binaries side by side on the 10^6-leaf balanced tree and ladder (caterpillar):
# the report (`Tavrin Choano FILE`) and `Tavrin --table --root midpoint Choano FILE`. For each
# run: the instructions counted by callgrind (one run each, noise-proof) and the fastest of
# alternating timed runs (wall and processor seconds), with the ratio new / reference.
#
# usage: bench/bench_builds.sh REF_TAVRIN NEW_TAVRIN [--runs N] [--build DIR]
#   REF_TAVRIN, NEW_TAVRIN  the two binaries
#   --runs N     timed runs of each binary, alternating (default 7)
#   --build DIR  a configured build whose tavrin_gen makes the trees (default build-bench)
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/bench/common.sh"
[[ $# -ge 2 ]] || { bench_other_option --help "${BASH_SOURCE[0]}"; }
ref=$(realpath "$1") new=$(realpath "$2")
shift 2
runs=7
bench_prepare_runs "${BASH_SOURCE[0]}" "$@"
command -v valgrind >/dev/null || { echo "valgrind is missing: apt-get install valgrind" >&2; exit 1; }

instructions() { # binary args...
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
        awk '/Collected :/ { print $4 }'
}
fastest() { # column
    cut -d' ' -f"$1" | sort -g | head -1
}

echo "| input | command | instructions: reference, new (ratio) | fastest wall s: reference, new (ratio) | fastest processor s: reference, new (ratio) |"
echo "| --- | --- | --- | --- | --- |"
for shape in balanced caterpillar; do
    file=$(generated "$shape")
    for mode in report table; do
        args=(Choano "$file")
        [[ $mode == report ]] || args=(--table --root midpoint Choano "$file")
        ri=$(instructions "$ref" "${args[@]}")
        ni=$(instructions "$new" "${args[@]}")
        rt=() nt=()
        for ((i = 0; i < runs; i++)); do
            rt+=("$(timed "$ref" "${args[@]}")")
            nt+=("$(timed "$new" "${args[@]}")")
        done
        rw=$(printf '%s\n' "${rt[@]}" | fastest 1) rc=$(printf '%s\n' "${rt[@]}" | fastest 2)
        nw=$(printf '%s\n' "${nt[@]}" | fastest 1) nc=$(printf '%s\n' "${nt[@]}" | fastest 2)
        awk -v s="$shape" -v m="${args[*]:0:${#args[@]}-1} FILE" -v ri="$ri" -v ni="$ni" \
            -v rw="$rw" -v nw="$nw" -v rc="$rc" -v nc="$nc" 'BEGIN {
            printf "| %s 10^6 | `%s` | %.0f, %.0f (%.4f) | %.2f, %.2f (%.2f) | %.2f, %.2f (%.2f) |\n",
                s, m, ri, ni, ni / ri, rw, nw, nw / rw, rc, nc, (rc > 0 ? nc / rc : 1) }'
    done
done
