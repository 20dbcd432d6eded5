#!/usr/bin/env bash
# Builds Tavrin (Release) in build-bench, generates the benchmark inputs into bench/data/ and
# times Tavrin on them. Prints a markdown report and writes it to bench/out/latest.md.
#
# usage: bench/run_bench.sh [--quick] [--runs N] [--compare LABEL=BINARY]...
#   --quick    trees of 10^4 and 10^5 leaves only, 1,000 gene trees instead of 10,000, and ete3
#              on trees of at most 10^4 leaves
#   --runs N   timed runs per case (default 5 for inputs under 10 MB, 3 above); the median is shown
#   --compare LABEL=BINARY
#              also time another Tavrin binary (an older commit, a build with other options) on
#              every case, in the same runs, and check that it prints the same bytes
#
# For each case: the median wall time of the runs, the peak resident memory of one more run
# under /usr/bin/time -v, MB/s (input bytes / median time), bytes of peak memory per tree node,
# and, on the same input, the median time of the floor (tavrin_floor: read each file whole and
# count its parentheses in one pass) and of `cat FILES > /dev/null`. Every run of a case times
# Tavrin, the compared binaries, the floor and cat one after another, so that the load of a
# shared machine falls on all of them alike; times are given as ratios to the floor and to cat.
# When python3 can import ete3, the same job scripted with ete3 (bench/ete3_job.py) is timed
# once on trees of at most 10^5 leaves.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
build=$root/build-bench
data=$root/bench/data
out_dir=$root/bench/out

quick=0
runs_override=""
compare_labels=()
compare_bins=()
while [[ $# -gt 0 ]]; do
    case $1 in
        --quick) quick=1 ;;
        --runs)
            runs_override=${2:?--runs needs a number}
            shift
            ;;
        --compare)
            pair=${2:?--compare needs LABEL=BINARY}
            [[ $pair == *=* ]] || { echo "--compare needs LABEL=BINARY" >&2; exit 2; }
            compare_labels+=("${pair%%=*}")
            compare_bins+=("$(cd "$(dirname "${pair#*=}")" && pwd)/$(basename "${pair#*=}")")
            [[ -x ${compare_bins[-1]} ]] || { echo "not an executable: ${pair#*=}" >&2; exit 2; }
            shift
            ;;
        *) bench_other_option "$1" "${BASH_SOURCE[0]}" ;;
    esac
    shift
done

if [[ $quick -eq 1 ]]; then
    sizes=(10000 100000)
    gene_count=1000
    ete3_max_leaves=10000
    many_small=20
else
    sizes=(10000 100000 1000000)
    gene_count=10000
    ete3_max_leaves=100000
    many_small=100
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
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target Tavrin tavrin_gen tavrin_bench_groups tavrin_floor >/dev/null
tavrin=$build/Tavrin
gen=$build/bench/tavrin_gen
floor=$build/bench/tavrin_floor

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


runs_for() { # bytes
    if [[ -n ${force_runs:-} ]]; then
        echo "$force_runs"
    elif [[ -n $runs_override ]]; then
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
ratio2() { awk -v a="$1" -v b="$2" 'BEGIN { if (a != "" && b > 0) printf "%.2f", a / b; else print "" }'; }

rows_table=()
declare -A tavrin_time  # "shape-n" -> median seconds; "shape-n/k" for compared binary k
declare -A case_value   # named figures for the targets at the end

# Arguments: case label, working directory, input bytes, tree nodes, nodes held at once (0 when
# that is not one tree, so bytes/node is not shown), files for the references (relative to the
# working directory, space-separated), "yes" or the reason ete3 is skipped, then Tavrin's arguments.
# Sets last_median, last_floor, last_cat, last_rss_kb, last_ete3 (seconds, or empty) and
# compare_median[k].
declare -a compare_median compare_rss_kb
measure() {
    local label=$1 dir=$2 bytes=$3 nodes=$4 rss_nodes=$5 refs=$6 ete3_ok=$7
    shift 7
    local runs rss t notes cat_t floor_t ete3_col per_node mbps i k status
    runs=$(runs_for "$bytes")
    echo "  $label ($runs runs)" >&2
    pushd "$dir" >/dev/null
    local -a ref_files
    read -r -a ref_files <<<"$refs"
    rss=$(peak_rss_kb "$tavrin" "$@")
    for k in "${!compare_bins[@]}"; do
        compare_rss_kb[k]=$(peak_rss_kb "${compare_bins[k]}" "$@")
    done
    take_status >/dev/null
    # Interleaved runs: Tavrin, each compared binary, the floor, cat; then again.
    rm -f "$work"/t.*
    for ((i = 0; i < runs; i++)); do
        time_once "$tavrin" "$@" >>"$work/t.main"
        for k in "${!compare_bins[@]}"; do
            run_out=$work/cmp$k.out run_err=$work/cmp$k.err time_once "${compare_bins[k]}" "$@" >>"$work/t.cmp$k"
        done
        time_stdout=/dev/null run_err=$work/ref.err time_once "$floor" "${ref_files[@]}" >>"$work/t.floor"
        time_stdout=/dev/null run_err=$work/ref.err time_once cat "${ref_files[@]}" >>"$work/t.cat"
    done
    t=$(median <"$work/t.main")
    floor_t=$(median <"$work/t.floor")
    cat_t=$(median <"$work/t.cat")
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
    local compare_cols=""
    for k in "${!compare_bins[@]}"; do
        compare_median[k]=$(median <"$work/t.cmp$k")
        local same=""
        if ! cmp -s "$work/cmp$k.out" "$run_out" || ! cmp -s "$work/cmp$k.err" "$run_err"; then
            same=" **output differs**"
            notes+="; ${compare_labels[k]}: output differs"
        fi
        compare_cols+=" $(fmt "${compare_median[k]}" %.4f) | $(ratio "${compare_median[k]}" "$floor_t") | $(awk -v k="${compare_rss_kb[k]}" 'BEGIN { printf "%.1f", k / 1024 }')$same |"
    done
    # The same job with ete3.
    last_ete3=""
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
            last_ete3=$e
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
    rows_table+=("| $label | $(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1e6 }') | $nodes | $(fmt "$floor_t" %.4f) | $(fmt "$t" %.4f) | $(ratio "$t" "$floor_t") | $mbps | $(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }') | $per_node |$compare_cols $(fmt "$cat_t" %.4f) | $(ratio "$t" "$cat_t") | $ete3_col | $notes |")
    last_median=$t
    last_floor=$floor_t
    last_cat=$cat_t
    last_rss_kb=$rss
}

echo "measuring" >&2
record() { # key: keep the figures of the case just measured
    case_value[$1.t]=$last_median
    case_value[$1.floor]=$last_floor
    case_value[$1.cat]=$last_cat
    case_value[$1.rss]=$last_rss_kb
    case_value[$1.ete3]=$last_ete3
    local k
    for k in "${!compare_bins[@]}"; do
        case_value[$1.t$k]=${compare_median[k]}
        case_value[$1.rss$k]=${compare_rss_kb[k]}
    done
}
for shape in balanced caterpillar star; do
    for n in "${sizes[@]}"; do
        file=$data/$shape-$n.nwk
        bytes=$(stat -c %s "$file")
        ete3_ok=yes
        ((n > ete3_max_leaves)) && ete3_ok="over $ete3_max_leaves leaves"
        measure "$shape $n" "$data" "$bytes" $((2 * n - 1)) $((2 * n - 1)) "$(basename "$file")" "$ete3_ok" \
            "${prefix_of[$file]}" "$(basename "$file")"
        record "$shape-$n"
    done
done

# End to end with a group file on the largest balanced and caterpillar trees.
big=${sizes[-1]}
for shape in balanced caterpillar; do
    file=$data/$shape-$big.nwk
    measure "$shape $big + groups" "$data" "$(stat -c %s "$file")" $((2 * big - 1)) $((2 * big - 1)) "$(basename "$file")" \
        "over $ete3_max_leaves leaves" --groupFile groups.txt Choano "$(basename "$file")"
done

# The same big trees with every run of a program right after the previous run of that program.
# Memory a process frees is reused by the next one only while the system still holds it: on a
# virtual machine that hands free memory back to its host, a run that follows other programs
# starts on memory the host must provide again.
declare -a back_to_back_rows
for shape in balanced caterpillar; do
    file=$data/$shape-$big.nwk
    echo "  $shape $big, back to back" >&2
    pushd "$data" >/dev/null
    rm -f "$work"/b.*
    for ((i = 0; i < 5; i++)); do time_once "$tavrin" "${prefix_of[$file]}" "$(basename "$file")" >>"$work/b.main"; done
    for ((i = 0; i < 5; i++)); do
        time_stdout=/dev/null run_err=$work/ref.err time_once "$floor" "$(basename "$file")" >>"$work/b.floor"
    done
    take_status >/dev/null
    popd >/dev/null
    b_t=$(median <"$work/b.main")
    b_floor=$(median <"$work/b.floor")
    case_value[$shape-$big.b2b]=$b_t
    case_value[$shape-$big.b2b_floor]=$b_floor
    back_to_back_rows+=("| $shape $big | $(fmt "$b_floor" %.4f) | $(fmt "$b_t" %.4f) | $(ratio2 "$b_t" "$b_floor") |")
done

genes_bytes=$(cat "${gene_files[@]/#/$genes_dir/}" | wc -c)
genes_leaves=$(cat "${gene_files[@]/#/$genes_dir/}" | tr -cd ',' | wc -c)
genes_leaves=$((genes_leaves + gene_count))
measure "$gene_count gene trees + groups" "$genes_dir" "$genes_bytes" $((2 * genes_leaves - gene_count)) 0 \
    "${gene_files[*]}" yes --groupFile groups.txt Choano "${gene_files[@]}"
record genes
measure "$gene_count gene trees, no group file" "$genes_dir" "$genes_bytes" $((2 * genes_leaves - gene_count)) 0 \
    "${gene_files[*]}" "run once, with the group file" Choano "${gene_files[@]}"

measure "group file $group_lines lines, small tree" "$data" "$(stat -c %s "$taxonomy_groups")" 13 0 \
    "$(basename "$taxonomy_groups")" yes --groupFile "$(basename "$taxonomy_groups")" Taxon0 \
    "$(basename "$taxonomy_small")"
# The same group file with many small trees: its cost should be paid once, not once per tree.
# One run: where the file is read again for every tree, this costs as many times the case above.
small_trees=()
for ((i = 0; i < many_small; i++)); do small_trees+=("$(basename "$taxonomy_small")"); done
force_runs=1 measure "group file $group_lines lines, $many_small small trees" "$data" "$(stat -c %s "$taxonomy_groups")" 13 0 \
    "$(basename "$taxonomy_groups")" "$many_small trees" --groupFile "$(basename "$taxonomy_groups")" Taxon0 \
    "${small_trees[@]}"
tax_leaves=$(sed -n 's/.*leaves=\([0-9]*\).*/\1/p' "$data/taxonomy.info")
measure "group file $group_lines lines, $tax_leaves-leaf tree" "$data" \
    $(($(stat -c %s "$taxonomy_groups") + $(stat -c %s "$taxonomy_tree"))) $((2 * tax_leaves - 1)) $((2 * tax_leaves - 1)) \
    "$(basename "$taxonomy_groups") $(basename "$taxonomy_tree")" yes \
    --groupFile "$(basename "$taxonomy_groups")" "$taxonomy_prefix" "$(basename "$taxonomy_tree")"

# ---------------------------------------------------------------- report
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
mem=$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
compiler=$("$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")" --version | head -1)
thp=$(cat /sys/kernel/mm/transparent_hugepage/enabled 2>/dev/null || echo "not available")
thp_defrag=$(cat /sys/kernel/mm/transparent_hugepage/defrag 2>/dev/null || echo "not available")
# "met" or "NOT met" for value <= limit (or >= with "min").
verdict() { awk -v v="$1" -v l="$2" -v m="${3:-max}" 'BEGIN { if (v == "") print "not measured"; else if ((m == "max" && v <= l) || (m == "min" && v >= l)) print "met"; else print "NOT met" }'; }
{
    echo "# Tavrin benchmark"
    echo
    echo "- date: $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "- machine: $cpu, $(nproc) cores, $mem, Linux $(uname -r)"
    echo "- transparent huge pages: enabled $thp; defrag $thp_defrag"
    echo "- build: $compiler, CMAKE_BUILD_TYPE=Release (build-bench), commit $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)"
    echo "- command: bench/run_bench.sh$([[ $quick -eq 1 ]] && echo ' --quick')$([[ -n $runs_override ]] && echo " --runs $runs_override")$(for k in "${!compare_bins[@]}"; do printf ' --compare %s=%s' "${compare_labels[k]}" "${compare_bins[k]}"; done)"
    echo "- time: median wall time of ${runs_override:-5 runs (3 for inputs over 10 MB)}${runs_override:+ run(s)}, standard output to a file; each run times Tavrin$([[ ${#compare_bins[@]} -gt 0 ]] && echo ", $(IFS=,; echo "${compare_labels[*]}" | sed 's/,/, /g')"), the floor and cat back to back; peak RSS: one more run under /usr/bin/time -v"
    echo "- floor: bench/floor.cpp (tavrin_floor), each file read whole into a heap buffer and its parentheses counted in one pass; x floor = time / floor time"
    echo "- cat: cat FILES > /dev/null; x cat = Tavrin time / cat time"
    echo "- MB/s: input bytes / median time; bytes/node: peak RSS / nodes of the tree (2 x leaves - 1), not shown where files are analysed one at a time"
    echo "- ete3: bench/ete3_job.py, one run, on trees of at most $ete3_max_leaves leaves, time limit $ete3_timeout s; x Tavrin = ete3 time / Tavrin time"
    echo "- group file: $group_lines lines, smallest groups first, $taxonomy_levels levels, $taxonomy_pairs pairs after closure"
    echo
    head="| case | MB | nodes | floor s | Tavrin s | x floor | MB/s | peak RSS MB | bytes/node |"
    rule="|---|---:|---:|---:|---:|---:|---:|---:|---:|"
    for k in "${!compare_bins[@]}"; do
        head+=" ${compare_labels[k]} s | x floor | RSS MB |"
        rule+="---:|---:|---:|"
    done
    echo "$head cat s | x cat | ete3 (x Tavrin) | output |"
    echo "$rule---:|---:|---|---|"
    printf '%s\n' "${rows_table[@]}"
    small=${sizes[-2]}
    echo
    echo "Growth of the median time from $small to $big leaves (linear scaling gives about 10):"
    echo
    head="| shape | $small s | $big s | ratio |"
    rule="|---|---:|---:|---:|"
    for k in "${!compare_bins[@]}"; do
        head+=" ${compare_labels[k]} ratio |"
        rule+="---:|"
    done
    echo "$head"
    echo "$rule"
    for shape in balanced caterpillar star; do
        a=${case_value[$shape-$small.t]}
        b=${case_value[$shape-$big.t]}
        line="| $shape | $(fmt "$a" %.4f) | $(fmt "$b" %.4f) | $(ratio "$b" "$a") |"
        for k in "${!compare_bins[@]}"; do
            line+=" $(ratio "${case_value[$shape-$big.t$k]}" "${case_value[$shape-$small.t$k]}") |"
        done
        echo "$line"
    done
    echo
    echo "Back to back: 5 runs of Tavrin in a row, then 5 of the floor (medians):"
    echo
    echo "| case | floor s | Tavrin s | x floor |"
    echo "|---|---:|---:|---:|"
    printf '%s\n' "${back_to_back_rows[@]}"
    if [[ $quick -eq 0 ]]; then
        echo
        echo "Targets:"
        echo
        echo "| target | limit | measured | |"
        echo "|---|---:|---:|---|"
        for shape in balanced caterpillar; do
            r=$(ratio2 "${case_value[$shape-$big.t]}" "${case_value[$shape-$big.floor]}")
            echo "| $shape $big, time / floor | 2.00 | $r | $(verdict "$r" 2) |"
            r=$(ratio2 "${case_value[$shape-$big.b2b]}" "${case_value[$shape-$big.b2b_floor]}")
            echo "| $shape $big, time / floor, back to back | 2.00 | $r | $(verdict "$r" 2) |"
            m=$(awk -v k="${case_value[$shape-$big.rss]}" 'BEGIN { printf "%.1f", k / 1024 }')
            echo "| $shape $big, peak memory MiB | 280 | $m | $(verdict "$m" 280) |"
        done
        r=$(ratio2 "${case_value[balanced-$small.ete3]}" "${case_value[balanced-$small.t]}")
        echo "| balanced $small, ete3 time / Tavrin time | at least 75 | $r | $(verdict "$r" 75 min) |"
        r=$(ratio2 "${case_value[genes.t]}" "${case_value[genes.cat]}")
        echo "| $gene_count gene trees with the group file, time / cat | 1.00 | $r | $(verdict "$r" 1) |"
        for shape in balanced caterpillar star; do
            r=$(ratio2 "${case_value[$shape-$big.t]}" "${case_value[$shape-$small.t]}")
            echo "| growth $small to $big, $shape | 11 | $r | $(verdict "$r" 11) |"
        done
    fi
} | tee "$out_dir/latest.md"
