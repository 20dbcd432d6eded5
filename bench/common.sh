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
