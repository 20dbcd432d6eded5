#!/usr/bin/env bash
# Runs the recipe as conda-build would, without conda: build.sh on a copy of the sources with
# PREFIX, SRC_DIR and CPU_COUNT set to temporary folders, then the test section's commands in a
# folder holding its source_files, with the installed programs first on PATH.
# Usage: check_recipe.sh [SOURCE_DIR]   (default: the checkout this script is in)
set -euo pipefail
source_dir=$(cd "${1:-$(dirname "$0")/../..}" && pwd)
recipe=$source_dir/packaging/bioconda
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The files of the checkout (tracked or new, not ignored), as a source archive would hold them.
mkdir "$work/src" "$work/prefix" "$work/test"
git -C "$source_dir" ls-files -z --cached --others --exclude-standard |
    (cd "$source_dir" && xargs -0 tar -cf - --no-recursion) | tar -xf - -C "$work/src"

# The entries of the list `key` in the test section of meta.yaml, one per line.
test_list() { # key
    awk -v key="$1" '
        /^[^ #]/ { in_test = ($0 ~ /^test:/); in_list = 0; next }
        in_test && /^  [^ -]/ { in_list = ($0 ~ "^  " key ":"); next }
        in_test && in_list && /^    - / { sub(/^    - /, ""); print }' "$recipe/meta.yaml"
}

PREFIX=$work/prefix SRC_DIR=$work/src CPU_COUNT=$(nproc) bash "$recipe/build.sh"

while read -r path; do
    mkdir -p "$work/test/$(dirname "$path")"
    cp -r "$work/src/$path" "$work/test/$path"
done < <(test_list source_files)
commands=$(test_list commands)
[ "$(echo "$commands" | wc -l)" -ge 3 ] || { echo "meta.yaml: too few test commands"; exit 1; }
while read -r command; do
    echo "+ $command"
    (cd "$work/test" && PREFIX=$work/prefix PATH=$work/prefix/bin:$PATH bash -euo pipefail -c "$command")
done <<<"$commands"
echo "recipe built and tested"
