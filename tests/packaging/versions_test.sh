#!/usr/bin/env bash
# The version check passes on the sources and the programs built from them, and fails when any
# one place that states the version says another.
set -uo pipefail
source_dir=$1 tavrin=$2 summary=$3
source "$(dirname "$0")/../support/script_checks.sh"
check=$source_dir/packaging/check_versions.sh

out=$(bash "$check" "$source_dir" "$tavrin" "$summary" 2>&1) || fail "the sources disagree: $out"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
files=(CMakeLists.txt doc/Tavrin.1 doc/Tavrin-summary.1 debian/changelog
    packaging/bioconda/meta.yaml CITATION.cff CHANGELOG.md)
version=$(sed -n 's/^project(Tavrin VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
# Each place in turn states another version; the programs still print the declared one, so a
# changed CMakeLists.txt disagrees with them and with every other file.
for changed in "${files[@]}"; do
    rm -rf "$work/src"
    for file in "${files[@]}"; do
        mkdir -p "$work/src/$(dirname "$file")"
        cp "$source_dir/$file" "$work/src/$file"
    done
    sed -i "0,/${version//./\\.}/s//9.9.9/" "$work/src/$changed"
    grep -q 9.9.9 "$work/src/$changed" || fail "$changed states no version $version"
    if out=$(bash "$check" "$work/src" "$tavrin" "$summary" 2>&1); then
        fail "$changed at 9.9.9 passed: $out"
    elif ! grep -qF "$changed" <<<"$out"; then
        fail "$changed at 9.9.9 is not named: $out"
    fi
done
# Without the programs, the files alone are checked.
bash "$check" "$source_dir" >/dev/null || fail "the files alone disagree"
exit $failed
