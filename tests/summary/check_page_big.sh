#!/usr/bin/env bash
# A page of 100,000 trees stays usable: Tavrin-summary --html on tables of 100,006 rows (two
# labels, two targets) writes a file at most twice the tables' size that lists the first
# 100,000 trees and says how many more the tables hold; headless Chromium opens it and shows
# the first 500 rows, and a filter from the address counts the rows it should. (How long it
# takes to open is measured by bench/bench_page.sh.)
#
# usage: check_page_big.sh <Tavrin-summary> <source dir> [OUTPUT_DIR]
# Exit status 77 (skipped) when chromium is missing, except in CI (CI set), where that fails.
set -euo pipefail

# shellcheck source=tests/support/script_checks.sh
source "$2/tests/support/script_checks.sh"
# shellcheck source=tests/support/tables.sh
source "$2/tests/support/tables.sh"
require_tools "load the page" "chromium (Debian package chromium)"
summary=$1
out=${3:-$(mktemp -d)}
rm -rf "$out" && mkdir -p "$out"

# Two runs' tables of 50,003 trees each, as Tavrin --table --label writes them.
labelled_tables 100006 >"$out/tables.tsv"
"$summary" --by label --html "$out/page.html" "$out/tables.tsv" >/dev/null 2>&1 ||
    fail "Tavrin-summary failed"
tables=$(stat -c %s "$out/tables.tsv")
page=$(stat -c %s "$out/page.html")
[ "$page" -le $((2 * tables)) ] || fail "the page has $page bytes, over twice the tables' $tables"
grep -q 'The tables hold 6 more trees, not listed here: the page lists the first 100000.' \
    "$out/page.html" || fail "the page does not say how many trees it does not list"

url="file://$out/page.html"
browser_dom "$url" >"$out/all.html"
grep -q '>100000 of 100000 trees shown, 1 to 500 below<' "$out/all.html" ||
    fail "the page does not say which rows it shows"
[ "$(grep -o '<tr data-status=' "$out/all.html" | wc -l)" = 500 ] || fail "not 500 rows shown"

# The rows listed that the filter keeps.
expected=$(awk -F'\t' '$1 != "file"' "$out/tables.tsv" | head -n 100000 |
    awk -F'\t' '$14 == "raxml" && $4 == "not-a-clade" && $3 == "Fungi"' | wc -l)
browser_dom "$url#label=raxml&status=not-a-clade&target=Fungi" >"$out/filtered.html"
grep -q ">$expected of 100000 trees shown" "$out/filtered.html" ||
    fail "the filter does not count $expected rows"

[ $failed = 0 ] && echo "a page of 100000 trees ($page bytes, tables $tables) shown and filtered"
exit $failed
