#!/usr/bin/env bash
# Checks the pictures of whole runs of Tavrin --draw against the table of the same run:
#   - one picture per tree that was read, none for a malformed one, named <n>_<base>[_k].svg;
#   - every picture parses as XML (xmllint) and stays within 1,000,000 bytes;
#   - the `target` labels of a small tree are its target leaves (those the table counts, less the
#     leaves set aside), its `aside` labels the leaves set aside, and `sister1` / `sister2`
#     labels appear when the table names that sister, or when the legend says no name fits it;
#   - each picture records its row (file, tree, label) in its <metadata>;
#   - strays keep their sister's class, struck through, as many as the table lists;
#   - big trees are drawn with wedges and at most 400 labels;
#   - a few render to PNG (rsvg-convert);
#   - the 10^6-leaf ladder is drawn within a time limit.
# The pictures and PNGs are left in OUTPUT_DIR.
#
# usage: check_pictures.sh <Tavrin> <tavrin_gen> <source dir> [OUTPUT_DIR]
# Exit status 77 (skipped) when a tool is missing, except in CI (CI set), where that fails.
set -euo pipefail

tavrin=$1
gen=$2
source_dir=$3
out=${4:-$(mktemp -d)}
rm -rf "$out"
mkdir -p "$out"

# shellcheck source=tests/support/script_checks.sh
source "$source_dir/tests/support/script_checks.sh"
require_tools "check the pictures" "xmllint (Debian package libxml2-utils)" \
    "rsvg-convert (Debian package librsvg2-bin)"

count() { # xpath-expression file
    xmllint --xpath "$1" "$2"
}

# Checks the pictures in DIR against TABLE, the table of the run that drew them.
check_run() { # name table dir
    local name=$1 table=$2 dir=$3
    local n=0 drawn=0
    # Tabs are read as another separator, so that empty columns keep their place.
    while IFS=$'\037' read -r file tree target status sister1 sister2 support rerooted leaves outliers names root strays root_strays label; do
        n=$((n + 1))
        local pictures=("$dir"/$(printf '%06d' "$n")_*.svg)
        if [ "$status" = malformed ] || [ "$status" = unreadable ]; then
            [ -e "${pictures[0]}" ] && fail "$name: a picture for the $status tree $n"
            continue
        fi
        if [ ${#pictures[@]} -ne 1 ] || [ ! -e "${pictures[0]}" ]; then
            fail "$name: tree $n ($file) has ${#pictures[@]} pictures"
            continue
        fi
        drawn=$((drawn + 1))
        local svg=${pictures[0]}
        xmllint --noout "$svg" || { fail "$name: $svg is not well-formed XML"; continue; }
        [ "$(stat -c %s "$svg")" -le 1000000 ] || fail "$name: $svg is over 1,000,000 bytes"
        local text='//*[local-name()="text"]'
        [ "$(count 'string(//*[local-name()="metadata"])' "$svg")" = "$file"$'\t'"$tree"$'\t'"$target"$'\t'"$label" ] ||
            fail "$name: $svg records $(count 'string(//*[local-name()="metadata"])' "$svg")"
        # Leaves set aside are drawn apart from the tree analysed, with their own class.
        local expected=$leaves aside=0
        if [ -n "$names" ] && [ "$status" != ambiguous ] && [ "${outliers:-0}" -le "${max_outliers:-0}" ]; then
            expected=$((leaves - $(tr ',' '\n' <<<"$names" | grep -c "^$target" || true)))
            aside=$(tr ',' '\n' <<<"$names" | wc -l)
        fi
        # A small tree: every leaf drawn, no wedge.
        if ! grep -q 'class="w-[a-z0-9]*" d=' "$svg"; then
            [ "$(count "count($text[@class='target'])" "$svg")" = "$expected" ] ||
                fail "$name: $svg has $(count "count($text[@class='target'])" "$svg") target labels, the table $expected"
            [ "$(count "count($text[@class='aside'])" "$svg")" = "$aside" ] ||
                fail "$name: $svg has $(count "count($text[@class='aside'])" "$svg") leaves set aside, the table $aside"
            # Strays keep their sister's class and are struck through.
            local strays_expected=0
            [ -n "$strays" ] && strays_expected=$(tr ',' '\n' <<<"$strays" | wc -l)
            [ "$(count "count($text[contains(@style,'line-through')][@class='sister1' or @class='sister2'])" "$svg")" = "$strays_expected" ] ||
                fail "$name: $svg marks another number of strays than the table's $strays_expected"
        fi
        # Merged subtrees may hold a sister's leaves.
        grep -q '>mixed (' "$svg" && continue
        for role in sister1 sister2; do
            local named=${sister1}
            [ $role = sister2 ] && named=${sister2}
            local drawn_role
            drawn_role=$(count "count($text[@class='$role'])" "$svg")
            if [ -n "$named" ] && [ "$drawn_role" = 0 ]; then fail "$name: $svg draws no $role ($named)"; fi
            local ordinal=first
            [ $role = sister2 ] && ordinal=second
            if [ -z "$named" ] && [ "$drawn_role" != 0 ] && ! grep -q ">$ordinal sister: no name fits<" "$svg"; then
                fail "$name: $svg draws a $role the table lacks"
            fi
        done
    done < <(tail -n +2 "$table" | tr '\t' '\037')
    local files
    files=$(find "$dir" -type f | wc -l)
    [ "$files" = "$drawn" ] || fail "$name: $files files in $dir for $drawn trees"
    echo "$name: $drawn pictures checked"
}

# ---- Small trees: the examples, and realistic gene trees from three inference programs.
cd "$source_dir"
max_outliers=0
"$tavrin" --table --draw "$out/examples" --groupFile examples/groups.txt Choano examples/*.nwk \
    >"$out/examples.tsv"
check_run examples "$out/examples.tsv" "$out/examples"
for program in iqtree fasttree raxml; do
    "$tavrin" --table --standard-newick --draw "$out/$program" --groupFile bench/genes/groups.txt \
        Choano bench/genes/$program/g0[0-2]*.nwk >"$out/$program.tsv"
    check_run "$program" "$out/$program.tsv" "$out/$program"
done
max_outliers=3
"$tavrin" --table --outliers 3 --standard-newick --draw "$out/outliers" \
    --groupFile bench/genes/groups.txt Choano bench/genes/iqtree/g0[0-2]*.nwk >"$out/outliers.tsv"
check_run outliers "$out/outliers.tsv" "$out/outliers"
grep -q "Set aside: " "$out"/outliers/*.svg || fail "no picture of the outliers run says what was set aside"
max_outliers=0
"$tavrin" --table --sister-purity 0.8 --standard-newick --draw "$out/purity" \
    --groupFile bench/genes/groups.txt Choano bench/genes/raxml/g0[0-2]*.nwk >"$out/purity.tsv"
check_run purity "$out/purity.tsv" "$out/purity"
grep -q "Strays: " "$out"/purity/*.svg || fail "no picture of the purity run lists strays"

# A file of several trees: one picture per tree, numbered on through the run.
printf '((A-1,A-2),B-1);\n((A-1,B-1),B-2);\n' >"$out/two.nwk"
"$tavrin" --standard-newick --draw "$out/several" A "$out/two.nwk" examples/t1.nwk >/dev/null 2>&1
[ "$(cd "$out/several" && ls | tr '\n' ' ')" = "000001_A_two_1.svg 000002_A_two_2.svg 000003_A_t1.svg " ] ||
    fail "pictures of a file of several trees: $(ls "$out/several" | tr '\n' ' ')"
# A file that cannot be read uses up its row's number, as a malformed tree does.
"$tavrin" --table --standard-newick --draw "$out/unreadable" A "$out/two.nwk" "$out/missing.nwk" \
    examples/t1.nwk >"$out/unreadable.tsv" 2>/dev/null || true
[ "$(cd "$out/unreadable" && ls | tr '\n' ' ')" = "000001_A_two_1.svg 000002_A_two_2.svg 000004_A_t1.svg " ] ||
    fail "pictures after a file that cannot be read: $(ls "$out/unreadable" | tr '\n' ' ')"

# ---- Big trees: wedges, at most 400 tips.
"$gen" balanced 20000 "$out/balanced.nwk" >/dev/null
"$gen" caterpillar 20000 "$out/ladder.nwk" >/dev/null
"$gen" groups "$out/groups.txt"
"$tavrin" --table --draw "$out/big" --groupFile "$out/groups.txt" Choano "$out/balanced.nwk" \
    "$out/ladder.nwk" >"$out/big.tsv"
check_run big "$out/big.tsv" "$out/big"
for svg in "$out"/big/*.svg; do
    tips=$(count 'count(//*[local-name()="text"][@class="target" or @class="sister1" or @class="sister2" or @class="other"])' "$svg")
    [ "$tips" -le 400 ] || fail "$svg has $tips labelled tips"
done
grep -q '>Choano (128)</text>' "$out/big/000001_Choano_balanced.svg" ||
    fail "the balanced tree's target clade is not one wedge"
grep -q '>mixed (' "$out/big/000002_Choano_ladder.svg" || fail "the ladder merges no subtree"

# ---- A few rendered.
for svg in "$out/examples/000001_Choano_t1.svg" "$out/iqtree/000005_Choano_g005.svg" \
    "$out/iqtree/000001_Choano_g001.svg" "$out/big/000001_Choano_balanced.svg"; do
    rsvg-convert "$svg" -o "${svg%.svg}.png" || fail "rsvg-convert cannot render $svg"
done

# ---- The 10^6-leaf ladder, drawn without recursion in reasonable time.
"$gen" caterpillar 1000000 "$out/ladder6.nwk" >/dev/null
if timeout 120 "$tavrin" --draw "$out/ladder6" --groupFile "$out/groups.txt" Choano \
    "$out/ladder6.nwk" >"$out/ladder6.out"; then
    svg="$out/ladder6/000001_Choano_ladder6.svg"
    xmllint --noout "$svg" || fail "the 10^6 ladder's picture is not well-formed XML"
    [ "$(stat -c %s "$svg")" -le 1000000 ] || fail "the 10^6 ladder's picture is over 1 MB"
else
    fail "the 10^6 ladder was not drawn within 120 s (status $?)"
fi
rm -f "$out/ladder6.nwk"

[ $failed = 0 ] && echo "all pictures checked"
exit $failed
