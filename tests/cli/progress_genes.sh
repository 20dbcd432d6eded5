#!/usr/bin/env bash
# --progress on the gene trees of bench/genes, standard error to a file: standard output and the
# status as without it, the other messages in their order, updates no more than 10 a second by
# the times they state, and a closing line; with threads too; Tavrin-summary alike.
set -uo pipefail
tavrin=$1 summary=$2 genes=$3
source "$(dirname "$0")/../support/script_checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The 105 gene trees, 120 times over: long enough for a few updates on a quick machine.
files=()
for _ in $(seq 120); do files+=("$genes"/fasttree/*.nwk "$genes"/iqtree/*.nwk "$genes"/raxml/*.nwk); done
options=(--table --standard-newick --support-field 2 --root Excavata,midpoint --outliers 1
    --groupFile "$genes/groups.txt" Viridi)

# Seconds from a time as the lines show it: "4.2 s", "1:05" or "1:00:05".
seconds() {
    awk -v t="$1" 'BEGIN { sub(/ s$/, "", t); n = split(t, p, ":"); s = 0
        for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }'
}

# Checks the stderr `told` of a run with --progress of `program` against `plain`, without it.
check_lines() { # program plain told files trees
    local program=$1 plain=$2 told=$3 files=$4 trees=$5
    local update="^$program: [0-9]+/$files files, [0-9]+ trees, [0-9.]+ trees/s, ([0-9.]+ s|[0-9:]+) elapsed(, about ([0-9.]+ s|[0-9:]+) left)?$"
    local closing="^$program: $files files, $trees trees in ([0-9.]+ s|[0-9:]+)$"
    diff <(grep -Ev "$update|$closing" "$told") "$plain" >/dev/null ||
        fail "$program: the messages differ with --progress"
    [ "$(grep -Ec "$closing" "$told")" = 1 ] || fail "$program: no closing line: $(tail -n 1 "$told")"
    tail -n 1 "$told" | grep -Eq "$closing" || fail "$program: the closing line is not the last"
    local total updates
    total=$(seconds "$(tail -n 1 "$told" | sed 's/.* in //')")
    updates=$(grep -Ec "$update" "$told")
    awk -v n="$updates" -v t="$total" 'BEGIN { exit !(n <= 10 * t + 1) }' ||
        fail "$program: $updates updates in $total s"
    # Updates a tenth of a second apart at least, by the times they state.
    { grep -E "$update" "$told" || true; } | sed 's/.*trees\/s, \(.*\) elapsed.*/\1/' | while read -r shown; do
        seconds "$shown"
    done | awk 'NR > 1 && $1 - last < 0.1 { bad = 1 } { last = $1 } END { exit bad }' ||
        fail "$program: updates closer than a tenth of a second"
}

"$tavrin" "${options[@]}" "${files[@]}" >"$work/plain.out" 2>"$work/plain.err"
plain_status=$?
count=${#files[@]}
for threads in 1 2; do
    "$tavrin" --progress --threads $threads "${options[@]}" "${files[@]}" \
        >"$work/told.out" 2>"$work/told.err"
    status=$?
    [ $status = $plain_status ] || fail "--threads $threads: status $status, not $plain_status"
    cmp -s "$work/plain.out" "$work/told.out" || fail "--threads $threads: standard output differs"
    check_lines Tavrin "$work/plain.err" "$work/told.err" "$count" "$count"
done

"$summary" "$work/plain.out" "$work/plain.out" >"$work/sum.out" 2>"$work/sum.err"
"$summary" --progress "$work/plain.out" "$work/plain.out" >"$work/sum-told.out" 2>"$work/sum-told.err"
cmp -s "$work/sum.out" "$work/sum-told.out" || fail "Tavrin-summary: standard output differs"
# The summary's closing count comes after its reading, and so after the progress lines.
grep -v '^Tavrin-summary: ' "$work/sum-told.err" | diff - "$work/sum.err" >/dev/null ||
    fail "Tavrin-summary: the messages differ with --progress"
grep -q "^Tavrin-summary: 2 files, $((2 * count)) trees in " "$work/sum-told.err" ||
    fail "Tavrin-summary: no closing line: $(cat "$work/sum-told.err")"
exit $failed
