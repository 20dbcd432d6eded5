#!/usr/bin/env bash
# Times the page of Tavrin-summary --html in headless Chromium: from the browser's start to the
# page's DOM dumped once its script has run (start-up included), for the page of two labelled
# runs' tables of 100,004 trees (it lists the first 100,000) and of 1,000 trees, beside the
# browser's start on an empty page, interleaved in the same rounds so that all see the same
# load. Also gives each page's size against its tables'. Prints a markdown report (also written
# to bench/out/page.md).
#
# usage: bench/bench_page.sh [--runs N] [--build DIR]
#   --runs N     timed loads of each page (default 5); the median is shown
#   --build DIR  a build of Tavrin-summary to use (default: build-bench, configured here)
# Needs chromium (Debian package chromium) and /usr/bin/time.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"
# shellcheck source=tests/support/tables.sh
source "$root/tests/support/tables.sh"
# shellcheck source=tests/support/script_checks.sh
source "$root/tests/support/script_checks.sh"
require_tools "load the page" "chromium (Debian package chromium)"
runs=5
bench_run_options "${BASH_SOURCE[0]}" "$@"
bench_build Tavrin-summary
out_dir=$root/bench/out
mkdir -p "$out_dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The page of TREES generated trees, as $work/page-TREES.html; prints the tables' bytes.
make_page() { # trees
    labelled_tables "$1" >"$work/tables-$1.tsv"
    "$build/Tavrin-summary" --by label --html "$work/page-$1.html" "$work/tables-$1.tsv" \
        >/dev/null 2>&1
    stat -c %s "$work/tables-$1.tsv"
}

# Seconds from the browser's start to the DOM of PAGE dumped; fails unless the DOM holds TEXT,
# which the page's script writes once it has run.
load_seconds() { # page text
    local t0 t1
    t0=$EPOCHREALTIME
    browser_dom "file://$work/$1" >"$work/dom.html"
    t1=$EPOCHREALTIME
    grep -qF "$2" "$work/dom.html" || { echo "$1 did not load: no '$2'" >&2; exit 1; }
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", b - a }'
}

printf '<!DOCTYPE html>\n<html lang="en"><head><title>empty</title></head><body></body></html>\n' \
    >"$work/page-0.html"
declare -A tables
for trees in 1000 100004; do
    tables[$trees]=$(make_page "$trees")
done
declare -A shown=([0]="<title>empty</title>" [1000]=">1000 of 1000 trees shown, 1 to 500 below<"
    [100004]=">100000 of 100000 trees shown, 1 to 500 below<")
for ((r = 0; r < runs; r++)); do
    for trees in 0 1000 100004; do
        load_seconds "page-$trees.html" "${shown[$trees]}" >>"$work/t-$trees"
    done
done

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
mem=$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
start=$(median <"$work/t-0")
{
    echo "## The page in a browser (\`bench/bench_page.sh\`)"
    echo
    echo "- date: $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "- machine: $cpu, $(nproc) cores, $mem, Linux $(uname -r)"
    echo "- browser: $(chromium --version 2>/dev/null | head -1), headless, a new profile each load"
    echo "- time: median of $runs loads (\`chromium --headless --dump-dom file://PAGE\`, from the browser's start to the DOM written once the page's script has run), the three pages loaded in turn in each round"
    echo
    echo "| page | trees in the tables | rows listed | page MB | tables MB | page / tables | load s (median) | min s | max s | load less start-up s |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
    for trees in 0 1000 100004; do
        page=$(stat -c %s "$work/page-$trees.html")
        t=$(median <"$work/t-$trees")
        min=$(sort -g "$work/t-$trees" | head -1)
        max=$(sort -g "$work/t-$trees" | tail -1)
        if [[ $trees == 0 ]]; then
            echo "| empty (start-up) | - | - | - | - | - | $t | $min | $max | - |"
            continue
        fi
        listed=$((trees < 100000 ? trees : 100000))
        awk -v n="$trees" -v l="$listed" -v p="$page" -v b="${tables[$trees]}" -v t="$t" \
            -v lo="$min" -v hi="$max" -v s="$start" 'BEGIN {
            printf "| --by label --html | %d | %d | %.2f | %.2f | %.2f | %s | %s | %s | %.2f |\n",
                n, l, p / 1e6, b / 1e6, p / b, t, lo, hi, t - s }'
    done
} | tee "$out_dir/page.md"
