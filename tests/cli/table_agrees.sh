#!/usr/bin/env bash
# On generated gene trees, --outliers 0 leaves the report byte for byte as it is, and the table
# holds what the report says: its rows in the sister and support columns, its messages in the
# status column.
#
# usage: table_agrees.sh <Tavrin> <tavrin_gen>
set -u
tavrin=$(realpath "$1")
gen=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$gen" genes 60 "$work" >/dev/null || { echo "cannot generate gene trees"; exit 1; }
cd "$work" || exit 1
mapfile -t files <files.txt
failed=0

# The report rebuilt from a table: a header line per file, a row per sister; the messages of
# the statuses without a row on the side.
report_of_table() {
    awk -F '\t' -v err="$2" 'NR > 1 {
        print $1 ":"
        for (i = 5; i <= 6; ++i) if ($i != "") print $3 "\t" $i "\t" $7
        if ($4 == "not-a-clade" || $4 == "no-target") print "CLADE NOT FOUND" > err
        if ($4 == "whole-tree") print "TARGET IS ROOT" > err
    }' "$1"
}

for prefix in Choano Fungi Metazoa; do
    for groups in "" groups.txt; do
        shape=("$prefix")
        [[ -n $groups ]] && shape=(--groupFile "$groups" "$prefix")
        "$tavrin" "${shape[@]}" "${files[@]}" >plain.out 2>plain.err
        plain_status=$?
        "$tavrin" --outliers 0 "${shape[@]}" "${files[@]}" >zero.out 2>zero.err
        zero_status=$?
        if ! cmp -s plain.out zero.out || ! cmp -s plain.err zero.err ||
            [[ $plain_status != "$zero_status" ]]; then
            echo "--outliers 0 changed the report: ${shape[*]}"
            failed=1
        fi
        "$tavrin" --table "${shape[@]}" "${files[@]}" >table.out 2>table.err
        table_status=$?
        report_of_table table.out table.msg >rebuilt.out
        touch table.msg
        if ! cmp -s plain.out rebuilt.out || ! cmp -s plain.err table.msg || [[ -s table.err ]] ||
            [[ $plain_status != "$table_status" ]]; then
            echo "the table disagrees with the report: ${shape[*]}"
            diff plain.out rebuilt.out | head -5
            failed=1
        fi
        rm -f table.msg
    done
done
# The generated trees reach more than one status, or the comparison would say little.
statuses=$("$tavrin" --table Metazoa "${files[@]}" | cut -f4 | sort -u | wc -l)
if [[ $statuses -lt 3 ]]; then
    echo "the gene trees reach only $((statuses - 1)) statuses"
    failed=1
fi
exit "$failed"
