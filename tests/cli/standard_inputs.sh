#!/usr/bin/env bash
# Where standard Newick and NEXUS files come from, on every tree file of the command-line cases,
# of the program outputs under data/pipelines and of the Bayesian outputs under data/bayesian:
# the file compressed with gzip, the file on standard input ("-", headed "-:") and the file
# compressed on standard input give the rows, headers and messages of the file itself, in the
# report and in the table, with and without --burnin and --support-attribute. Standard input is
# read once: a second "-" finds it empty.
#
# usage: standard_inputs.sh <path to Tavrin> <tests directory> <examples directory>
set -u
export LC_ALL=C
tavrin=$(realpath "$1")
tests=$(realpath "$2")
groups=$(realpath "$3")/groups.txt

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$tests" || exit 2
mapfile -t all < <(find cli/cases data/pipelines -name '*.nwk' -type f | sort)
mapfile -t -O "${#all[@]}" all < <(find data/bayesian -type f ! -name '*.sh' | sort)
failed=0

# normalize <path>: standard output and error of a run with <path> named FILE where a header, a
# table row or a message names it.
normalize() {
    awk -v p="$1" '{
        if (index($0, p ":") == 1 || index($0, p "\t") == 1) $0 = "FILE" substr($0, length(p) + 1)
        else if (index($0, "Malformed Newick in " p ", ") == 1)
            $0 = "Malformed Newick in FILE" substr($0, length(p) + 21)
        else if (index($0, "Warning: " p ": ") == 1) $0 = "Warning: FILE" substr($0, length(p) + 10)
        print
    }'
}

# run <path> <options>... : the normalized output and status, standard input as it stands.
run() {
    local path=$1 status=0
    shift
    "$tavrin" "$@" --groupFile "$groups" Choano "$path" >"$work/out" 2>"$work/err" || status=$?
    { normalize "$path" <"$work/out"; echo "--"; normalize "$path" <"$work/err"; echo "status $status"; }
}

for file in "${all[@]}"; do
    gzip -c "$file" >"$work/file.gz"
    for options in "" "--table --burnin 1 --support-attribute prob"; do
        read -ra opts <<<"--standard-newick $options"
        expected=$(run "$file" "${opts[@]}" </dev/null)
        for way in gzip stdin stdin-gzip; do
            case $way in
                gzip) got=$(run "$work/file.gz" "${opts[@]}" </dev/null) ;;
                stdin) got=$(run - "${opts[@]}" <"$file") ;;
                stdin-gzip) got=$(gzip -c "$file" | run - "${opts[@]}") ;;
            esac
            if [[ $got != "$expected" ]]; then
                echo "--- $file ($way, options: $options) differs from the file itself:"
                diff <(printf '%s\n' "$expected") <(printf '%s\n' "$got") | head -n 20
                failed=1
            fi
        done
    done
done

# A second "-" finds standard input empty; a file between them changes nothing.
printf '((Choano-a,Choano-b)90,(Fungi-f,Metazoa-m)80);\n' >"$work/t.nwk"
got=$("$tavrin" --standard-newick Choano - "$work/t.nwk" - <"$work/t.nwk" 2>&1)
expected="-:
Choano	Fungi	80
Choano	Metazoa	80
$work/t.nwk:
Choano	Fungi	80
Choano	Metazoa	80
-:
Malformed Newick in -, tree 1, at byte 0: no tree in the text"
if [[ $got != "$expected" ]]; then
    echo "--- standard input read twice:"
    diff <(printf '%s\n' "$expected") <(printf '%s\n' "$got")
    failed=1
fi
# Without --standard-newick, "-" is a file name and gzip data is text, as they always were.
got=$(cd "$work" && "$tavrin" Choano - 2>&1 </dev/null)
if [[ $got != $'-:\nThe file - is not opened' ]]; then
    echo "--- '-' in the classic dialect: $got"
    failed=1
fi
exit "$failed"
