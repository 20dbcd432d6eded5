#!/usr/bin/env bash
# The values of the leading options. A missing or malformed value, or an option given twice, is
# one line on standard error and status 2 before any file is read: nothing on standard output,
# not even the table's header, whatever other leading options stand around it and in whatever
# order. The first fault from the left is the one reported. The values at the edges are taken,
# and the leading options end where the positional arguments begin.
#
# usage: leading_option_errors.sh <path to Tavrin>
set -u
tavrin=$(realpath "$1")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2
echo '((Choano-a,Choano-b)90,(Fungi-f,Metazoa-m)80);' >t.nwk
printf 'Opisthokonta Fungi\nOpisthokonta Metazoa\n' >groups.txt
failed=0

# expect <status> <stdout> <stderr> <argument>...: the run's status and exact output.
expect() {
    local status=$1 out=$2 err=$3
    shift 3
    local got=0 got_out got_err
    "$tavrin" "$@" >out.txt 2>err.txt </dev/null || got=$?
    IFS= read -r -d '' got_out <out.txt
    IFS= read -r -d '' got_err <err.txt
    if [[ $got != "$status" || $got_out != "$out" || $got_err != "$err" ]]; then
        echo "--- Tavrin$(printf " '%s'" "$@")"
        echo "status $got (expected $status); stdout, then stderr (cat -A notation):"
        cat -A out.txt
        echo "..."
        cat -A err.txt
        echo "expected stderr:"
        printf '%s' "$err" | cat -A
        failed=1
    fi
}

# refused <message> <argument>...: status 2, the message alone on standard error.
refused() {
    local message=$1
    shift
    expect 2 "" "$message"$'\n' "$@"
}

# refused_like <start> <argument>...: status 2, one line on standard error that starts so.
refused_like() {
    local start=$1
    shift
    local got=0 got_err
    "$tavrin" "$@" >out.txt 2>err.txt </dev/null || got=$?
    IFS= read -r -d '' got_err <err.txt
    if [[ $got != 2 || -s out.txt || $got_err != "$start"*$'\n' ||
        ${got_err%$'\n'} == *$'\n'* ]]; then
        echo "--- Tavrin$(printf " '%s'" "$@")"
        echo "status $got (expected 2); stdout, then stderr (cat -A notation):"
        cat -A out.txt
        echo "..."
        cat -A err.txt
        failed=1
    fi
}

# The missing value, at the end of the command line after other options.
refused 'Missing value for --support-field' --support-field
refused 'Missing value for --support-field' --table --outliers 1 --support-field
refused 'Missing value for --separator' --separator
refused 'Missing value for --separator' --standard-newick --support-field 2 --separator

# --support-field N: a whole number from 1 to 1000000, in decimal digits alone. The argument
# after the option is its value, even when it looks like an option.
refused "Value below 1 for --support-field: '0'" --support-field 0 Choano t.nwk
refused "Value below 1 for --support-field: '000'" --table --support-field 000 Choano t.nwk
refused "Negative value for --support-field: '-2'" --support-field -2 Choano t.nwk
for value in '' 1.5 +2 ' 2' 2x 0x2 --table; do
    refused "Not a whole number for --support-field: '$value'" --support-field "$value" Choano t.nwk
done
refused "Value too large for --support-field: '1000001' (at most 1000000)" \
    --support-field 1000001 Choano t.nwk
refused "Value too large for --support-field: '99999999999999999999999' (at most 1000000)" \
    --outliers 2 --support-field 99999999999999999999999 Choano t.nwk

# --separator C: one byte, not one that Newick or the standard reader gives a meaning to. The
# value is escaped as a table field is, so that the message stays one line.
for value in '' ab -- é; do
    refused "Not a single byte for --separator: '$value'" --separator "$value" Choano t.nwk
done
refused "Not a single byte for --separator: '\\t\\n\\\\'" --separator $'\t\n\\' Choano t.nwk
allowed=" (any byte but blanks and ( ) , : ; ' [ ])"
for value in '(' ')' ',' ':' ';' "'" '[' ']' ' '; do
    refused "Not a usable separator for --separator: '$value'$allowed" \
        --separator "$value" Choano t.nwk
done
refused "Not a usable separator for --separator: '\\t'$allowed" --separator $'\t' Choano t.nwk
refused "Not a usable separator for --separator: '\\n'$allowed" \
    --table --separator $'\n' Choano t.nwk
# The other blanks and control bytes are written as escapes too: the message stays one line
# that a terminal shows whole.
refused "Not a usable separator for --separator: '\\r'$allowed" --separator $'\r' Choano t.nwk
refused "Not a usable separator for --separator: '\\v'$allowed" --separator $'\v' Choano t.nwk
refused "Not a usable separator for --separator: '\\f'$allowed" --separator $'\f' Choano t.nwk
refused "Not a single byte for --separator: 'a\\x1b[2J'" --separator $'a\e[2J' Choano t.nwk
refused "Not a whole number for --outliers: '1\\r'" --outliers $'1\r' Choano t.nwk

# Each option at most once, wherever the second stands among the others.
refused 'Option given twice: --standard-newick' --standard-newick --standard-newick Choano t.nwk
refused 'Option given twice: --standard-newick' \
    --standard-newick --table --outliers 2 --standard-newick Choano t.nwk
refused 'Option given twice: --support-field' --support-field 2 --support-field 2 Choano t.nwk
refused 'Option given twice: --support-field' \
    --outliers 1 --support-field 2 --table --support-field 3 Choano t.nwk
refused 'Option given twice: --separator' \
    --separator @ --standard-newick --separator '|' Choano t.nwk
refused 'Option given twice: --table' --table --separator @ --table Choano t.nwk
refused 'Option given twice: --outliers' --outliers 1 --support-field 2 --outliers 1 Choano t.nwk

# The first fault from the left, whatever follows it.
refused "Value below 1 for --support-field: '0'" --support-field 0 --support-field 2 Choano t.nwk
refused 'Option given twice: --support-field' --support-field 2 --support-field 0 Choano t.nwk
refused "Not a single byte for --separator: 'ab'" --table --separator ab --table Choano t.nwk
refused 'Option given twice: --table' --table --separator @ --table --separator ab Choano t.nwk
refused "Not a whole number for --outliers: 'x'" --separator '|' --outliers x --support-field 0 \
    Choano t.nwk
refused "Value below 1 for --support-field: '0'" --outliers 3 --support-field 0 --outliers x \
    Choano t.nwk
refused "Not a whole number for --support-field: '0x'" \
    --standard-newick --support-field 0x --separator

# --root LIST: entries separated by commas, none of them empty.
refused 'Missing value for --root' --table --root
refused "Empty list for --root: ''" --root '' Choano t.nwk
for value in midpoint, ,midpoint a,,b , ,,; do
    refused "Empty entry in the list for --root: '$value'" --root "$value" Choano t.nwk
done
refused "Empty entry in the list for --root: 'a\\tb,'" --outliers 2 --root $'a\tb,' Choano t.nwk
refused 'Option given twice: --root' --root midpoint --table --root given Choano t.nwk
refused 'Option given twice: --root' --root midpoint --root 'a,,b' Choano t.nwk
# An outgroup that no leaf matches is passed over, and said at the end.
expect 0 "$(printf 't.nwk:\nChoano\tFungi\t80\nChoano\tMetazoa\t80')"$'\n' \
    $'Warning: --root entry \'Plantae\' matched no leaf in any tree\n' \
    --root 'Plantae,given' Choano t.nwk

report=$'t.nwk:\nChoano\tFungi\t80\nChoano\tMetazoa\t80\n'

# --burnin N: a whole number of trees; --support-attribute NAME: a name that is not empty. Both
# read standard Newick; the attribute replaces the support field. Checked once every leading
# option has been read, before the positional arguments (a run without files too).
refused 'Missing value for --burnin' --standard-newick --burnin
refused 'Missing value for --support-attribute' --support-attribute
for value in x 1.5 '' ' 1' +1 1e3; do
    refused "Not a whole number for --burnin: '$value'" --standard-newick --burnin "$value" Choano t.nwk
done
refused "Negative value for --burnin: '-1'" --standard-newick --burnin -1 Choano t.nwk
refused "Value too large for --burnin: '1000000000001' (at most 1000000000000)" \
    --standard-newick --burnin 1000000000001 Choano t.nwk
refused 'Empty name for --support-attribute' --standard-newick --support-attribute '' Choano t.nwk
refused '--burnin needs --standard-newick' --burnin 10 Choano t.nwk
refused '--burnin needs --standard-newick' --table --burnin 0 --separator @ Choano
refused '--support-attribute needs --standard-newick' --support-attribute prob Choano t.nwk
refused '--root-strays above 0 needs --root' --root-strays 2 Choano t.nwk
refused '--root-strays above 0 needs --root' --table --root-strays 10 --sister-purity 0.8 Choano
expect 0 "$report" "" --root-strays 0 --groupFile groups.txt Choano t.nwk
refused '--support-attribute needs --standard-newick' --support-attribute prob --burnin 1 Choano
refused '--support-attribute and --support-field cannot be given together' \
    --support-field 2 --standard-newick --support-attribute prob Choano t.nwk
refused '--support-attribute and --support-field cannot be given together' \
    --standard-newick --support-attribute prob --support-field 1 Choano
refused 'Option given twice: --burnin' --standard-newick --burnin 1 --burnin 1 Choano t.nwk
refused 'Option given twice: --support-attribute' \
    --support-attribute prob --standard-newick --support-attribute prob Choano t.nwk
refused "Not a whole number for --burnin: 'x'" --burnin x --support-attribute prob Choano t.nwk
expect 0 "$report" "" --burnin 0 --standard-newick --groupFile groups.txt Choano t.nwk
expect 0 "" "" --burnin 1 --standard-newick --groupFile groups.txt Choano t.nwk

# The values at the edges are taken: 1000000 (no label has that many parts, so every support
# reads 0), leading zeros, a backslash or a byte above 127 as the separator.
expect 0 "$report" "" --support-field 01 Choano t.nwk
expect 0 "${report//80/0}" "" --support-field 1000000 Choano t.nwk
expect 0 "$report" "" \
    --separator - --support-field 1 --standard-newick --groupFile groups.txt Choano t.nwk
tree=$(<t.nwk)
for separator in '\' $'\xff'; do
    printf '%s\n' "${tree//-/"$separator"}" >renamed.nwk
    expect 0 "${report//t.nwk/renamed.nwk}" "" --separator "$separator" Choano renamed.nwk
done

# The leading options come first: after the search prefix, or after --groupFile, they are
# positional arguments like any other (here, tree files that do not exist).
expect 15 $'--standard-newick:\n' $'The file --standard-newick is not opened\n' \
    Choano --standard-newick t.nwk
expect 15 $'Choano:\n' \
    "Warning: the search prefix '--support-field' begins with '-': a misspelled option? (Tavrin --help lists them)"$'\nThe file Choano is not opened\n' \
    --groupFile groups.txt --support-field Choano t.nwk
# Too few positional arguments after them asks for the short help, as without them.
help=$("$tavrin" 2>&1)
expect 0 "" "$help"$'\n' --standard-newick --support-field 2 --separator @ Choano
expect 0 "" "$help"$'\n' --separator @ -h Choano t.nwk
exit "$failed"
