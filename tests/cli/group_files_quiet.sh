#!/usr/bin/env bash
# Every group file that comes with Tavrin or that its benchmarks generate is written from the
# smallest groups up, one pair per line: loading any of them writes no warning. So does every
# group file of the command-line cases, except in the cases made to show the warnings.
#
# usage: group_files_quiet.sh <path to Tavrin> <path to tavrin_gen> <source dir>
set -u
tavrin=$(realpath "$1")
gen=$(realpath "$2")
source_dir=$(realpath "$3")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo '((Choano-a,Choano-b)90,(Fungi-f,Metazoa-m)80);' >"$work/t.nwk"
"$gen" groups "$work/bench-groups.txt" >/dev/null
mkdir "$work/genes" && "$gen" genes 2 "$work/genes" >/dev/null
"$gen" taxonomy 20000 "$work/taxonomy-groups.txt" "$work/taxonomy-tree.nwk" >/dev/null

files=("$source_dir/examples/groups.txt" "$source_dir/bench/genes/groups.txt"
       "$work/bench-groups.txt" "$work/genes/groups.txt" "$work/taxonomy-groups.txt")
# The cases' group files: the argument after --groupFile.
for args in "$source_dir"/tests/cli/cases/*/args; do
    case_dir=$(dirname "$args")
    grep -q '^Warning: [^ ]*:[0-9]*: ' "$case_dir/expected_stderr" 2>/dev/null && continue
    mapfile -t argv <"$args"
    for ((i = 0; i + 1 < ${#argv[@]}; ++i)); do
        if [[ ${argv[i]} == --groupFile && -f $case_dir/${argv[i + 1]} ]]; then
            files+=("$case_dir/${argv[i + 1]}")
        fi
    done
done

failed=0
for file in "${files[@]}"; do
    if [[ ! -s $file ]]; then
        echo "missing or empty: $file"
        failed=1
        continue
    fi
    "$tavrin" --groupFile "$file" Choano "$work/t.nwk" >/dev/null 2>"$work/err.txt"
    if grep -q '^Warning: ' "$work/err.txt"; then
        echo "--- $file warns:"
        cat "$work/err.txt"
        failed=1
    fi
done
echo "${#files[@]} group files loaded"
exit "$failed"
