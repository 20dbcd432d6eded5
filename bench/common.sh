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
    [[ $own_build -eq 0 ]] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" -j2 --target "$@" >/dev/null
}
