#!/usr/bin/env bash
# What --draw does in its folder, which other runs and other people share:
#   - a symbolic link planted under a picture's name is replaced, and the file it points to is
#     left as it was; the folder itself may be a link; no temporary file is left behind;
#   - a 255-byte tree file name gives a picture name of at most 200 bytes, and the run goes on;
#   - runs with different labels share one folder without replacing each other's pictures, and
#     each picture records the row it shows (file, tree, label) in its <metadata>;
#   - a run that replaces pictures of other files says so once, with the count.
#
# usage: picture_folder.sh <Tavrin> <source dir>
set -uo pipefail

tavrin=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=tests/support/script_checks.sh
source "$source_dir/tests/support/script_checks.sh"
require_tools "read the pictures' sources" "xmllint (Debian package libxml2-utils)"
cd "$source_dir/examples"

# The text of a picture's <metadata> element.
source_of() { # svg
    xmllint --xpath 'string(//*[local-name()="metadata"])' "$1"
}

# ---- A planted link: the picture replaces the link, the file outside is untouched.
mkdir -p "$work/pics" "$work/outside"
echo keep >"$work/outside/secret"
ln -s "$work/outside/secret" "$work/pics/000001_Choano_t1.svg"
ln -s "$work/outside/missing" "$work/pics/000002_Choano_t2.svg"
"$tavrin" --draw "$work/pics" --groupFile groups.txt Choano t1.nwk t2.nwk >/dev/null 2>&1 ||
    fail "planted link: status $?"
[ "$(cat "$work/outside/secret")" = keep ] || fail "planted link: the file outside was written"
[ -e "$work/outside/missing" ] && fail "planted link: a file was made outside the folder"
for svg in 000001_Choano_t1.svg 000002_Choano_t2.svg; do
    [ -f "$work/pics/$svg" ] && [ ! -L "$work/pics/$svg" ] || fail "planted link: $svg is not a file"
    grep -q '<svg' "$work/pics/$svg" || fail "planted link: $svg holds no picture"
done
ls -A "$work/pics" | grep -q '^\.tavrin-' && fail "a temporary file was left: $(ls -A "$work/pics")"

# ---- The folder itself may be a link.
mkdir -p "$work/real"
ln -s "$work/real" "$work/linked"
"$tavrin" --draw "$work/linked" --groupFile groups.txt Choano t1.nwk >/dev/null 2>&1 ||
    fail "linked folder: status $?"
[ -L "$work/linked" ] && [ -f "$work/real/000001_Choano_t1.svg" ] || fail "linked folder: no picture in it"

# ---- A 255-byte file name: the picture's name is cut to 200 bytes, the source kept whole.
long=$(printf 'g%.0s' {1..251}).nwk
cp t1.nwk "$work/$long"
label=$(printf 'L%.0s' {1..40})
"$tavrin" --table --label "$label" --draw "$work/long" --groupFile groups.txt Choano \
    "$work/$long" >"$work/long.tsv" 2>"$work/long.err" || fail "long name: status $? ($(cat "$work/long.err"))"
name=$(ls "$work/long")
[ ${#name} -le 200 ] || fail "long name: a picture name of ${#name} bytes"
[[ $name == "${label}_000001_Choano_ggg"*g.svg ]] || fail "long name: the picture is named $name"
[ "$(source_of "$work/long/$name")" = "$work/$long"$'\t1\tChoano\t'"$label" ] ||
    fail "long name: the source is '$(source_of "$work/long/$name")'"
[ "$(cut -f15 "$work/long.tsv" | tail -1)" = "$label" ] || fail "long name: no label in the table"

# ---- Two programs' trees of the same 40 genes, under the same 40 file names.
mkdir -p "$work/a" "$work/b"
genes=$source_dir/bench/genes
for k in $(seq 1 40); do
    n=$(printf '%03d' "$k")
    m=$(printf '%03d' $(((k - 1) % 35 + 1)))
    cp "$genes/iqtree/g$m.nwk" "$work/a/g$n.nwk"
    cp "$genes/fasttree/g$m.nwk" "$work/b/g$n.nwk"
done
run_into() { # dir label files... ; leaves the table in $work/<label>.tsv, stderr in .err
    local dir=$1 label=$2
    shift 2
    "$tavrin" --table --standard-newick --root midpoint ${label:+--label "$label"} --draw "$dir" \
        --groupFile "$genes/groups.txt" Choano "$@" >"$work/$label.tsv" 2>"$work/$label.err" ||
        fail "run $label: status $?"
}
run_into "$work/study" iqtree "$work"/a/*.nwk
run_into "$work/study" fasttree "$work"/b/*.nwk
files=$(find "$work/study" -type f | wc -l)
[ "$files" = 80 ] || fail "two labelled runs left $files pictures, not 80"
grep -q 'held a picture' "$work"/iqtree.err "$work"/fasttree.err && fail "labelled runs warned"
# Each row's picture records that row.
for label in iqtree fasttree; do
    n=0
    while IFS=$'\t' read -r file tree _; do
        n=$((n + 1))
        svg=$work/study/${label}_$(printf '%06d' "$n")_Choano_$(basename "$file" .nwk).svg
        [ "$(source_of "$svg")" = "$file"$'\t'"$tree"$'\tChoano\t'"$label" ] ||
            fail "$svg records '$(source_of "$svg")'"
    done < <(tail -n +2 "$work/$label.tsv")
done

# ---- Without labels the second run replaces the first one's pictures, and says so once.
run_into "$work/shared" "" "$work"/a/*.nwk
run_into "$work/shared" "" "$work"/b/*.nwk
[ "$(cat "$work/.err")" = "Warning: --draw $work/shared: 000001_Choano_g001.svg and 39 more held pictures of other files; replaced" ] ||
    fail "replaced pictures: stderr '$(cat "$work/.err")'"
[ "$(find "$work/shared" -type f | wc -l)" = 40 ] || fail "replaced pictures: not 40 files"
# The same run again replaces its own pictures without a word; one of another file, with one.
run_into "$work/shared" "" "$work"/b/*.nwk
[ -s "$work/.err" ] && fail "a run replacing its own pictures warned: $(cat "$work/.err")"
run_into "$work/shared" "" "$work/a/g001.nwk"
[ "$(cat "$work/.err")" = "Warning: --draw $work/shared: 000001_Choano_g001.svg held a picture of another file; replaced" ] ||
    fail "one replaced picture: stderr '$(cat "$work/.err")'"

[ $failed = 0 ] && echo "picture folder checked"
exit $failed
