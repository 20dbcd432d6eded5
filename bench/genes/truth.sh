#!/usr/bin/env bash
# Counts how often Tavrin names the true first sister on the committed gene trees, under the
# classic command line and under the recommended study setting.
#
# Usage: bench/genes/truth.sh [path/to/Tavrin] [TARGET ...]
#   Tavrin   default: build/Tavrin under the repository root
#   TARGET   default: the nine groups of the simulation but Excavata, the outgroup
#
# The truth: the first sister of the target on the group tree the gene was evolved on
# (true_groups.py), rooted on Excavata as the study roots the gene trees. Each setting's first
# sister is its table's sister1 (a tree without one counts as wrong). Settings:
#   contract     Tavrin --table --groupFile groups.txt TARGET (the classic answers)
#   study        ... --standard-newick --root Excavata,midpoint --outliers 2
#   recommended  ... --standard-newick --root Excavata,midpoint --root-strays 2 --outliers 2
#                --sister-purity 0.8
# and the study with each of the two tolerances alone (study+root-strays, study+purity).
# Prints one line per program and setting: right answers out of the cases, then the totals.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
tavrin=${1:-$root/build/Tavrin}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
    targets=(Metazoa Choano Fungi Amoebozoa Stramen Alveolata Rhizaria Rhodo Viridi)
groups=$here/groups.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
genes=$(ls "$here"/fasttree/g*.nwk | wc -l)
python3 "$here/true_groups.py" 1 "$genes" "$work"

declare -A settings=(
    [contract]=""
    [study]="--standard-newick --root Excavata,midpoint --outliers 2"
    [recommended]="--standard-newick --root Excavata,midpoint --root-strays 2 --outliers 2 --sister-purity 0.8"
    [study+root-strays]="--standard-newick --root Excavata,midpoint --root-strays 2 --outliers 2"
    [study+purity]="--standard-newick --root Excavata,midpoint --outliers 2 --sister-purity 0.8"
)
for target in "${targets[@]}"; do
    # shellcheck disable=SC2086
    "$tavrin" --table --root Excavata --groupFile "$groups" "$target" "$work"/g*.groups.nwk |
        awk -F'\t' -v t="$target" 'NR > 1 { n = split($1, p, "/"); print "truth\t" t "\t" substr(p[n], 1, 4) "\t" $5 }' \
        >>"$work/answers"
    for program in fasttree iqtree raxml; do
        for setting in contract study study+root-strays study+purity recommended; do
            # shellcheck disable=SC2086
            "$tavrin" --table ${settings[$setting]} --groupFile "$groups" "$target" \
                "$here/$program"/g*.nwk 2>/dev/null |
                awk -F'\t' -v t="$target" -v s="$program $setting" 'NR > 1 {
                    n = split($1, p, "/"); print s "\t" t "\t" substr(p[n], 1, 4) "\t" $5 }' \
                    >>"$work/answers" || true  # a build without an option of the setting
        done
    done
done
awk -F'\t' '
    $1 == "truth" { truth[$2 "\t" $3] = $4; next }
    { cases[$1]++; if ($4 != "" && $4 == truth[$2 "\t" $3]) right[$1]++
      split($1, w, " "); all[w[2]]++; if ($4 != "" && $4 == truth[$2 "\t" $3]) allright[w[2]]++ }
    END {
        for (k in cases) printf "%-24s %4d of %4d\n", k, right[k], cases[k] | "sort"
        close("sort")
        for (k in all) printf "all programs %-11s %4d of %4d\n", k, allright[k], all[k]
    }' "$work/answers"
