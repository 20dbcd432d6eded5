#!/usr/bin/env bash
# A page of 100,000 trees stays usable: Tavrin-summary --html on tables of 100,003 rows (two
# labels, two targets) writes a file at most twice the tables' size that lists the first
# 100,000 trees and says how many more the tables hold, and headless Chromium opens it, script
# run, within 15 seconds, start-up included; a filter from the address then counts the rows it
# should.
#
# usage: check_page_big.sh <Tavrin-summary> <source dir> [OUTPUT_DIR]
# Exit status 77 (skipped) when chromium is missing, except in CI (CI set), where that fails.
set -euo pipefail

# shellcheck source=tests/support/script_checks.sh
source "$2/tests/support/script_checks.sh"
require_tools "load the page" "chromium (Debian package chromium)"
summary=$1
out=${3:-$(mktemp -d)}
rm -rf "$out" && mkdir -p "$out"

# Seconds since the epoch, with fractions.
now() { date +%s.%N; }

# The DOM of the page at URL once its script has run; the seconds it took in $out/seconds.
dom() { # url
    local start
    start=$(now)
    browser_dom "$1"
    awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.1f\n", b - a }' >"$out/seconds"
}

# Two runs' tables, as Tavrin --table writes them: statuses, sisters and supports vary.
for label in fasttree iqtree; do
    rows=50000
    [ "$label" = iqtree ] && rows=50003
    awk -v label="$label" -v rows="$rows" 'BEGIN {
        OFS = "\t"
        print "file", "tree", "target", "status", "sister1", "sister2", "support", "rerooted",
            "target_leaves", "outliers", "outlier_leaves", "root", "strays", "label"
        split("Metazoa Fungi Opisthokonta Eukaryota Holozoa", sisters, " ")
        for (i = 1; i <= rows; i++) {
            h = (i * 2654435761) % 4294967296
            target = (h % 2 == 0) ? "Choano" : "Fungi"
            file = sprintf("genes/%s/OG%07d.nwk", label, i)
            if (h % 10 == 0) {
                print file, 1, target, "unnamed", "", "", "", 0, 3, 0, "", "given", "", label
            } else if (h % 10 == 1) {
                print file, 1, target, "not-a-clade", "", "", "", "", 4, 1, target "-x", "given", "", label
            } else {
                s2 = (h % 3 == 0) ? sisters[(h % 5) + 1] : ""
                print file, 1, target, "sisters", sisters[(h % 4) + 1], s2, h % 101, 0, 3, 0, "", "given", "", label
            }
        }
    }' >"$out/$label.tsv"
done

"$summary" --by label --html "$out/page.html" "$out/fasttree.tsv" "$out/iqtree.tsv" \
    >/dev/null 2>&1 || fail "Tavrin-summary failed"
tables=$(($(stat -c %s "$out/fasttree.tsv") + $(stat -c %s "$out/iqtree.tsv")))
page=$(stat -c %s "$out/page.html")
[ "$page" -le $((2 * tables)) ] || fail "the page has $page bytes, over twice the tables' $tables"
grep -q 'The tables hold 3 more trees, not listed here: the page lists the first 100000.' \
    "$out/page.html" || fail "the page does not say how many trees it does not list"

url="file://$out/page.html"
dom "$url" >"$out/all.html"
seconds=$(cat "$out/seconds")
awk -v s="$seconds" 'BEGIN { exit !(s <= 15) }' || fail "the page took $seconds s to open"
grep -q '>100000 of 100000 trees shown, 1 to 500 below<' "$out/all.html" ||
    fail "the page does not say which rows it shows"
[ "$(grep -o '<tr data-status=' "$out/all.html" | wc -l)" = 500 ] || fail "not 500 rows shown"

expected=$(awk -F'\t' '$14 == "iqtree" && $4 == "unnamed" && $3 == "Fungi"' "$out/iqtree.tsv" |
    head -n 50000 | wc -l)
dom "$url#label=iqtree&status=unnamed&target=Fungi" >"$out/filtered.html"
grep -q ">$expected of 100000 trees shown" "$out/filtered.html" ||
    fail "the filter does not count $expected rows"

[ $failed = 0 ] && echo "a page of 100000 trees ($page bytes, tables $tables) opened in $seconds s"
exit $failed
