#!/usr/bin/env bash
# A gzip file whose trailer claims far more text than its data holds is refused with its
# one-line message, having used little memory: the text grows with what inflating gives, never
# from the size the trailer states.
#
# usage: gzip_lying_trailer.sh <path to Tavrin>
# The address space is limited with `ulimit -v`, which the sanitizers' shadow memory cannot run
# under: the sanitizer build skips this test. The peak memory is measured with /usr/bin/time
# where it is installed.
set -u
# shellcheck source=tests/support/script_checks.sh
source "$(dirname "$0")/../support/script_checks.sh"
tavrin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2

printf '((Choano-a,Choano-b),Metazoa-m);\n' | gzip -9n >good.gz
size=$(wc -c <good.gz)
# The trailer's last four bytes, little-endian, state the text's size: 4 GiB - 16 and 60 MiB
# (which a limit of 200 MB would let a trusting reader allocate).
{ head -c $((size - 4)) good.gz && printf '\xf0\xff\xff\xff'; } >claims_4g.gz
{ head -c $((size - 4)) good.gz && printf '\x00\x00\xc0\x03'; } >claims_60m.gz

measure=()
[[ -x /usr/bin/time ]] && measure=(/usr/bin/time -o peak -f '%M')

for file in claims_4g.gz claims_60m.gz; do
    status=0
    (ulimit -v 200000 && exec "${measure[@]}" "$tavrin" --standard-newick Choano "$file") \
        >stdout 2>stderr || status=$?
    [[ $status -eq 15 ]] || fail "$file: status $status, expected 15"
    [[ "$(cat stdout)" == "$file:" ]] || fail "$file: stdout was: $(cat -A stdout)"
    [[ "$(cat stderr)" == "The file $file cannot be decompressed: incorrect length check" ]] ||
        fail "$file: stderr was: $(cat -A stderr)"
    if [[ -s peak ]]; then
        kib=$(tail -n 1 peak)
        [[ $kib -lt 51200 ]] || fail "$file: peak memory $kib KiB, expected under 50 MiB"
    fi
    rm -f peak
done
[[ ${#measure[@]} -gt 0 ]] || echo "peak memory not measured: /usr/bin/time is missing"

exit $failed
