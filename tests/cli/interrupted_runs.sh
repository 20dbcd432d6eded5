#!/usr/bin/env bash
# Runs interrupted at any moment leave their folders as they were plus whole files: a --draw run
# and a Tavrin-summary run writing a chart and a page, sent SIGINT or SIGTERM after increasing
# delays, leave no temporary file, every picture parses as XML, the chart and the page are the
# old ones or the new ones whole, and the process ends as the signal ends it (128 + N). A run
# writing into a folder removes the temporary files that a run ended more than an hour ago
# left there, and only those.
#
# usage: interrupted_runs.sh <Tavrin> <Tavrin-summary> <tavrin_gen>
set -u
# Job control: a background command keeps SIGINT (a shell without it starts them ignoring it).
set -m
# shellcheck source=tests/support/script_checks.sh
source "$(dirname "$0")/../support/script_checks.sh"
require_tools "check the pictures" "xmllint (libxml2-utils)"
tavrin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
summary=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
gen=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2

"$gen" balanced 4000 big.nwk >/dev/null || exit 2
trees=()
for i in $(seq 150); do trees+=(big.nwk); done
# A table of many trees: a page of some megabytes, which takes a while to write. Its rows fill
# the columns by their names in the header.
"$tavrin" --table Fungi big.nwk | head -n 1 >header.tsv
{
    cat header.tsv
    awk -F '\t' 'NR == 1 { for (c = 1; c <= NF; c++) name[c] = $c; columns = NF }
        END {
            for (i = 1; i <= 100000; i++) {
                v["file"] = sprintf("genes/g%06d.nwk", i); v["tree"] = 1; v["target"] = "Choano"
                v["status"] = "sisters"; v["sister1"] = "Sister" (i % 3000); v["support"] = i % 100
                v["rerooted"] = 0; v["target_leaves"] = 5; v["root"] = "given"
                line = ""
                for (c = 1; c <= columns; c++) line = line (c > 1 ? "\t" : "") v[name[c]]
                print line
            }
        }' header.tsv
} >table.tsv
"$summary" table.tsv >/dev/null 2>&1 || { echo "the table is not read: $("$summary" table.tsv 2>&1 | head -n 2)"; exit 2; }

temporaries() { # folder
    find "$1" -name '.tavrin-*' | wc -l
}

# Runs the command in the background, sends `signal` after `delay` seconds, and prints its status.
interrupted() { # signal delay command...
    local signal=$1 delay=$2
    shift 2
    "$@" >/dev/null 2>&1 &
    local pid=$!
    sleep "$delay"
    kill -s "$signal" "$pid" 2>/dev/null
    wait "$pid"
    echo $?
}

# Milliseconds that a whole run of the command takes.
duration() { # command...
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

draw=("$tavrin" --draw pictures Choano "${trees[@]}")
summarise=("$summary" --svg pages/chart.svg --html pages/page.html table.tsv)
mkdir pictures pages
draw_time=$(duration "${draw[@]}")
summary_time=$(duration "${summarise[@]}")

declare -A number=([INT]=2 [TERM]=15)
stopped=0
steps=12
for signal in INT TERM; do
    # Delays spread over a whole run's time, and a little past it.
    for step in $(seq 0 $steps); do
        rm -rf pictures && mkdir pictures && echo '<svg xmlns="http://www.w3.org/2000/svg"/>' >pictures/old.svg
        delay=$(awk -v ms="$draw_time" -v k="$step" -v n=$steps 'BEGIN { printf "%.3f", ms * k / n / 1000 }')
        status=$(interrupted "$signal" "$delay" "${draw[@]}")
        what="--draw, SIG$signal after ${delay}s"
        [[ $status -eq 0 || $status -eq $((128 + number[$signal])) ]] ||
            fail "$what: status $status, expected 0 or $((128 + number[$signal]))"
        [[ $status -ne 0 ]] && stopped=$((stopped + 1))
        [[ $(temporaries pictures) -eq 0 ]] || fail "$what: left $(find pictures -name '.tavrin-*')"
        for picture in pictures/*.svg; do
            xmllint --noout "$picture" 2>/dev/null || fail "$what: $picture is not whole"
        done

        rm -rf pages && mkdir pages && echo old >pages/chart.svg && echo old >pages/page.html
        delay=$(awk -v ms="$summary_time" -v k="$step" -v n=$steps 'BEGIN { printf "%.3f", ms * k / n / 1000 }')
        status=$(interrupted "$signal" "$delay" "${summarise[@]}")
        what="Tavrin-summary, SIG$signal after ${delay}s"
        [[ $status -eq 0 || $status -eq $((128 + number[$signal])) ]] ||
            fail "$what: status $status, expected 0 or $((128 + number[$signal]))"
        [[ $status -ne 0 ]] && stopped=$((stopped + 1))
        [[ $(temporaries pages) -eq 0 ]] || fail "$what: left $(find pages -name '.tavrin-*')"
        for file in pages/chart.svg pages/page.html; do
            [[ "$(head -c 4 "$file")" == old ]] || tail -c 8 "$file" | grep -q '</' ||
                fail "$what: $file is neither the old file nor a whole new one"
        done
    done
done
# The first delays stop the runs, whatever the machine's speed.
[[ $stopped -ge 4 ]] || fail "only $stopped runs were stopped by the signal"

# Temporary files left more than an hour ago go; newer ones (a run under way) stay.
rm -rf pictures && mkdir pictures
touch -d '2 hours ago' pictures/.tavrin-99999-0.tmp
touch pictures/.tavrin-99999-1.tmp
ln -s /dev/null pictures/.tavrin-99999-2.tmp && touch -h -d "2 hours ago" pictures/.tavrin-99999-2.tmp
"$tavrin" --draw pictures Choano big.nwk >/dev/null 2>&1 || fail "--draw after a stale file failed"
[[ ! -e pictures/.tavrin-99999-0.tmp ]] || fail "the stale temporary file was left"
[[ -e pictures/.tavrin-99999-1.tmp ]] || fail "a recent temporary file was removed"
[[ -L pictures/.tavrin-99999-2.tmp ]] || fail "a link named as a temporary file was removed"

exit $failed
