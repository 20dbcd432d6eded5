#!/usr/bin/env bash
# Properties of the reading options, on every tree file of the command-line cases, of the
# program outputs under data/pipelines and of the 105 gene trees under bench/genes (FastTree,
# IQ-TREE and RAxML, as the programs wrote them), for three searches (a group file,
# --outliers 2, --E), each in the report and in the table:
#
#   several trees  A file of N trees read with --standard-newick gives the rows of the N files
#                  read one by one (headers <File>:<k>: for <File>:, and in the table the same
#                  columns apart from the file and the tree), outliers set aside included.
#   defaults       --support-field 1 with --separator - changes no byte of the output, in either
#                  reader.
#   separator      Trees whose leaves are named <Group>-<gene> give, renamed <Group>@<gene> and
#                  read with --separator @, the same output once the names are mapped back; in
#                  either reader, with '@', '%' (which no program output holds) or '|'.
#   both readers   A tree that both readers read, without a root of three or more children,
#                  gives the same output in either.
#
# usage: option_properties.sh <path to Tavrin> <tests directory> <examples directory>
set -u
export LC_ALL=C
tavrin=$(realpath "$1")
tests=$(realpath "$2")
groups=$(realpath "$3")/groups.txt

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$tests" || exit 2
mapfile -t all < <(find cli/cases data/pipelines ../bench/genes -name '*.nwk' -type f | sort)
failed=0

# The searches: `lead` holds the leading options, `shape` the arguments before the files.
search() {
    case $1 in
        0) lead=() shape=(--groupFile "$groups" Choano) ;;
        1) lead=(--outliers 2) shape=(F) ;;
        2) lead=() shape=(--E '^Meta') ;;
    esac
}

# Runs are compared in the shell, not by a command per comparison: a run's standard output,
# standard error and status are kept in out[<name>], err[<name>] and status[<name>].
declare -A out err status

# slurp <variable> <file>: the file's bytes, trailing line breaks included.
slurp() { IFS= read -r -d '' "$1" <"$2" || true; }

# run <name> <option>... -- <file>...: Tavrin with the search's arguments, in the current
# directory.
run() {
    local name=$1 options=() got=0 text
    shift
    while [[ $1 != -- ]]; do
        options+=("$1")
        shift
    done
    shift
    "$tavrin" "${lead[@]}" "${options[@]}" "${shape[@]}" "$@" >"$work/out" 2>"$work/err" ||
        got=$?
    slurp text "$work/out"
    out[$name]=$text
    slurp text "$work/err"
    err[$name]=$text
    status[$name]=$got
}

# same <what> <name> <name>: the two runs wrote the same bytes and ended alike.
same() {
    local what=$1 a=$2 b=$3
    if [[ ${out[$a]} != "${out[$b]}" || ${err[$a]} != "${err[$b]}" ||
        ${status[$a]} != "${status[$b]}" ]]; then
        echo "--- $what (search: ${lead[*]} ${shape[*]}): the runs differ"
        diff <(printf '%s' "${out[$a]}${err[$a]}") <(printf '%s' "${out[$b]}${err[$b]}") | head -8
        echo "statuses ${status[$a]} and ${status[$b]}"
        failed=1
    fi
}

# The files whose single tree --standard-newick reads.
single_trees() {
    "$tavrin" --standard-newick --table x "$@" | awk -F '\t' '
        NR > 1 { if ($2 > 1) several[$1] = 1; else if ($4 != "malformed") one[++n] = $1 }
        END { for (i = 1; i <= n; ++i) if (!(one[i] in several)) print one[i] }'
}

# Checks the file of several trees against its files read one by one.
several_trees() {
    local order=$1
    shift
    local joined=$work/joined.nwk
    cat "$@" >"$joined"
    run one --standard-newick --table -- "$@"
    run many --standard-newick --table -- "$joined"
    # The run's closing count of unrooted trees is the same either way: only other messages count.
    err[many]=$(printf '%s' "${err[many]}" | grep -v ' trees have a three-way root ')
    # The rows of the joined file: that file, trees 1 to N, then the columns of the files'.
    if ! awk -F '\t' -v joined="$joined" -v n=$# '
        FNR == NR { one[FNR] = $0; sub(/^[^\t]*\t[^\t]*\t/, "", one[FNR]); next }
        FNR > 1 && ($1 != joined || $2 != FNR - 1) { exit 1 }
        { row = $0; sub(/^[^\t]*\t[^\t]*\t/, "", row); if (row != one[FNR]) exit 1 }
        END { if (FNR != n + 1) exit 1 }' <(printf '%s' "${out[one]}") \
        <(printf '%s' "${out[many]}") || [[ -n ${err[many]} || ${status[many]} != 0 ]]; then
        echo "--- several trees, $order, table (search: ${lead[*]} ${shape[*]})"
        diff <(printf '%s' "${out[one]}") <(printf '%s' "${out[many]}") | head -8
        failed=1
    fi
    # The report: header lines <File>: of the files become <joined>:<k>:, the rest is the same.
    run one --standard-newick -- "$@"
    run many --standard-newick -- "$joined"
    out[one]=$(awk -F '\t' -v joined="$joined" 'NF == 1 { $0 = joined ":" ++k ":" } { print }' \
        <(printf '%s' "${out[one]}"); echo .)
    out[many]+=.
    same "several trees, $order, report" one many
}

defaults() {
    local reader mode
    for reader in "" --standard-newick; do
        for mode in "" --table; do
            run plain $reader $mode -- "${all[@]}"
            run defaults $reader $mode --support-field 1 --separator - -- "${all[@]}"
            same "--support-field 1 --separator -, ${reader:-classic}, ${mode:-report}" \
                plain defaults
        done
    done
}

# rename <separator>: copies into $work/<separator>/ the files where every leaf name is
# <Group>-<gene> or has no '-', with the first '-' of each name replaced; names them on stdout.
# Files that hold the separator already are left out, and those with a negative length, whose
# leaf's rendered text the default separator cuts. A leaf name follows '(' or ',' (after
# blanks and an opening quote) and ends at ':', ',', ')', ';' or '['; a length such as 1e-05 is
# no part of it.
rename() {
    printf '%s\n' "${all[@]}" | SEPARATOR=$1 OUT=$work/$1 perl -e '
        use File::Basename; use File::Path qw(make_path);
        my $sep = $ENV{SEPARATOR};
        while (my $file = <STDIN>) {
            chomp $file;
            open(my $in, "<:raw", $file) or die "$file: $!";
            my $text = do { local $/; <$in> };
            next if index($text, $sep) >= 0 || $text =~ /:\s*-/;
            $text =~ s/([(,]\s*\x27?)([A-Za-z][A-Za-z0-9_]*)-/$1$2$sep/g;
            next if $text =~ /[(,][^(),:;\[]*-/;
            make_path(dirname("$ENV{OUT}/$file"));
            open(my $out, ">:raw", "$ENV{OUT}/$file") or die "$file: $!";
            print $out $text;
            print "$file\n";
        }'
}

separator_renamed() {
    local separator=$1 reader mode
    shift
    for reader in "" --standard-newick; do
        for mode in "" --table; do
            run plain $reader $mode -- "$@"
            cd "$work/$separator" || exit 2
            run renamed --separator "$separator" $reader $mode -- "$@"
            cd "$tests" || exit 2
            out[renamed]=${out[renamed]//"$separator"/-}
            err[renamed]=${err[renamed]//"$separator"/-}
            same "separator $separator, ${reader:-classic}, ${mode:-report}" plain renamed
        done
    done
}

# The files that both readers read alike: no blank, quote or comment, a tree the classic
# reader takes and standard Newick reads (so no redundant parentheses), a root of two children,
# and no leaf named by a number without a length, which the classic reader takes as its length.
both_readers_files() {
    "$tavrin" --table x "$@" | awk -F '\t' 'NR > 1 && $4 != "malformed" { print $1 }' |
        perl -ne '
            chomp(my $file = $_);
            open(my $in, "<:raw", $file) or die "$file: $!";
            my $text = do { local $/; <$in> };
            next if $text =~ /[ \t\r\x27\[]/ || $text =~ /[(,][-+.0-9][^(),:;]*[,)]/;
            my ($depth, $children) = (0, 1);
            for my $c (split //, $text) {
                $depth++ if $c eq "(";
                $depth-- if $c eq ")";
                $children++ if $c eq "," && $depth == 1;
            }
            print "$file\n" if $children == 2;'
}

both_readers() {
    local mode
    for mode in "" --table; do
        run classic $mode -- "$@"
        run standard --standard-newick $mode -- "$@"
        same "both readers, ${mode:-report}" classic standard
    done
}

mapfile -t singles < <(single_trees "${all[@]}")
reversed=()
for ((i = ${#singles[@]} - 1; i >= 0; --i)); do reversed+=("${singles[i]}"); done
mapfile -t both < <(both_readers_files "${singles[@]}")

# Each search with one separator: @ with the group file, % (every program output) with the
# outliers set aside, | with the pattern.
separators=(@ % '|')
set_aside=0
renamed_count=()
for s in 0 1 2; do
    search "$s"
    several_trees "in order" "${singles[@]}"
    several_trees "reversed" "${reversed[@]}"
    [[ ${err[many]} == *"Set aside:"* ]] && set_aside=1
    defaults
    separator=${separators[s]}
    mapfile -t renamed < <(rename "$separator")
    renamed_count[s]=${#renamed[@]}
    separator_renamed "$separator" "${renamed[@]}"
    both_readers "${both[@]}"
done

# The properties say little unless they cover enough: trees set aside within a file of several,
# and most of the files.
if [[ $set_aside == 0 || ${#singles[@]} -lt 100 || ${renamed_count[0]} -lt 100 ||
    ${renamed_count[1]} -lt 110 || ${renamed_count[2]} -lt 100 || ${#both[@]} -lt 80 ]]; then
    echo "too few trees: set aside $set_aside; files ${#all[@]}: single trees ${#singles[@]}," \
        "renamed ${renamed_count[*]} (${separators[*]}), both readers ${#both[@]}"
    failed=1
fi
exit "$failed"
