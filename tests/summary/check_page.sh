#!/usr/bin/env bash
# Loads the page of Tavrin-summary --html in a real browser (headless Chromium, --dump-dom) and
# checks what a reader would see: one row per tree of the tables, each linked only to the picture
# that records that row (two labelled runs drawn into one folder, a stale picture, a pipe among
# the pictures), and filters by status, sister, label and target, driven by the address's
# fragment and query, that leave only the rows asked for.
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
dom() { browser_dom "$@"; }

# Rows of the tree table in a DOM, one per line.
rows() {
    tr '\n' ' ' | sed 's|<tr|\n<tr|g; s|</tr>|</tr>\n|g' | grep '^<tr data-status=' || true
}

# The source a picture records: "file<TAB>tree<TAB>target<TAB>label".
source_of() { # picture
    tr '\n' ' ' <"$1" | sed -n 's|.*<metadata>\([^<]*\)</metadata>.*|\1|p'
}

# Two labelled runs of a batch with every kind of answer, drawing into one folder: each table's
# rows carry the run's label, each picture's name starts with it and its source names it.
cd "$source_dir"
for label in fast iq; do
    "$tavrin" --table --standard-newick --label "$label" --draw "$out/study" \
        --groupFile bench/genes/groups.txt Choano bench/genes/iqtree/g00*.nwk \
        bench/genes/fasttree/g00[1-4].nwk examples/t3.nwk >"$out/$label.tsv"
done
trees=$(($(wc -l <"$out/fast.tsv") - 1))
drawn=$(grep -vc $'\tmalformed\t' <(tail -n +2 "$out/fast.tsv"))
[ "$(find "$out/study" -name '*.svg' | wc -l)" = $((2 * drawn)) ] ||
    fail "two runs left $(find "$out/study" -name '*.svg' | wc -l) pictures, not $((2 * drawn))"
# A stale picture of another run under a row's name, and a pipe that looks like a picture.
sed 's|<metadata>[^<]*</metadata>|<metadata>old/g001.nwk\t1\tiq</metadata>|' \
    "$out/study/iq_000001_Choano_g001.svg" >"$out/study/iq_000001_Choano_g001_old.svg"
rm "$out/study/iq_000001_Choano_g001.svg"
mkfifo "$out/study/fast_000002_Choano_pipe.svg"

timeout 60 "$summary" --by label --html "$out/page.html" --pictures "$out/study" \
    "$out/fast.tsv" "$out/iq.tsv" >"$out/tally.tsv" 2>"$out/closing.txt" ||
    fail "the page of two labelled runs was not made"
grep -q "^label fast: $trees trees, " "$out/closing.txt" || fail "no closing count for label fast"
head -1 "$out/tally.tsv" | grep -q $'^label\ttarget\tsister\t' || fail "the tally has no label column"
url="file://$out/page.html"

dom "$url" >"$out/all.html"
[ "$(rows <"$out/all.html" | wc -l)" = $((2 * trees)) ] ||
    fail "the page shows $(rows <"$out/all.html" | wc -l) rows for $((2 * trees)) trees"
grep -q "<h1>Tavrin summary: Choano in $((2 * trees)) trees, labels fast and iq</h1>" \
    "$out/all.html" || fail "the title does not name the target and the labels"
links=0
while IFS=$'\t' read -r href file label; do
    links=$((links + 1))
    [ -f "$out/$href" ] || fail "the link $href points at no file"
    [ "$(source_of "$out/$href" | cut -f1,4)" = "$file"$'\t'"$label" ] ||
        fail "$href is linked from the row of $file, $label"
done < <(rows <"$out/all.html" | grep '<a href=' |
    sed 's|.*<a href="\([^"]*\)">picture</a></td><td>\([^<]*\)</td>.*<td>\([a-z]*\)</td></tr>$|\1\t\2\t\3|')
[ "$links" = $((2 * drawn - 1)) ] || fail "$links links for $((2 * drawn - 1)) true pictures"
grep -q ": $((2 * drawn - 1)) of $((2 * trees)) trees linked to their own picture, $((2 * trees - 2 * drawn + 1)) without one; 1 picture there belongs to other trees." \
    "$out/all.html" || fail "the page does not count the pictures"

# Filtering by one status, from the fragment and from the query.
for status in not-a-clade sisters malformed; do
    expected=$(($(cut -f4 "$out/fast.tsv" | grep -cx -- "$status" || true) * 2))
    for address in "$url#status=$status" "$url?status=$status"; do
        dom "$address" >"$out/filtered.html"
        shown=$(rows <"$out/filtered.html")
        [ "$(grep -c . <<<"$shown")" = "$expected" ] ||
            fail "$address shows $(grep -c . <<<"$shown") rows, expected $expected"
        grep -v "data-status=\"$status\"" <<<"$shown" | grep -q . && fail "$address shows other statuses"
        grep -q ">$expected of $((2 * trees)) trees shown<" "$out/filtered.html" ||
            fail "$address does not say how many rows it shows"
    done
done

# Filtering by sister (the rows that name it first or second), by label and by target.
expected=$(awk -F'\t' 'NR > 1 && ($5 == "Eukaryota" || $6 == "Eukaryota")' "$out/fast.tsv" | wc -l)
dom "$url#sister=Eukaryota&label=iq" >"$out/filtered.html"
[ "$(rows <"$out/filtered.html" | wc -l)" = "$expected" ] ||
    fail "#sister=Eukaryota&label=iq shows $(rows <"$out/filtered.html" | wc -l) rows, expected $expected"
rows <"$out/filtered.html" | grep -q '<td>fast</td></tr>' && fail "#label=iq shows rows of fast"
dom "$url?target=Choano" >"$out/filtered.html"
[ "$(rows <"$out/filtered.html" | wc -l)" = $((2 * trees)) ] || fail "?target=Choano hides rows"
dom "$url#target=Fungi" >"$out/filtered.html"
[ "$(rows <"$out/filtered.html" | wc -l)" = 0 ] || fail "#target=Fungi shows rows"

# A study of two labels and two targets drawing into one folder: every row linked to its own
# picture; the matrix, one row per target and one column per label; a click on a cell asks for
# that cell's trees; the page no wider than a 1400-pixel window.
for label in fast iq; do
    for target in Choano Fungi; do
        "$tavrin" --table --standard-newick --label "$label" --draw "$out/matrix" \
            --groupFile bench/genes/groups.txt "$target" bench/genes/iqtree/g00*.nwk
    done >"$out/matrix-$label.tsv"
done
"$summary" --first --html "$out/matrix.html" --pictures "$out/matrix" "$out"/matrix-*.tsv \
    >/dev/null 2>&1 || fail "the study's page was not made"
study_trees=$(($(grep -vc '^file' "$out/matrix-fast.tsv") * 2))
study_drawn=$(grep -v '^file' "$out"/matrix-*.tsv | grep -vc $'\tmalformed\t')
grep -q ": $study_drawn of $study_trees trees linked to their own picture, $((study_trees - study_drawn)) without one; 0 pictures there belong" \
    "$out/matrix.html" || fail "the study's pictures are not each linked to their own row"
# The page with a probe that clicks a cell and notes the address and the page's width.
sed 's|</body>|<script>window.addEventListener("load", function () {\
  document.querySelector("#study td[data-target=Fungi][data-label=iq]").click();\
  document.body.setAttribute("data-probe", location.hash + " " +\
    document.documentElement.scrollWidth);\
});</script></body>|' "$out/matrix.html" >"$out/matrix-probe.html"
profile=$(mktemp -d)
timeout 90 chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --user-data-dir="$profile" \
    --window-size=1400,900 --virtual-time-budget=3000 --dump-dom "file://$out/matrix-probe.html" \
    2>/dev/null >"$out/matrix-dom.html"
rm -rf "$profile"
matrix=$(tr '\n' ' ' <"$out/matrix-dom.html" | sed 's|.*<table id="study">||; s|</table>.*||')
[ "$(grep -o '<tr>' <<<"$matrix" | wc -l)" = 3 ] || fail "the matrix has not 1 + 2 rows"
[ "$(grep -o '<td data-target=' <<<"$matrix" | wc -l)" = 4 ] || fail "the matrix has not 4 cells"
probe=$(sed -n 's|.*data-probe="\([^"]*\)".*|\1|p' "$out/matrix-dom.html")
[ "${probe% *}" = "#target=Fungi&amp;label=iq" ] || fail "a click on a cell asks for '${probe% *}'"
[ "${probe#* }" -le 1400 ] 2>/dev/null || fail "the page is ${probe#* } pixels wide in a 1400-pixel window"
expected=$(grep -c $'\tFungi\t.*\tiq$' "$out/matrix-iq.tsv")
dom "file://$out/matrix.html#target=Fungi&label=iq" >"$out/filtered.html"
[ "$(rows <"$out/filtered.html" | wc -l)" = "$expected" ] ||
    fail "a cell's address shows $(rows <"$out/filtered.html" | wc -l) rows, expected $expected"

# A report, not a table: the tally alone, no row and no script.
"$tavrin" --groupFile examples/groups.txt Choano examples/t1.nwk examples/t2.nwk 2>/dev/null |
    "$summary" --html "$out/report.html" >/dev/null 2>&1
dom "file://$out/report.html" >"$out/report-dom.html"
grep -q '<table class="tally">' "$out/report-dom.html" || fail "the report's page has no tally"
grep -q 'id="trees"' "$out/report-dom.html" && fail "the report's page lists trees"

[ $failed = 0 ] && echo "the page checked in $(chromium --version 2>/dev/null || echo chromium)"
exit $failed
