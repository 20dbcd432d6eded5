# Helpers shared by the benchmark scripts; sourced, not run.

# Options every benchmark script takes besides its own: -h / --help prints the script's header
# comment; anything else is refused.
bench_other_option() { # option script
    case $1 in
        -h | --help)
            awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$2"
            exit 0
            ;;
        *)
            echo "unknown option: $1" >&2
            exit 2
            ;;
    esac
}

# The median of the numbers on standard input, one per line, or of field COLUMN of each line.
median() { # [column]
    cut -d' ' -f"${1:-1}" | sort -g |
        awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.6f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# One run of "$@": its wall and processor (user + system) seconds from /usr/bin/time, as
# "wall processor"; its output is discarded.
timed() {
    /usr/bin/time -f '%e %U %S' "$@" 2>&1 >/dev/null | tail -1 | awk '{ print $1, $2 + $3 }'
}

# Builds `targets` in $build, configured first as a Release build when $own_build is 1.
bench_build() { # targets...
    [[ $own_build -eq 0 ]] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BENCH=ON >/dev/null
    cmake --build "$build" -j2 --target "$@" >/dev/null
}

# Reads --runs N (into `runs`, which keeps the value it holds when the option is not given) and
# --build DIR (into `build`, default build-bench under `root`; `own_build` is 1 when the script
# configures that build itself, 0 for one given).
bench_run_options() { # script arguments...
    local script=$1
    shift
    build=$root/build-bench
    own_build=1
    while [[ $# -gt 0 ]]; do
        case $1 in
            --runs) runs=${2:?--runs needs a number}; shift ;;
            --build) build=${2:?--build needs a directory}; own_build=0; shift ;;
            *) bench_other_option "$1" "$script" ;;
        esac
        shift
    done
}

# For the scripts that time whole Tavrin runs: reads their options with bench_run_options (`runs`
# 9 unless the script set one first), builds Tavrin and the generator in `build`, and makes the
# folders `data` and `out_dir`.
bench_prepare_runs() { # script arguments...
    runs=${runs:-9}
    bench_run_options "$@"
    [[ -x /usr/bin/time ]] || { echo "/usr/bin/time is missing: apt-get install time" >&2; exit 1; }
    bench_build Tavrin tavrin_gen
    data=$root/bench/data
    out_dir=$root/bench/out
    mkdir -p "$data" "$out_dir"
}

# A folder of 10,000 gene trees, the 105 of bench/genes copied round robin, made once into `data`.
gene_copies() {
    local genes=$data/genes-10000 sources i
    if [[ ! -d $genes || $(find "$genes" -name '*.nwk' | wc -l) -ne 10000 ]]; then
        rm -rf "$genes"
        mkdir -p "$genes"
        mapfile -t sources < <(ls "$root"/bench/genes/{fasttree,iqtree,raxml}/*.nwk)
        for i in $(seq 0 9999); do
            cp "${sources[i % ${#sources[@]}]}" "$genes/$(printf '%05d' "$i").nwk"
        done
    fi
    echo "$genes"
}

# The 10^6-leaf tree of that shape (balanced, caterpillar), generated once into `data`.
generated() { # shape
    local file=$data/$1-1000000.nwk
    [[ -s $file ]] || "$build/bench/tavrin_gen" "$1" 1000000 "$file" >/dev/null
    echo "$file"
}
