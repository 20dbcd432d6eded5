#!/usr/bin/env bash
# Loads the page of Tavrin-summary --html in a real browser (headless Chromium, --dump-dom) and
# checks what a reader would see: one row per tree of the table, links that point at pictures
# that exist, and a filter by status or by sister, driven by the address's fragment and query,
# that leaves only the rows asked for.
#
# usage: check_page.sh <Tavrin> <Tavrin-summary> <source dir> [OUTPUT_DIR]
# Exit status 77 (skipped) when chromium is missing, except in CI (CI set), where that fails.
set -euo pipefail

tavrin=$1
summary=$2
source_dir=$3
out=${4:-$(mktemp -d)}
rm -rf "$out"
mkdir -p "$out"

# shellcheck source=tests/support/script_checks.sh
source "$source_dir/tests/support/script_checks.sh"
require_tools "load the page" "chromium (Debian package chromium)"
browser=$(command -v chromium)

# The DOM of the page at URL once its script has run.
dom() { # url
    local profile
    profile=$(mktemp -d)
    timeout 90 "$browser" --headless --no-sandbox --disable-gpu --disable-background-networking \
        --disable-component-update --disable-sync --no-first-run --user-data-dir="$profile" \
        --dump-dom "$1" 2>/dev/null
    rm -rf "$profile"
}

# Rows of the tree table in a DOM, one per line; those the filter hides carry `hidden`.
rows() {
    tr '\n' ' ' | sed 's|<tr|\n<tr|g; s|</tr>|</tr>\n|g' | grep '^<tr data-status=' || true
}

# A batch with every kind of answer, drawn, tabled and put on one page.
cd "$source_dir"
"$tavrin" --table --standard-newick --draw "$out/pictures" --groupFile bench/genes/groups.txt \
    Choano bench/genes/iqtree/g00*.nwk bench/genes/fasttree/g00[1-4].nwk examples/t3.nwk \
    >"$out/table.tsv"
"$summary" --html "$out/page.html" --pictures "$out/pictures" "$out/table.tsv" >/dev/null 2>&1
trees=$(($(wc -l <"$out/table.tsv") - 1))
url="file://$out/page.html"

dom "$url" >"$out/all.html"
[ "$(rows <"$out/all.html" | wc -l)" = "$trees" ] ||
    fail "the page shows $(rows <"$out/all.html" | wc -l) rows for $trees trees"
[ "$(rows <"$out/all.html" | grep -c ' hidden')" = 0 ] || fail "rows hidden without a filter"
links=0
while read -r href; do
    links=$((links + 1))
    [ -f "$out/$href" ] || fail "the link $href points at no file"
done < <(grep -o 'href="[^"]*"' "$out/all.html" | sed 's/^href="//; s/"$//')
drawn=$(grep -vc $'\tmalformed\t' <(tail -n +2 "$out/table.tsv"))
[ "$links" = "$drawn" ] || fail "$links links for $drawn pictures"
grep -q ">$drawn of $trees pictures found in " "$out/all.html" || fail "the page does not count the pictures"

# Filtering by one status, from the fragment and from the query.
for status in not-a-clade sisters malformed; do
    expected=$(cut -f4 "$out/table.tsv" | grep -cx -- "$status" || true)
    for address in "$url#status=$status" "$url?status=$status"; do
        dom "$address" >"$out/filtered.html"
        shown=$(rows <"$out/filtered.html" | grep -v ' hidden' || true)
        [ "$(grep -c . <<<"$shown")" = "$expected" ] ||
            fail "$address shows $(grep -c . <<<"$shown") rows, expected $expected"
        grep -v "data-status=\"$status\"" <<<"$shown" | grep -q . && fail "$address shows other statuses"
        grep -q ">$expected of $trees trees shown<" "$out/filtered.html" ||
            fail "$address does not say how many rows it shows"
    done
done

# Filtering by sister: the rows that name it first or second.
expected=$(awk -F'\t' 'NR > 1 && ($5 == "Eukaryota" || $6 == "Eukaryota")' "$out/table.tsv" | wc -l)
dom "$url#sister=Eukaryota" >"$out/filtered.html"
[ "$(rows <"$out/filtered.html" | grep -vc ' hidden')" = "$expected" ] ||
    fail "#sister=Eukaryota shows $(rows <"$out/filtered.html" | grep -vc ' hidden') rows, expected $expected"

# A report, not a table: the tally alone, no row and no script.
"$tavrin" --groupFile examples/groups.txt Choano examples/t1.nwk examples/t2.nwk 2>/dev/null |
    "$summary" --html "$out/report.html" >/dev/null 2>&1
dom "file://$out/report.html" >"$out/report-dom.html"
grep -q '<table class="tally">' "$out/report-dom.html" || fail "the report's page has no tally"
grep -q 'id="trees"' "$out/report-dom.html" && fail "the report's page lists trees"

[ $failed = 0 ] && echo "the page checked in $($browser --version 2>/dev/null || echo chromium)"
exit $failed
