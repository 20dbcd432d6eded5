#!/usr/bin/env bash
# Tallies Tavrin's answers on the committed gene trees (bench/genes/{fasttree,iqtree,raxml}/).
#
# Usage: bench/genes/answers.sh [path/to/Tavrin] [TARGET ...]
#   Tavrin   default: build/Tavrin under the repository root
#   TARGET   default: Choano Fungi Stramen Viridi
#
# For every target and every K in 0 1 2 3 it runs
#   Tavrin --table --outliers K --groupFile bench/genes/groups.txt TARGET <all trees>
# and prints, per program, target and K, how many trees got each status. Then it runs Tavrin
# plainly (no option but the group file) on each tree for each target and lists the trees whose
# run ends in CLADE NOT FOUND; these must be the not-a-clade and no-target rows of K = 0.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
tavrin=${1:-$root/build/Tavrin}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(Choano Fungi Stramen Viridi)
[ -x "$tavrin" ] || {
    echo "no Tavrin at $tavrin: build it or give its path" >&2
    exit 2
}
groups=$here/groups.txt
trees=()
for program in fasttree iqtree raxml; do
    trees+=("$here/$program"/*.nwk)
done
statuses="sisters unnamed not-a-clade no-target whole-tree ambiguous malformed"

table=$(mktemp)
trap 'rm -f "$table"' EXIT
for target in "${targets[@]}"; do
    for k in 0 1 2 3; do
        "$tavrin" --table --outliers "$k" --groupFile "$groups" "$target" "${trees[@]}" |
            awk -v k="$k" 'NR > 1 { print k "\t" $0 }' >> "$table"
    done
done

echo "${#trees[@]} trees; status counts per program, target and --outliers K"
awk -F'\t' -v statuses="$statuses" '
    BEGIN {
        n = split(statuses, s, " ")
        printf "%-9s %-8s %s %5s", "program", "target", "K", "trees"
        for (i = 1; i <= n; i++) printf " %s", s[i]
        printf "\n"
    }
    {
        count = split($2, path, "/")
        key = path[count - 1] "\t" $4 "\t" $1
        if (!(key in trees)) order[++keys] = key
        trees[key]++
        seen[key, $5]++
    }
    END {
        for (j = 1; j <= keys; j++) {
            split(order[j], f, "\t")
            printf "%-9s %-8s %s %5d", f[1], f[2], f[3], trees[order[j]]
            for (i = 1; i <= n; i++) printf " %*d", length(s[i]), seen[order[j], s[i]]
            printf "\n"
        }
    }' "$table" | { IFS= read -r header && echo "$header" && sort -s -k1,1; }

echo
echo "plain runs ending in CLADE NOT FOUND:"
mismatch=0
for target in "${targets[@]}"; do
    found=()
    for tree in "${trees[@]}"; do
        if "$tavrin" --groupFile "$groups" "$target" "$tree" 2>&1 > /dev/null |
            grep -qx 'CLADE NOT FOUND'; then
            found+=("${tree#"$here"/}")
        fi
    done
    expected=$(awk -F'\t' -v t="$target" -v here="$here/" \
        '$1 == 0 && $4 == t && ($5 == "not-a-clade" || $5 == "no-target") {
             sub(here, "", $2); print $2 }' "$table")
    listed=$(printf '%s\n' "${found[@]+"${found[@]}"}" | sed '/^$/d')
    [ "$listed" = "$expected" ] || mismatch=1
    echo "$target (${#found[@]}): ${listed//$'\n'/ }"
done
if [ "$mismatch" = 1 ]; then
    echo "the plain runs and the table (K = 0) disagree" >&2
    exit 1
fi
