#!/usr/bin/env bash
# Builds the Debian package from a copy of the checkout (dpkg-buildpackage writes next to the
# tree it builds, so nothing lands beside the checkout), lints it, installs it, runs the README's
# example and the package's smoke test through the installed programs, and removes it.
# Needs root (dpkg -i), debhelper, cmake, zlib1g-dev and lintian.
# Usage: check_debian.sh [SOURCE_DIR]   (default: the checkout this script is in)
set -euo pipefail
source_dir=$(cd "${1:-$(dirname "$0")/..}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The files of the checkout (tracked or new, not ignored), as a clean checkout holds them.
mkdir "$work/tavrin"
git -C "$source_dir" ls-files -z --cached --others --exclude-standard |
    (cd "$source_dir" && xargs -0 tar -cf - --no-recursion) | tar -xf - -C "$work/tavrin"

echo "-- dpkg-buildpackage (without the test suite)"
(cd "$work/tavrin" &&
    DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)" dpkg-buildpackage -b -us -uc -Pnocheck \
        >"$work/build.log" 2>&1) || { tail -n 50 "$work/build.log"; exit 1; }
deb=$(ls "$work"/tavrin_*_*.deb)

echo "-- lintian"
lintian --fail-on error "$work"/tavrin_*.changes

echo "-- dpkg -i"
dpkg -i "$deb" >/dev/null
installed=(/usr/bin/Tavrin /usr/bin/Tavrin-summary /usr/share/man/man1/Tavrin.1.gz
    /usr/share/man/man1/Tavrin-summary.1.gz /usr/share/bash-completion/completions/Tavrin
    /usr/share/bash-completion/completions/Tavrin-summary /usr/share/doc/tavrin/copyright)
for file in "${installed[@]}"; do
    dpkg -S "$file" >/dev/null || { echo "not installed by the package: $file"; exit 1; }
done
grep -q '^License: MIT$' /usr/share/doc/tavrin/copyright
bash "$work/tavrin/packaging/check_versions.sh" "$work/tavrin" /usr/bin/Tavrin /usr/bin/Tavrin-summary
bash -c 'source /usr/share/bash-completion/completions/Tavrin && complete -p Tavrin-summary' \
    >/dev/null
if command -v man >/dev/null; then
    man -w Tavrin >/dev/null && man -w Tavrin-summary >/dev/null
fi

echo "-- the README's example through the installed programs"
[ "$(command -v Tavrin)" = /usr/bin/Tavrin ] || { echo "Tavrin is $(command -v Tavrin)"; exit 1; }
# The README's two commands of its first study, with ./build/ dropped as it says once installed.
example=$(sed -n 's#^\./build/\(Tavrin\(-summary\)\? .*\)#\1#p' "$work/tavrin/README.md" |
    grep -e '--table' -e '--html')
[ "$(echo "$example" | wc -l)" = 2 ] || { echo "README: the example's commands not found"; exit 1; }
(cd "$work/tavrin" && bash -euo pipefail -c "$example" >"$work/example.out" 2>"$work/example.err")
# What the README shows: a row of the table, a row of the tally and the closing count.
grep -qF $'bench/genes/iqtree/g001.nwk\t1\tViridi\tsisters\tRhodo\tEukaryota\t82' \
    "$work/tavrin/table.tsv"
grep -qxF $'Viridi\tRhodo\t20\t0.571\t17\t92.5' "$work/example.out"
grep -qxF '35 trees, 30 with a sister, 5 without (not-a-clade 5)' "$work/example.err"
grep -q '<html' "$work/tavrin/page.html"

echo "-- the package's smoke test"
(cd "$work/tavrin" && AUTOPKGTEST_TMP="$work" sh debian/tests/smoke)

echo "-- dpkg -r"
dpkg -r tavrin >/dev/null
for file in "${installed[@]}"; do
    [ ! -e "$file" ] || { echo "left after removal: $file"; exit 1; }
done
status=$(dpkg-query -W -f='${db:Status-Status}' tavrin 2>/dev/null || true)
[ -z "$status" ] || [ "$status" = not-installed ] || { echo "tavrin is still $status"; exit 1; }
echo "Debian package built, lint-clean of errors, installed, run and removed"
