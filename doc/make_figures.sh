#!/usr/bin/env bash
# Remakes the figures of doc/manual.md from a build of this checkout: pictures of Tavrin --draw
# rendered to PNG (rsvg-convert, Debian package librsvg2-bin) and a screenshot of the page of
# Tavrin-summary --html (headless chromium, Debian package chromium).
#
# usage: doc/make_figures.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A realistic gene tree with two sisters, and one whose target is not a clade.
"$build/Tavrin" --standard-newick --draw "$work/genes" --groupFile bench/genes/groups.txt Choano \
    bench/genes/iqtree/g005.nwk bench/genes/iqtree/g001.nwk >/dev/null 2>&1
rsvg-convert "$work/genes/000001_g005.svg" -o doc/draw-gene-tree.png
rsvg-convert "$work/genes/000002_g001.svg" -o doc/draw-not-a-clade.png
# The same tree analysed without the leaf that broke its target clade, hung back where it stood.
"$build/Tavrin" --standard-newick --outliers 3 --draw "$work/aside" \
    --groupFile bench/genes/groups.txt Choano bench/genes/iqtree/g001.nwk >/dev/null 2>&1
rsvg-convert "$work/aside/000001_g001.svg" -o doc/draw-set-aside.png

# The 10^6-leaf balanced tree of the benchmarks, drawn as wedges.
"$build/bench/tavrin_gen" balanced 1000000 "$work/balanced.nwk" >/dev/null
"$build/bench/tavrin_gen" groups "$work/groups.txt"
(cd "$work" && "$OLDPWD/$build/Tavrin" --draw big --groupFile groups.txt Choano balanced.nwk \
    >/dev/null)
rsvg-convert "$work/big/000001_balanced.svg" -o doc/draw-balanced-1e6.png

# The page of a batch: the gene trees of one program and a malformed file.
mkdir -p "$work/page"
"$build/Tavrin" --table --standard-newick --draw "$work/page/pictures" \
    --groupFile bench/genes/groups.txt Choano bench/genes/iqtree/g0[0-2]*.nwk examples/t3.nwk \
    >"$work/page/table.tsv"
"$build/Tavrin-summary" --html "$work/page/batch.html" --pictures "$work/page/pictures" \
    "$work/page/table.tsv" >/dev/null 2>&1
chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --user-data-dir="$work/profile" \
    --hide-scrollbars --window-size=1100,1500 --screenshot="$PWD/doc/summary-page.png" \
    "file://$work/page/batch.html" >/dev/null 2>&1
