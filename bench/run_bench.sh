#!/usr/bin/env bash
# Builds Tavrin (Release) in build-bench, generates the benchmark inputs into bench/data/ and
# times Tavrin on them. Prints a markdown report and writes it to bench/out/latest.md.
#
# usage: bench/run_bench.sh [--quick] [--runs N]
#   --quick   trees of 10^4 and 10^5 leaves only, 1,000 gene trees instead of 10,000, and ete3
#             on trees of at most 10^4 leaves
#   --runs N  timed runs per case (default 5 for inputs under 10 MB, 3 above); the median is shown
#
# For each case: the median wall time of the runs, the peak resident memory of one more run
# under /usr/bin/time -v, MB/s (input bytes / median time), bytes of peak memory per tree node,
# and, for comparison on the same input, the median time of `cat FILE > /dev/null` and of a
# one-pass character scan (`wc -w`). When python3 can import ete3, the same job scripted with
# ete3 (bench/ete3_job.py) is timed once on trees of at most 10^5 leaves.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-bench
data=$root/bench/data
out_dir=$root/bench/out

quick=0
runs_override=""
while [[ $# -gt 0 ]]; do
    case $1 in
        --quick) quick=1 ;;
        --runs)
            runs_override=${2:?--runs needs a number}
            shift
            ;;
        -h | --help)
            awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "${BASH_SOURCE[0]}"
            exit 0
            ;;
        *)
            echo "unknown option: $1" >&2
            exit 2
            ;;
    esac
    shift
done

if [[ $quick -eq 1 ]]; then
    sizes=(10000 100000)
    gene_count=1000
    ete3_max_leaves=10000
else
    sizes=(10000 100000 1000000)
    gene_count=10000
    ete3_max_leaves=100000
fi
group_lines=100000
ete3_timeout=120

# ---------------------------------------------------------------- tools and build
if [[ ! -x /usr/bin/time ]]; then
    if [[ $(id -u) -eq 0 ]]; then
        echo "installing the Debian package 'time' for /usr/bin/time" >&2
        apt-get install -y time >/dev/null || { apt-get update >/dev/null && apt-get install -y time >/dev/null; }
    else
        echo "/usr/bin/time is missing: apt-get install time" >&2
        exit 1
    fi
fi

echo "building Release in $build" >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target Tavrin tavrin_gen tavrin_bench_groups >/dev/null
tavrin=$build/Tavrin
gen=$build/bench/tavrin_gen

python=""
for candidate in python3 /usr/bin/python3; do
    if command -v "$candidate" >/dev/null 2>&1 && "$candidate" -c 'import ete3' >/dev/null 2>&1; then
        python=$(command -v "$candidate")
        break
    fi
done

mkdir -p "$data" "$out_dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ---------------------------------------------------------------- data
# Files are regenerated when missing or older than the generator.
fresh() { [[ -s $1 && $1 -nt $gen ]]; }

declare -A prefix_of  # data file -> search prefix
generate() {          # kind n file
    local kind=$1 n=$2 file=$3
    if ! fresh "$file" || ! fresh "$file.info"; then
        "$gen" "$kind" "$n" "$file" >"$file.info"
    fi
    prefix_of[$file]=$(sed -n 's/^prefix=\([^ ]*\).*/\1/p' "$file.info")
}

echo "generating data in $data" >&2
for shape in balanced caterpillar star; do
    for n in "${sizes[@]}"; do generate "$shape" "$n" "$data/$shape-$n.nwk"; done
done
fresh "$data/groups.txt" || "$gen" groups "$data/groups.txt"

genes_dir=$data/genes-$gene_count
if ! fresh "$genes_dir/files.txt"; then
    rm -rf "$genes_dir"
    mkdir -p "$genes_dir"
    "$gen" genes "$gene_count" "$genes_dir" >"$genes_dir/info"
fi
mapfile -t gene_files <"$genes_dir/files.txt"

taxonomy_groups=$data/taxonomy-groups.txt
taxonomy_tree=$data/taxonomy-tree.nwk
if ! fresh "$taxonomy_tree" || ! fresh "$data/taxonomy.info"; then
    "$gen" taxonomy "$group_lines" "$taxonomy_groups" "$taxonomy_tree" >"$data/taxonomy.info"
fi
taxonomy_prefix=$(sed -n 's/^prefix=\([^ ]*\).*/\1/p' "$data/taxonomy.info")
taxonomy_pairs=$(sed -n 's/.*closure_pairs=\([0-9]*\).*/\1/p' "$data/taxonomy.info")
taxonomy_levels=$(sed -n 's/.*levels=\([0-9]*\).*/\1/p' "$data/taxonomy.info")
# A small tree over the first prefixes: the run is then mostly the loading of the group file.
taxonomy_small=$data/taxonomy-small.nwk
echo '(((Taxon0-a,Taxon0-b)90,(Taxon1-a,Taxon1-b)80)70,((Taxon2-a,Taxon2-b)60,Taxon3-a)50);' >"$taxonomy_small"

# ---------------------------------------------------------------- measuring
# Wall time of one run of "$@" in seconds, stdout to $run_out (or $time_stdout when set), stderr
# to $run_err. The exit
# status is appended to $statuses: the timing runs happen in subshells, so no variable would do.
run_out=$work/stdout
run_err=$work/stderr
statuses=$work/statuses
time_once() {
    local t0 t1 status=0
    t0=$EPOCHREALTIME
    "$@" >"${time_stdout:-$run_out}" 2>"$run_err" || status=$?
    t1=$EPOCHREALTIME
    echo "$status" >>"$statuses"
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f\n", b - a }'
}

# The first non-zero status recorded since the last call, or 0; clears the record.
take_status() {
    local status
    status=$(grep -v -m1 '^0$' "$statuses" 2>/dev/null || true)
    : >"$statuses"
    echo "${status:-0}"
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.6f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

runs_for() { # bytes
    if [[ -n $runs_override ]]; then
        echo "$runs_override"
    elif (($1 < 10000000)); then
        echo 5
    else
        echo 3
    fi
}

# Median wall time of `runs` runs of "$@".
median_time() {
    local runs=$1 i
    shift
    for ((i = 0; i < runs; i++)); do time_once "$@"; done | median
}

# Peak resident set size in kB of one run of "$@" (that run also warms the page cache).
peak_rss_kb() {
    /usr/bin/time -v -o "$work/time.txt" "$@" >"$run_out" 2>"$run_err" || true
    sed -n 's/.*Maximum resident set size (kbytes): *//p' "$work/time.txt"
}

fmt() { awk -v v="$1" -v f="$2" 'BEGIN { printf f, v }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.1f", a / b; else print "-" }'; }

rows_table=()
declare -A tavrin_time  # "shape-n" -> median seconds

# Arguments: case label, working directory, input bytes, tree nodes, nodes held at once (0 when
# that is not one tree, so bytes/node is not shown), files for the references (relative to the
# working directory, space-separated), "yes" or the reason ete3 is skipped, then Tavrin's arguments.
measure() {
    local label=$1 dir=$2 bytes=$3 nodes=$4 rss_nodes=$5 refs=$6 ete3_ok=$7
    shift 7
    local runs rss t notes cat_t wc_t ete3_col per_node mbps
    runs=$(runs_for "$bytes")
    echo "  $label ($runs runs)" >&2
    pushd "$dir" >/dev/null
    rss=$(peak_rss_kb "$tavrin" "$@")
    take_status >/dev/null
    t=$(median_time "$runs" "$tavrin" "$@")
    local status
    status=$(take_status)
    if [[ $status -ne 0 ]]; then
        notes="exit status $status: $(head -c 200 "$run_err" | tr '\n' ' ')"
    else
        local row_count header_count not_found
        header_count=$(grep -c ':$' "$run_out" || true)
        row_count=$(($(wc -l <"$run_out") - header_count))
        not_found=$(grep -c 'CLADE NOT FOUND' "$run_err" || true)
        notes="$row_count rows"
        [[ $not_found -gt 0 ]] && notes+=", $not_found not found"
        [[ $row_count -le 4 ]] && notes+=": $(grep -v ':$' "$run_out" | cut -f2,3 | tr '\t\n' '= ' | sed 's/ $//')"
    fi
    # Reference points on the same bytes.
    local -a ref_files
    read -r -a ref_files <<<"$refs"
    cat_t=$(time_stdout=/dev/null median_time "$runs" cat "${ref_files[@]}")
    wc_t=$(time_stdout=/dev/null median_time "$runs" wc -w "${ref_files[@]}")
    take_status >/dev/null
    # The same job with ete3.
    if [[ -z $python ]]; then
        ete3_col="not installed"
    elif [[ $ete3_ok != yes ]]; then
        ete3_col="skipped ($ete3_ok)"
    else
        local e
        e=$(time_once timeout "$ete3_timeout" "$python" "$root/bench/ete3_job.py" "$@")
        status=$(take_status)
        if [[ $status -eq 0 ]]; then
            ete3_col="$(fmt "$e" %.3f) s ($(ratio "$e" "$t")x)"
        else
            if [[ $status -eq 124 ]]; then
                ete3_col="over $ete3_timeout s"
            else
                ete3_col="failed (status $status)"
            fi
        fi
    fi
    popd >/dev/null
    mbps=$(awk -v b="$bytes" -v t="$t" 'BEGIN { if (t > 0) printf "%.0f", b / 1e6 / t; else print "-" }')
    per_node=$(awk -v k="$rss" -v n="$rss_nodes" 'BEGIN { if (n > 0) printf "%.0f", k * 1024 / n; else print "-" }')
    rows_table+=("| $label | $(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1e6 }') | $nodes | $(fmt "$t" %.4f) | $mbps | $(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }') | $per_node | $(fmt "$cat_t" %.4f) | $(fmt "$wc_t" %.4f) | $ete3_col | $notes |")
    last_median=$t
}

echo "measuring" >&2
for shape in balanced caterpillar star; do
    for n in "${sizes[@]}"; do
        file=$data/$shape-$n.nwk
        bytes=$(stat -c %s "$file")
        ete3_ok=yes
        ((n > ete3_max_leaves)) && ete3_ok="over $ete3_max_leaves leaves"
        measure "$shape $n" "$data" "$bytes" $((2 * n - 1)) $((2 * n - 1)) "$(basename "$file")" "$ete3_ok" \
            "${prefix_of[$file]}" "$(basename "$file")"
        tavrin_time[$shape-$n]=$last_median
    done
done

# End to end with a group file on the largest balanced and caterpillar trees.
big=${sizes[-1]}
for shape in balanced caterpillar; do
    file=$data/$shape-$big.nwk
    measure "$shape $big + groups" "$data" "$(stat -c %s "$file")" $((2 * big - 1)) $((2 * big - 1)) "$(basename "$file")" \
        "over $ete3_max_leaves leaves" --groupFile groups.txt Choano "$(basename "$file")"
done

genes_bytes=$(cat "${gene_files[@]/#/$genes_dir/}" | wc -c)
genes_leaves=$(cat "${gene_files[@]/#/$genes_dir/}" | tr -cd ',' | wc -c)
genes_leaves=$((genes_leaves + gene_count))
measure "$gene_count gene trees + groups" "$genes_dir" "$genes_bytes" $((2 * genes_leaves - gene_count)) 0 \
    "${gene_files[*]}" yes --groupFile groups.txt Choano "${gene_files[@]}"

measure "group file $group_lines lines, small tree" "$data" "$(stat -c %s "$taxonomy_groups")" 13 0 \
    "$(basename "$taxonomy_groups")" yes --groupFile "$(basename "$taxonomy_groups")" Taxon0 \
    "$(basename "$taxonomy_small")"
tax_leaves=$(sed -n 's/.*leaves=\([0-9]*\).*/\1/p' "$data/taxonomy.info")
measure "group file $group_lines lines, $tax_leaves-leaf tree" "$data" \
    $(($(stat -c %s "$taxonomy_groups") + $(stat -c %s "$taxonomy_tree"))) $((2 * tax_leaves - 1)) $((2 * tax_leaves - 1)) \
    "$(basename "$taxonomy_groups") $(basename "$taxonomy_tree")" yes \
    --groupFile "$(basename "$taxonomy_groups")" "$taxonomy_prefix" "$(basename "$taxonomy_tree")"

# ---------------------------------------------------------------- report
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
mem=$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
compiler=$("$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")" --version | head -1)
{
    echo "# Tavrin benchmark"
    echo
    echo "- date: $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "- machine: $cpu, $(nproc) cores, $mem, Linux $(uname -r)"
    echo "- build: $compiler, CMAKE_BUILD_TYPE=Release (build-bench)"
    echo "- command: bench/run_bench.sh$([[ $quick -eq 1 ]] && echo ' --quick')$([[ -n $runs_override ]] && echo " --runs $runs_override")"
    echo "- time: median wall time of ${runs_override:-5 runs (3 for inputs over 10 MB)}${runs_override:+ run(s)}, standard output to a file; peak RSS: one more run under /usr/bin/time -v"
    echo "- MB/s: input bytes / median time; bytes/node: peak RSS / nodes of the tree (2 x leaves - 1), not shown where files are analysed one at a time"
    echo "- ete3: bench/ete3_job.py, one run, on trees of at most $ete3_max_leaves leaves, time limit $ete3_timeout s; x Tavrin = ete3 time / Tavrin time"
    echo "- references on the same input: cat FILE > /dev/null, and wc -w as a one-pass character scan"
    echo "- group file: $group_lines lines, smallest groups first, $taxonomy_levels levels, $taxonomy_pairs pairs after closure"
    echo
    echo "| case | MB | nodes | Tavrin s | MB/s | peak RSS MB | bytes/node | cat s | wc -w s | ete3 (x Tavrin) | output |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---|---|"
    printf '%s\n' "${rows_table[@]}"
    small=${sizes[-2]}
    echo
    echo "Growth of the median time from $small to $big leaves (linear scaling gives about 10):"
    echo
    echo "| shape | $small s | $big s | ratio |"
    echo "|---|---:|---:|---:|"
    for shape in balanced caterpillar star; do
        a=${tavrin_time[$shape-$small]}
        b=${tavrin_time[$shape-$big]}
        echo "| $shape | $(fmt "$a" %.4f) | $(fmt "$b" %.4f) | $(ratio "$b" "$a") |"
    done
} | tee "$out_dir/latest.md"
