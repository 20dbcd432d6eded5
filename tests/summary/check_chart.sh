#!/usr/bin/env bash
# Checks the charts of Tavrin-summary with an XML parser (xmllint) and a renderer (rsvg-convert):
#   1. the chart of the bundled examples, which must also equal doc/sisters.svg;
#   2. the chart of a report with names that need escaping or are not UTF-8, several targets and
#      more pairs than bars;
#   3. the charts of that report by target, in one document.
# Both must parse as XML and render to PNG. The charts and PNGs are left in OUTPUT_DIR.
#
# usage: check_chart.sh <Tavrin> <Tavrin-summary> <source dir> [OUTPUT_DIR]
# Exit status 77 (skipped) when a tool is missing, except in CI (CI set), where that fails.
set -euo pipefail

tavrin=$1
summary=$2
source_dir=$3
out=${4:-$(mktemp -d)}
mkdir -p "$out"

# shellcheck source=tests/support/script_checks.sh
source "$source_dir/tests/support/script_checks.sh"
require_tools "check the chart" "xmllint (Debian package libxml2-utils)" \
    "rsvg-convert (Debian package librsvg2-bin)"

# ---- 1. The bundled examples, run as the README shows them.
(cd "$source_dir" && "$tavrin" --groupFile examples/groups.txt Choano examples/*.nwk 2>/dev/null |
    "$summary" --svg "$out/sisters.svg" >"$out/sisters.tsv" 2>/dev/null)
if ! cmp -s "$out/sisters.svg" "$source_dir/doc/sisters.svg"; then
    fail "doc/sisters.svg differs from the chart of the bundled examples ($out/sisters.svg);" \
        "if the change is intended, copy it there"
fi

# ---- 2. Awkward names: markup characters, bytes that are not UTF-8, a control character, a
# very long name; two targets; 40 pairs, so 30 bars and one for the 10 others.
{
    for i in $(seq 1 60); do
        echo "tree$i.nwk:"
        printf 'Choano\tA&B <C> "D" '\''E'\''\t%s\n' $((i % 100))
        [ $((i % 2)) -eq 0 ] && printf 'Choano\tbad\xff\xfe utf8 \x01 here\tn/a\n'
        [ $((i % 3)) -eq 0 ] && printf 'Fungi & co\t%s\t95\n' "$(printf 'L%.0s' $(seq 1 200))"
        [ $i -le 37 ] && printf 'Choano\tSister%02d\t%s\n' "$i" $((i * 7 % 100))
    done
} >"$out/awkward.tsv"
"$summary" --min-support 50 --svg "$out/awkward.svg" "$out/awkward.tsv" >"$out/awkward-table.tsv" 2>/dev/null ||
    fail "Tavrin-summary failed on the awkward report"
grep -q 'A&amp;B &lt;C&gt; &quot;D&quot; &apos;E&apos;' "$out/awkward.svg" || fail "markup in a name is not escaped"
grep -q '>other (10 pairs)</text>' "$out/awkward.svg" || fail "no bar for the pairs past the thirtieth"
grep -q 'Sisters of Choano and Fungi &amp; co in 60 trees' "$out/awkward.svg" || fail "title"

# ---- 3. One chart per group (--by target): the awkward report's two targets, one under the other.
"$summary" --by target --svg "$out/grouped.svg" "$out/awkward.tsv" >/dev/null 2>&1 ||
    fail "Tavrin-summary --by target failed on the awkward report"
[ "$(grep -c '<svg ' "$out/grouped.svg")" = 3 ] || fail "not one chart per target in grouped.svg"
grep -q 'Sisters of Fungi &amp; co in 20 trees, target Fungi &amp; co (--min-support 70)' \
    "$out/grouped.svg" || fail "the second chart's title does not name its group"

for chart in sisters awkward grouped; do
    if ! xmllint --noout "$out/$chart.svg"; then
        fail "$chart.svg is not well-formed XML"
        continue
    fi
    if ! rsvg-convert --format png --output "$out/$chart.png" "$out/$chart.svg"; then
        fail "rsvg-convert cannot render $chart.svg"
    elif [ "$(head -c 8 "$out/$chart.png" | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ]; then
        fail "rsvg-convert did not write a PNG for $chart.svg"
    fi
done

[ $failed -eq 0 ] && echo "charts well-formed and rendered: $out/sisters.png $out/awkward.png $out/grouped.png"
exit $failed
