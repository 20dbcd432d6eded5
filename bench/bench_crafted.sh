#!/usr/bin/env bash
# Crafted inputs against --standard-newick: each file holds a short tree with one long run of
# bytes that comments, attribute lists, labels or NEXUS words give a meaning to (a 1 MB comment
# of '{', '[', '&', quotes, '=' or a mixture, long labels, a NEXUS file with a huge comment or
# quoted word), and is read with and without --support-attribute prob. Reading must stay linear:
# each such file at most 0.1 s. The '{' comment also comes at 20 KB and 200 KB, to show how the
# time grows. Two gzip files close the list: one whose trailer claims 4 GiB of text (its peak
# memory must stay under 50 MB) and a tree of 10^6 leaves compressed.
#
# usage: bench/bench_crafted.sh [--runs N] [--build DIR] [--before BINARY] [--limit SECONDS]
#   --runs N          timed runs of each case (default 5), the binaries one after the other
#   --build DIR       where this checkout is built, Release (default build-bench, configured here)
#   --before BINARY   also time another Tavrin (an older commit) in the same runs
#   --limit SECONDS   a run is stopped after this long (default 20) and shown as "> SECONDS s";
#                     a binary that takes that long on a case is not run on it again
# Runs are timed by /usr/bin/time (10 ms resolution, wall time); medians are shown.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
runs=5
limit=20
before=""
rest=()
while [[ $# -gt 0 ]]; do
    case $1 in
        --before) before=$(cd "$(dirname "${2:?--before needs a binary}")" && pwd)/$(basename "$2"); shift ;;
        --limit) limit=${2:?--limit needs a number of seconds}; shift ;;
        *) rest+=("$1") ;;
    esac
    shift
done
bench_prepare_runs "${BASH_SOURCE[0]}" ${rest[@]+"${rest[@]}"}
[[ -z $before || -x $before ]] || { echo "not an executable: $before" >&2; exit 2; }
data=$root/bench/data/crafted
mkdir -p "$data"

# run <count> <bytes>: the bytes repeated to `count` bytes (`yes` ends on a broken pipe).
run() { (set +o pipefail && yes "$2" | tr -d '\n' | head -c "$1"); }
mb=1000000
# A tree whose internal node carries the comment [<text>].
commented() { printf '((Choano-a,Choano-b)['; cat; printf ']:0.1,Metazoa-c,Fungi-d);\n'; }
nexus() { printf '#NEXUS\nbegin trees;\ntree a = ((Choano-a,Choano-b),Metazoa-c);\n'; cat; printf '\ntree b = ((Choano-a,Choano-b),Fungi-d);\nend;\n'; }

# The inputs, each made once into bench/data/crafted/.
cases=()
make_case() { # name generator arguments...
    local name=$1
    shift
    [[ -s $data/$name ]] || "$@" >"$data/$name"
    cases+=("$name")
}
valued() { { printf '&prob='; run "$@"; } | commented; }  # [&prob=<run>]
nested() { printf '((A,B)'; run $((mb / 2)) '['; run $((mb / 2)) ']'; printf ',C);\n'; }
open_comment() { printf '((A,B)'; run "$mb" '['; }
comment_of() { run "$@" | commented; }
attributes() { { printf '&'; run "$mb" 'a={1,2},'; printf 'prob=0.9'; } | commented; }
nhx() { { printf '&&NHX'; run "$mb" ':S={'; } | commented; }
equals() { { printf '&prob'; run "$mb" '='; } | commented; }
label() { printf '((Choano-a,Choano-b)'; run "$mb" "$1"; printf ',Metazoa-c);\n'; }
quoted_label() { printf "((Choano-a,'"; run "$mb" "''"; printf "'),Metazoa-c);\n"; }
nexus_comment() { { printf '['; run "$mb" "$1"; printf '%s' "$2"; } | nexus; }
nexus_quoted() { { printf "title '"; run "$mb" "''"; printf "';"; } | nexus; }

make_case braces-20KB valued 20000 '{'
make_case braces-200KB valued 200000 '{'
make_case braces-1MB valued "$mb" '{'
make_case brackets-nested-1MB nested
make_case brackets-open-1MB open_comment
make_case ampersands-1MB comment_of "$mb" '&'
make_case double-quotes-1MB valued "$mb" '"'
make_case single-quotes-1MB valued "$mb" "'"
make_case equals-1MB equals
make_case mixture-1MB valued "$mb" "{\"&='[],}"
make_case attributes-1MB attributes
make_case nhx-1MB nhx
make_case label-1MB label x
make_case label-pieces-1MB label 'x[]'
make_case label-quoted-1MB quoted_label
make_case nexus-comment-1MB nexus_comment '[]{&' ']'
make_case nexus-open-comment-1MB nexus_comment '[' ''
make_case nexus-quoted-word-1MB nexus_quoted
# gzip: a file whose trailer claims 4 GiB of text, and a large tree compressed.
lying() { printf '((Choano-a,Choano-b),Metazoa-c);\n' | gzip -9n | head -c -4; printf '\xf0\xff\xff\xff'; }
make_case claims-4GiB.gz lying
make_case balanced-1e6.nwk.gz gzip -c "$(generated balanced)"

labels=(after)
binaries=("$build/Tavrin")
if [[ -n $before ]]; then
    labels=(before after)
    binaries=("$before" "$build/Tavrin")
fi

# measured <binary> <arguments...>: the wall seconds and peak memory (KiB) of one run, or "-"
# when it was stopped.
measured() {
    local status=0
    /usr/bin/time -o "$data/.time" -f '%e %M' timeout "$limit" "$@" >/dev/null 2>&1 || status=$?
    if [[ $status -eq 124 ]]; then echo -; else tail -n 1 "$data/.time"; fi
}

declare -A times stopped
options=("" "--support-attribute prob")
for ((r = 0; r < runs; r++)); do
    for c in "${cases[@]}"; do
        for o in 0 1; do
            for b in "${!binaries[@]}"; do
                key="$c|$o|$b"
                [[ -z ${stopped[$key]:-} ]] || continue
                # shellcheck disable=SC2086
                t=$(measured "${binaries[$b]}" --standard-newick ${options[$o]} Choano "$data/$c")
                if [[ $t == - ]]; then stopped[$key]=1; else times[$key]+="$t"$'\n'; fi
            done
        done
    done
done

shown() { # key
    if [[ -n ${stopped[$1]:-} ]]; then
        echo "> $limit s"
    else
        printf '%.2f s, %.0f MiB' "$(printf '%s' "${times[$1]}" | median 1)" \
            "$(printf '%s' "${times[$1]}" | median 2 | awk '{ print $1 / 1024 }')"
    fi
}

echo "### Crafted inputs (Tavrin --standard-newick [OPTION] Choano FILE >/dev/null: medians of $runs, wall time and peak memory)"
echo
printf '| input | bytes | option |'
for l in "${labels[@]}"; do printf ' %s |' "$l"; done
echo
printf '|---|---:|---|'
for _ in "${labels[@]}"; do printf -- '---:|'; done
echo
for c in "${cases[@]}"; do
    for o in 0 1; do
        printf '| %s | %s | %s |' "$c" "$(wc -c <"$data/$c")" "${options[$o]:-none}"
        for b in "${!binaries[@]}"; do printf ' %s |' "$(shown "$c|$o|$b")"; done
        echo
    done
done
