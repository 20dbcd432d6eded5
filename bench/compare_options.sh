#!/usr/bin/env bash
# Checks that the tolerant options at their neutral values change nothing: every run is made as
# given, led by `--root-strays 0`, and led by `--sister-purity 1`, and the three must write the
# same standard output, standard error, exit status and files, byte for byte (the table's
# root_strays column included). A run that already gives the option compared is not led by it
# again.
#
# On the contract's own command line (no leading option) any leading option turns on the
# closing warnings (three-way roots, the set-up warnings): there, standard output, the status and
# the files are compared with the line as given, and standard error with the line led by
# `--threads 1`, the thread count it runs on anyway.
#
# The runs:
#   - every command-line case of tests/cli/cases, in a scratch copy of its folder (its `generate`
#     script run first), but the cases that are not a run (--help, --version, an option given
#     twice or refused, which a leading option would make another error);
#   - the gene trees of bench/genes, one run over all the files of each inference program: the
#     report and --table, without --root and with --root Excavata,midpoint, with and without
#     --outliers 2, with and without the other tolerant option (--sister-purity 0.8 for
#     --root-strays 0, --root-strays 2 for --sister-purity 1), four targets (--targets);
#   - the trees of tests/data: the MrBayes and RAxML files of tests/data/bayesian and the
#     pipeline trees of tests/data/pipelines, with and without --root.
#
# usage: bench/compare_options.sh [BUILD_DIR]   (default: build)
# Prints each differing run, then `compared N runs, D differ`; exits 0 when none differs, 1 when
# some do.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
case ${1:-} in -h | --help)
    awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "${BASH_SOURCE[0]}"
    exit 0
    ;;
esac
build=$(cd "${1:-$root/build}" && pwd)
tavrin=$build/Tavrin
[[ -x $tavrin ]] || { echo "no Tavrin in $build" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
compared=0
differ=0

# Runs Tavrin with "$@" in a fresh copy of folder `from` (its `generate` run first), standard
# input from its `stdin` file when it has one; leaves stdout, stderr, status and the folder's
# files in $work/$name.
one_run() { # name from args...
    local name=$1 from=$2
    shift 2
    local dir=$work/$name
    rm -rf "$dir" && mkdir -p "$dir"
    cp -R "$from" "$dir/case"
    (
        cd "$dir/case"
        [[ -f generate ]] && bash generate >/dev/null 2>&1
        input=/dev/null
        [[ -f stdin ]] && input=stdin
        status=0
        "$tavrin" "$@" >"$dir/stdout" 2>"$dir/stderr" <"$input" || status=$?
        echo "$status" >"$dir/status"
    )
}

# Whether the two runs wrote the same: the streams named, the status, and every file.
same_runs() { # a b streams...
    local a=$work/$1 b=$work/$2 stream
    shift 2
    for stream in "$@" status; do
        cmp -s "$a/$stream" "$b/$stream" || return 1
    done
    diff -r --no-dereference "$a/case" "$b/case" >/dev/null
}

# Reports a differing run.
report() { # what args...
    local what=$1
    shift
    differ=$((differ + 1))
    echo "DIFFERS ($what): Tavrin $*"
}

# Whether "$@" holds a leading option (anything before the search prefix that starts with --,
# bar --groupFile and --E, which are positional).
has_leading() {
    [[ $# -gt 0 && $1 == --* && $1 != --groupFile && $1 != --E ]]
}

# Compares the run of "$@" in folder `from` with the same run led by each neutral option.
compare() { # from args...
    local from=$1
    shift
    one_run given "$from" "$@"
    local led=given
    if ! has_leading "$@"; then
        one_run threads "$from" --threads 1 "$@"
        led=threads
    fi
    local option
    for option in "--root-strays 0" "--sister-purity 1"; do
        local flag=${option%% *}
        [[ " $* " == *" $flag "* ]] && continue
        # shellcheck disable=SC2086
        one_run neutral "$from" $option "$@"
        compared=$((compared + 1))
        if [[ $led == given ]]; then
            same_runs given neutral stdout stderr || report "$option" $option "$@"
        else
            { same_runs given neutral stdout && same_runs threads neutral stderr; } ||
                report "$option" $option "$@"
        fi
    done
}

# The golden cases that are not runs a leading option leaves alone: help and version, and the
# cases about the options themselves (a leading option ahead of them makes another error).
not_a_run() { # case folder
    local args=$1/args
    [[ -f $args ]] || return 1
    grep -qxE -- '-h|-\?|--help|--version|--root-strays|--sister-purity' "$args"
}

for dir in "$root"/tests/cli/cases/*/; do
    dir=${dir%/}
    not_a_run "$dir" && continue
    args=()
    [[ -f $dir/args ]] && mapfile -t args <"$dir/args"
    compare "$dir" "${args[@]+"${args[@]}"}"
done

# The runs below read their files by absolute paths, in an empty folder.
empty=$work/empty
mkdir -p "$empty"

genes=$root/bench/genes
for program in fasttree iqtree raxml; do
    files=("$genes/$program"/*.nwk)
    field=()
    [[ $program == iqtree ]] && field=(--support-field 2)
    for output in report table; do
        for rooting in none Excavata,midpoint; do
            for outliers in 0 2; do
                for other in none purity strays; do
                    opts=(--standard-newick "${field[@]+"${field[@]}"}")
                    [[ $output == table ]] && opts+=(--table)
                    [[ $rooting != none ]] && opts+=(--root "$rooting")
                    ((outliers)) && opts+=(--outliers "$outliers")
                    [[ $other == purity ]] && opts+=(--sister-purity 0.8)
                    [[ $other == strays ]] && opts+=(--root-strays 2)
                    [[ $other == strays && $rooting == none ]] && continue
                    compare "$empty" "${opts[@]}" --targets Choano,Fungi,Metazoa,Amoebozoa \
                        --groupFile "$genes/groups.txt" "${files[@]}"
                done
            done
        done
    done
done

data=$root/tests/data
for rooting in none midpoint; do
    ropts=()
    [[ $rooting != none ]] && ropts=(--root "$rooting")
    compare "$empty" --table --standard-newick --support-attribute prob "${ropts[@]+"${ropts[@]}"}" \
        Choano "$data"/bayesian/*.con.tre
    compare "$empty" --standard-newick --support-attribute prob --burnin 2 \
        "${ropts[@]+"${ropts[@]}"}" Choano "$data"/bayesian/*.run1.t
    compare "$empty" --table --standard-newick "${ropts[@]+"${ropts[@]}"}" Choano \
        "$data"/bayesian/RAxML_*
    compare "$empty" --table --standard-newick "${ropts[@]+"${ropts[@]}"}" \
        --sister-purity 0.8 Choano "$data"/pipelines/*.nwk
    compare "$empty" --standard-newick "${ropts[@]+"${ropts[@]}"}" Choano "$data"/pipelines/*.nwk
done

echo "compared $compared runs, $differ differ"
((differ == 0))
