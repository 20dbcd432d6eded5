#!/usr/bin/env bash
# Reading NEXUS tree files against the same trees as plain Newick: 10,000 trees of 100 leaves,
# as MrBayes writes its sampled trees (a TRANSLATE table, no supports) and with the supports in
# attribute comments (read with --support-attribute prob). First in one process (the reading
# alone, tavrin_bench_nexus), then as whole Tavrin runs (reading, searching, one row per tree,
# the report to /dev/null), the NEXUS file also gzip-compressed and on standard input.
#
# usage: bench/bench_nexus.sh [--runs N] [--build DIR]
#   --runs N     timed runs of each whole run (default 5), interleaved
#   --build DIR  where this checkout is built, Release (default build-bench, configured here)
# Whole runs are timed by /usr/bin/time (10 ms resolution, wall time).
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
runs=5
bench_prepare_runs "${BASH_SOURCE[0]}" "$@"
bench_build tavrin_bench_nexus
data=$root/bench/data/nexus
mkdir -p "$data"

echo "### Reading alone (tavrin_bench_nexus, medians of 9 rounds)"
echo
"$build/bench/tavrin_bench_nexus" 10000 100 9 "$data"
gzip -c "$data/sampled.nex" >"$data/sampled.nex.gz"

# seconds <argument>...: the wall time of one Tavrin --standard-newick run.
seconds() { timed "$build/Tavrin" --standard-newick "$@" | cut -d' ' -f1; }

declare -A times
cases=(sampled.nwk sampled.nex sampled.nex.gz stdin supported.nwk supported.nex)
for ((r = 0; r < runs; r++)); do
    for c in "${cases[@]}"; do
        case $c in
            stdin) t=$(seconds Choano - <"$data/sampled.nex") ;;
            supported.nex) t=$(seconds --support-attribute prob Choano "$data/$c") ;;
            *) t=$(seconds Choano "$data/$c") ;;
        esac
        times[$c]+="$t"$'\n'
    done
done
med() { printf '%s' "${times[$1]}" | median; }
echo
echo "### Whole runs (Tavrin --standard-newick Choano FILE >/dev/null, medians of $runs)"
echo
echo "| file | time | against the plain Newick file |"
echo "|---|---:|---:|"
for c in "${cases[@]}"; do
    base=sampled.nwk
    [[ $c == supported.* ]] && base=supported.nwk
    printf '| %s | %.3f s | %.2f |\n' "$c" "$(med "$c")" \
        "$(echo "scale=4; $(med "$c") / $(med $base)" | bc)"
done
