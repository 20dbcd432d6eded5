#!/usr/bin/env bash
# The version is declared once, as the CMake project's version; every other place that states it
# must agree: the man pages, the Debian changelog, the Bioconda recipe, the citation file, the
# changelog's latest entry and, when given, what the programs print for --version.
# Usage: check_versions.sh SOURCE_DIR [TAVRIN TAVRIN_SUMMARY]
set -uo pipefail
source_dir=$1
cd "$source_dir" || exit 1

version=$(sed -n 's/^project(Tavrin VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
    echo "CMakeLists.txt: no project(Tavrin VERSION x.y.z ...)"
    exit 1
fi

failed=0
# The version `file` states, as `found` (empty when it states none), against the declared one.
agree() { # file found
    if [ "$2" != "$version" ]; then
        echo "$1 states version '${2}', CMakeLists.txt declares $version"
        failed=1
    fi
}
for page in doc/Tavrin.1 doc/Tavrin-summary.1; do
    agree "$page" "$(sed -n 's/^\.TH .* "Tavrin \([^"]*\)".*/\1/p' "$page")"
done
# tavrin (<upstream>-<debian revision>) on the first line.
agree debian/changelog "$(sed -n '1s/^tavrin (\([^)-]*\)\(-[^)]*\)\?).*/\1/p' debian/changelog)"
agree packaging/bioconda/meta.yaml \
    "$(sed -n 's/^{% set version = "\([^"]*\)" %}$/\1/p' packaging/bioconda/meta.yaml)"
agree CITATION.cff "$(sed -n 's/^version: "\?\([^"]*\)"\?$/\1/p' CITATION.cff)"
# The first entry "## <version> ..." of the changelog.
agree CHANGELOG.md "$(sed -n 's/^## \([0-9][0-9.]*[0-9]\)\([^0-9.].*\)\?$/\1/p' CHANGELOG.md | head -n 1)"

if [ $# -ge 3 ]; then
    for program in "$2" "$3"; do
        printed=$("$program" --version)
        expected="$(basename "$program") $version"
        if [ "$printed" != "$expected" ]; then
            echo "$program --version prints '$printed', expected '$expected'"
            failed=1
        fi
    done
fi
[ $failed = 0 ] && echo "version $version everywhere"
exit $failed
