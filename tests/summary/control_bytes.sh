#!/usr/bin/env bash
# A tree whose leaf names hold terminal escapes (ESC ] 0 ; ... BEL sets a window title, ESC [ 2 J
# clears the screen), run through Tavrin and then Tavrin-summary, with paths holding the same
# bytes on the command line: no stream of either program carries a byte below 0x20 other than
# the tab and the line break, and the summary writes the names as Tavrin's table wrote them.
#
# usage: control_bytes.sh <Tavrin> <Tavrin-summary>
set -u
# shellcheck source=tests/support/script_checks.sh
source "$(dirname "$0")/../support/script_checks.sh"
tavrin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
summary=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2

esc=$'\e'
bel=$'\a'
evil="${esc}]0;owned${bel}${esc}[2J"
printf "((Choano-a:1,Choano-b:1)90:1,('Met%s-x':1,'Fungi%s-y':1)80:1);\n" "$evil" "$evil" >tree.nwk
# The same tree as the classic reader reads it: names as they are.
printf "((Choano-a:1,Choano-b:1)90:1,(Met%s-x:1,Fungi%s-y:1)80:1);\n" "$evil" "$evil" >classic.nwk
mkdir "pics$evil"
mkdir "pics$evil/000001_Choano_tree.svg"  # a folder where the picture would go: it cannot be written

# Fails when a stream holds a control byte other than a tab or a line break.
clean() { # what file
    if tr -d '\t\n' <"$2" | LC_ALL=C grep -q '[[:cntrl:]]'; then
        fail "$1: raw control byte in $(basename "$2"): $(cat -A "$2" | head -n 3)"
    fi
}
run() { # what command...
    local what=$1
    shift
    "$@" >out 2>err
    clean "$what" out
    clean "$what" err
}

run "table" "$tavrin" --standard-newick --table Choano tree.nwk
cp out table.tsv
grep -qF 'Met\x1b]0;owned\x07\x1b[2J' table.tsv || fail "the table does not escape the names"
run "report" "$tavrin" --standard-newick Choano tree.nwk
cp out report.txt
run "--draw" "$tavrin" --standard-newick --draw "pics$evil" Choano tree.nwk
grep -qF 'Couldnt write picture: pics\x1b]0;owned\x07\x1b[2J/000001_Choano_tree.svg' err ||
    fail "--draw: the folder is not escaped: $(cat -A err)"
run "--draw to a file" "$tavrin" --draw tree.nwk/x Choano tree.nwk
# The classic reader's report writes names as they always were; the summary escapes them.
"$tavrin" Choano classic.nwk >classic.txt 2>/dev/null

run "summary of the table" "$summary" --by target table.tsv
grep -qF 'Met\x1b]0;owned\x07\x1b[2J' out || fail "the summary does not write the names as the table held them"
run "summary of the report" "$summary" report.txt
run "summary of the classic report" "$summary" classic.txt
grep -qF 'Met\x1b]0;owned\x07\x1b[2J' out || fail "the summary does not escape the raw names"
run "summary by target of the classic report" "$summary" --by target classic.txt
run "missing report" "$summary" "no$evil.txt"
run "unknown option" "$summary" "--x$evil"
run "bad --by" "$summary" --by "x$evil" table.tsv
run "chart in a missing folder" "$summary" --svg "none$evil/chart.svg" table.tsv
grep -qF 'none\x1b]0;owned\x07\x1b[2J/chart.svg' err || fail "--svg: the path is not escaped: $(cat -A err)"
run "--pictures not a folder" "$summary" --html page.html --pictures "tree.nwk$evil" table.tsv
run "the page" "$summary" --html page.html --svg chart.svg table.tsv
# The page and the chart show the names as before: a control byte, which XML cannot hold, as
# the replacement character U+FFFD.
grep -qF "Met"$'\xef\xbf\xbd'"]0;owned" page.html || fail "the page does not show the names as before"
grep -qF "Met"$'\xef\xbf\xbd'"]0;owned" chart.svg || fail "the chart does not show the names as before"

exit $failed
