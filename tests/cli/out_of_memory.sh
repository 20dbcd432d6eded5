#!/usr/bin/env bash
# Memory that runs out, while a tree file or the group file is read or a tree is analysed, ends
# the run with the rows made before it, one line naming the file, and status 15. A file that
# never ends (a character device) runs out of memory too, instead of growing without bound.
#
# usage: out_of_memory.sh <path to Tavrin> <examples directory>
# The address space is limited with `ulimit -v`, which the sanitizers' shadow memory cannot run
# under: the sanitizer build skips this test.
set -u
tavrin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
examples=$2
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$examples/t1.nwk" "$examples/t2.nwk" "$examples/groups.txt" "$work/"
cd "$work" || exit 2

# Eight million characters read easily, but their four million leaves do not fit in 150 MB,
# even in a compact tree (32 bytes a node).
{
    printf '('
    yes 'A,' | head -n 4000000 | tr -d '\n'
    printf 'A);'
} >big.nwk

rows_t1=$'t1.nwk:\nChoano\tMetazoa\t80\nChoano\tFungi\t80\n'
rows_t2=$'t2.nwk:\nChoano\tMetazoa\tn/a\n'

# expect <expected stdout> <expected stderr> <Tavrin arguments...>
expect() {
    local out=$1 err=$2
    shift 2
    local status=0
    (ulimit -v 150000 && exec "$tavrin" "$@") >stdout 2>stderr || status=$?
    [[ $status -eq 15 ]] || fail "$*: status $status, expected 15"
    [[ "$(cat stdout; echo .)" == "$out." ]] || fail "$*: stdout was: $(cat -A stdout)"
    [[ "$(cat stderr; echo .)" == "$err." ]] || fail "$*: stderr was: $(cat -A stderr)"
}

expect "$rows_t1$rows_t2"$'big.nwk:\n' $'Out of memory while reading big.nwk\n' \
    Choano t1.nwk t2.nwk big.nwk t1.nwk
expect "$rows_t1"$'/dev/zero:\n' $'Out of memory while reading /dev/zero\n' \
    Choano t1.nwk /dev/zero t2.nwk
expect $'t1.nwk:\n' $'Out of memory while reading /dev/zero\n' \
    --groupFile /dev/zero Choano t1.nwk
# The group file is loaded again for every tree: the message names it, not the tree file.
expect "$rows_t1"$'big.nwk:\n' $'Out of memory while reading big.nwk\n' \
    --groupFile groups.txt Choano t1.nwk big.nwk

# Standard Newick: a gzip file whose text (300 MB of blanks in 300 KB) passes a quarter of the
# memory the run can hold is refused with its one-line message; standard input that never ends
# runs out of memory.
head -c 300000000 /dev/zero | tr '\0' ' ' | gzip -9 >blanks.gz
expect "$rows_t1"$'blanks.gz:\n' "The file blanks.gz cannot be decompressed: its text passes \
$((150000 * 1024 / 4)) bytes, a quarter of the memory this run can hold"$'\n' \
    --standard-newick Choano t1.nwk blanks.gz t2.nwk
(ulimit -v 150000 && exec "$tavrin" --standard-newick Choano t1.nwk - </dev/zero) >stdout 2>stderr
status=$?
[[ $status -eq 15 && "$(cat stdout)" == "${rows_t1%$'\n'}" &&
    "$(cat stderr)" == 'Out of memory while reading -' ]] ||
    fail "standard input that never ends: status $status, $(cat -A stdout stderr)"

exit $failed
