#!/usr/bin/env bash
# A picture that cannot be written ends the run with status 15 and a message naming the file and
# the system's reason, after the rows already written, and leaves the old file of that name as it
# was; a folder or a pipe of a picture's name is never replaced; a folder that cannot be made ends
# the run before any row.
#
# usage: picture_errors.sh <Tavrin> <examples dir>
set -uo pipefail

tavrin=$1
examples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}
expect() { # name status stderr stdout
    [ "$status" = "$2" ] || fail "$1: status $status, expected $2"
    [ "$(cat "$work/err")" = "$3" ] || fail "$1: stderr '$(cat "$work/err")', expected '$3'"
    [ "$(cat "$work/out")" = "$4" ] || fail "$1: stdout '$(cat "$work/out")'"
}
run() {
    "$tavrin" "$@" >"$work/out" 2>"$work/err"
    status=$?
}
cd "$examples"

# The second tree's picture has a folder in its place: the first tree's rows and picture stay.
mkdir -p "$work/pics/000002_Choano_t2.svg"
run --draw "$work/pics" --groupFile groups.txt Choano t1.nwk t2.nwk t4.nwk
expect "picture over a folder" 15 \
    "Couldnt write picture: $work/pics/000002_Choano_t2.svg: Is a directory" \
    $'t1.nwk:\nChoano\tMetazoa\t80\nChoano\tFungi\t80\nt2.nwk:\nChoano\tMetazoa\tn/a'
[ -s "$work/pics/000001_Choano_t1.svg" ] || fail "the first picture is lost"
[ -e "$work/pics/000003_Choano_t4.svg" ] && fail "a picture after the failure"

# A picture that cannot be written whole (the file size limit stands in for a full disk): the
# temporary file is removed and the old picture of that name is left as it was.
mkdir -p "$work/full"
echo old >"$work/full/000001_Choano_t1.svg"
(
    trap '' XFSZ
    ulimit -f 1
    exec "$tavrin" --table --draw "$work/full" --groupFile groups.txt Choano t1.nwk
) >"$work/out" 2>"$work/err"
status=$?
expect "file too large" 15 "Couldnt write picture: $work/full/000001_Choano_t1.svg: File too large" \
    "$(printf 'file\ttree\ttarget\tstatus\tsister1\tsister2\tsupport\trerooted\ttarget_leaves\toutliers\toutlier_leaves\troot\tstrays\troot_strays\tlabel\nt1.nwk\t1\tChoano\tsisters\tMetazoa\tFungi\t80\t0\t2\t0\t\tgiven\t\t\t')"
[ "$(cat "$work/full/000001_Choano_t1.svg")" = old ] || fail "file too large: the old picture was changed"
[ "$(ls -A "$work/full")" = 000001_Choano_t1.svg ] || fail "file too large: left $(ls -A "$work/full")"

# A pipe of a picture's name is neither followed nor replaced, and does not hold the run up.
mkdir -p "$work/pipe"
mkfifo "$work/pipe/000001_Choano_t1.svg"
timeout 20 "$tavrin" --draw "$work/pipe" --groupFile groups.txt Choano t1.nwk >"$work/out" 2>"$work/err"
status=$?
expect "pipe" 15 "Couldnt write picture: $work/pipe/000001_Choano_t1.svg: Not a regular file" \
    $'t1.nwk:\nChoano\tMetazoa\t80\nChoano\tFungi\t80'
[ -p "$work/pipe/000001_Choano_t1.svg" ] || fail "pipe: replaced"

# A folder that cannot be made: its parent is a file.
touch "$work/file"
run --draw "$work/file/pics" Choano t1.nwk
expect "folder under a file" 15 "Couldnt write picture: $work/file/pics: Not a directory" ""

# Existing pictures are replaced, other files left alone.
mkdir -p "$work/again"
echo old >"$work/again/000001_Choano_t1.svg"
echo mine >"$work/again/notes.txt"
run --draw "$work/again" --groupFile groups.txt Choano t1.nwk t3.nwk
[ "$status" = 0 ] || fail "replacing: status $status"
grep -q '<svg' "$work/again/000001_Choano_t1.svg" || fail "the old picture is not replaced"
[ "$(cat "$work/again/notes.txt")" = mine ] || fail "another file was touched"
[ "$(ls "$work/again" | tr '\n' ' ')" = "000001_Choano_t1.svg notes.txt " ] ||
    fail "a malformed tree got a picture: $(ls "$work/again")"

[ $failed = 0 ] && echo "picture errors checked"
exit $failed
