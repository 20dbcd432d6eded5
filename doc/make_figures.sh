#!/usr/bin/env bash
# Remakes the figures of doc/manual.md from a build of this checkout: pictures of Tavrin --draw
# rendered to PNG (rsvg-convert, Debian package librsvg2-bin) and screenshots of pages of
# Tavrin-summary --html (headless chromium, Debian package chromium): a batch's, and the study
# of the manual's walk-through made by its commands as written.
#
# usage: doc/make_figures.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
build_path=$(cd "$build" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A realistic gene tree with two sisters, and one whose target is not a clade.
"$build/Tavrin" --standard-newick --draw "$work/genes" --groupFile bench/genes/groups.txt Choano \
    bench/genes/iqtree/g005.nwk bench/genes/iqtree/g001.nwk >/dev/null 2>&1
rsvg-convert "$work/genes/000001_Choano_g005.svg" -o doc/draw-gene-tree.png
rsvg-convert "$work/genes/000002_Choano_g001.svg" -o doc/draw-not-a-clade.png
# The same tree analysed without the leaf that broke its target clade, hung back where it stood.
"$build/Tavrin" --standard-newick --outliers 3 --draw "$work/aside" \
    --groupFile bench/genes/groups.txt Choano bench/genes/iqtree/g001.nwk >/dev/null 2>&1
rsvg-convert "$work/aside/000001_Choano_g001.svg" -o doc/draw-set-aside.png

# The 10^6-leaf balanced tree of the benchmarks, drawn as wedges.
"$build/bench/tavrin_gen" balanced 1000000 "$work/balanced.nwk" >/dev/null
"$build/bench/tavrin_gen" groups "$work/groups.txt"
(cd "$work" && "$build_path/Tavrin" --draw big --groupFile groups.txt Choano balanced.nwk \
    >/dev/null)
rsvg-convert "$work/big/000001_Choano_balanced.svg" -o doc/draw-balanced-1e6.png

# A screenshot of the page at URL, WIDTH,HEIGHT pixels, as FILE (headless chromium).
screenshot() { # url file size
    chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
        --disable-component-update --disable-sync --no-first-run --user-data-dir="$work/profile" \
        --hide-scrollbars --window-size="$3" --screenshot="$PWD/$2" "$1" >/dev/null 2>&1
}

# The page of a batch: the gene trees of one program and a malformed file.
mkdir -p "$work/page"
"$build/Tavrin" --table --standard-newick --draw "$work/page/pictures" \
    --groupFile bench/genes/groups.txt Choano bench/genes/iqtree/g0[0-2]*.nwk examples/t3.nwk \
    >"$work/page/table.tsv"
(cd "$work/page" && "$build_path/Tavrin-summary" --html batch.html --pictures pictures table.tsv \
    >/dev/null 2>&1)
screenshot "file://$work/page/batch.html" doc/summary-page.png 1100,1500

# A study in one page: the commands of the manual's walk-through as written there, run in a
# scratch folder that holds this checkout's data and build under the names they use.
mkdir -p "$work/study-run"
ln -s "$PWD/bench" "$PWD/tests" "$work/study-run/"
ln -s "$build_path" "$work/study-run/build"
awk '/^## A study in one page/ { found = 1 } found && /^```sh$/ { code = 1; next }
    code && /^```$/ { exit } code' doc/manual.md >"$work/study.sh"
(cd "$work/study-run" && bash -e "$work/study.sh" 2>/dev/null)
screenshot "file://$work/study-run/study/study.html" doc/summary-study.png 1400,1100
