#!/usr/bin/env bash
# The bash completion against the programs: every option of both --help texts offered, each at
# most once on a line, the values of the options that take one, and no value rule for an option
# the programs do not have (or that takes no value).
set -uo pipefail
completion=$1 tavrin=$2 summary=$3
source "$(dirname "$0")/../support/script_checks.sh"
source "$completion"

# COMPREPLY for the command line `words...`, the last word being the one completed, one per line.
complete_line() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _tavrin
    printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' '
}
expect() { # expected words...
    local expected=$1 got
    shift
    got=$(complete_line "$@")
    [ "$got" = "$expected" ] || fail "'$*': got '$got', expected '$expected'"
}

# Every option the help lists, as the help writes it (-h, -? and -h, --help are two names each).
help_options() {
    "$1" --help | sed -n 's/^  \(-[^ ,]*\(, -[^ ]*\)\?\).*/\1/p' | tr -d ',' | tr ' ' '\n' |
        LC_ALL=C sort | paste -sd ' '
}
for program in "$tavrin" "$summary"; do
    listed=$(help_options "$program")
    [ "$(echo "$listed" | wc -w)" -ge 8 ] || fail "$program: too few options in --help: $listed"
    expect "$listed" "$program" -
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/pictures" "$work/pages"
touch "$work/groups.txt" "$work/page.html"

while IFS='|' read -r expected line; do
    [ -z "$line" ] && continue
    # shellcheck disable=SC2086
    eval "set -- $line"
    expect "$expected" "$@"
done <<CASES
--table --targets|"$tavrin" --ta
--targets --threads|"$tavrin" --table --t
--support-attribute --support-field|"$tavrin" --support-
|"$tavrin" --table --table
auto|"$tavrin" --threads ''
given midpoint|"$tavrin" --root ''
Excavata,midpoint|"$tavrin" --root Excavata,m
given|"$tavrin" --table --root g
B posterior prob|"$tavrin" --support-attribute ''
|"$tavrin" --outliers ''
$work/pages $work/pictures|"$tavrin" --draw "$work/p"
$work/groups.txt|"$tavrin" --groupFile "$work/g"
--groupFile|"$tavrin" --table --gr
--html|"$summary" --ht
file label target|"$summary" --first --by ''
label,file label,target|"$summary" --by label,
label,target,file|"$summary" --by label,target,
|"$summary" --by label,target,file,
--by=file --by=label --by=target|"$summary" --by=
$work/pictures|"$summary" --html page.html --pictures "$work/pi"
$work/page.html $work/pages|"$summary" --first --html "$work/pa"
CASES

# Value rules name only options that take a value in one of the programs.
value_options=" $(for program in "$tavrin" "$summary"; do _tavrin_options "$program"; done |
    awk '$2 != "" { print $1 }' | paste -sd ' ') "
while read -r rule; do
    for name in ${rule//|/ }; do
        [[ $value_options == *" $name "* ]] || fail "a value rule for $name, which takes no value"
    done
done < <(sed -n 's/^ *\(--[a-zA-Z-]*\( | --[a-zA-Z-]*\)*\))\( .*\)\?$/\1/p' "$completion" |
    tr -d ' )')
exit $failed
