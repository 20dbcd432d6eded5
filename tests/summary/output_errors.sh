#!/usr/bin/env bash
# Failures of Tavrin-summary that need the system: a chart or page that would replace a report
# being read or each other (however the path is spelled), a full disk, a closed standard input,
# and a source that never ends. Each is status 2 with one message that says why, and nothing is
# overwritten: the old page and chart stay as they were, with nothing left beside them. Pages
# that are written get the usual mode and replace the file a link names.
#
# usage: output_errors.sh <path to Tavrin-summary> [--no-memory-limit]
#   --no-memory-limit  skip the runs under a memory limit (a sanitizer reserves more address
#                      space than any useful limit)
set -u
summary=$1
memory_limit=1
[[ ${2:-} == --no-memory-limit ]] && memory_limit=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2

failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

# Runs the summary with the remaining arguments; expects status 2 and exactly the message $1.
expect_failure() {
    local message=$1
    shift
    local status=0
    "$summary" "$@" >out.txt 2>err.txt || status=$?
    [[ $status -eq 2 ]] || fail "$*: status $status, expected 2"
    [[ "$(cat err.txt)" == "$message" ]] || fail "$*: message '$(cat err.txt)', expected '$message'"
}

report=$'one.nwk:\nChoano\tMetazoa\t95\n'
printf '%s' "$report" >report.tsv
ln -s report.tsv link.tsv

# The chart would replace a report: by its name, through a link, or as standard input.
expect_failure "Tavrin-summary: --svg report.tsv: the chart would replace the report report.tsv" \
    --svg report.tsv report.tsv
expect_failure "Tavrin-summary: --svg link.tsv: the chart would replace the report report.tsv" \
    --svg link.tsv report.tsv
expect_failure "Tavrin-summary: --svg report.tsv: the chart would replace the report <stdin>" \
    --svg report.tsv <report.tsv
# The same file however its path is spelled, whether it exists yet or not.
expect_failure "Tavrin-summary: --svg sub/../report.tsv: the chart would replace the report report.tsv" \
    --svg sub/../report.tsv report.tsv
expect_failure "Tavrin-summary: --html ./out.svg: the page would replace the chart of --svg" \
    --html ./out.svg --svg out.svg report.tsv
expect_failure "Tavrin-summary: --html new/../out.svg: the page would replace the chart of --svg" \
    --svg ./out.svg --html new/../out.svg report.tsv
[[ "$(cat report.tsv)" == "${report%$'\n'}" ]] || fail "the report was overwritten"
[[ ! -s out.txt ]] || fail "a table was written although the chart was refused"
[[ ! -e out.svg ]] || fail "a chart was written although it was refused"

# A full disk while the page is written (here a file size limit of 2 KiB, which the chart stays
# under and the page does not: the write fails the same way): the old page and chart stay whole,
# and no partial file is left.
mkdir full && printf 'old page\n' >full/page.html && printf 'old chart\n' >full/chart.svg
status=0
(
    trap '' XFSZ
    ulimit -f 2
    exec "$summary" --svg full/chart.svg --html full/page.html report.tsv
) >out.txt 2>err.txt || status=$?
[[ $status -eq 2 && "$(cat err.txt)" == "Tavrin-summary: cannot write the page to full/page.html (File too large)" ]] ||
    fail "page over the file size limit: status $status, message '$(cat err.txt)'"
[[ "$(cat full/page.html)" == "old page" && "$(cat full/chart.svg)" == "old chart" ]] ||
    fail "a page that could not be written changed the old files"
[[ "$(ls -A full | wc -l)" -eq 2 ]] || fail "files left beside the page: $(ls -A full)"

# A chart written in place (a pipe) is not written when the page cannot be: the reader of the
# pipe gets nothing. Where the folder takes no new file (not for root, whom permissions do not
# stop), the page is written over itself, and a full disk leaves the old page whole, not cut.
mkfifo full/chart.pipe
cat full/chart.pipe >piped.svg &
reader=$!
status=0
(
    trap '' XFSZ
    ulimit -f 2
    exec "$summary" --svg full/chart.pipe --html full/page.html report.tsv
) >out.txt 2>err.txt || status=$?
wait "$reader"
[[ $status -eq 2 && ! -s piped.svg ]] ||
    fail "a page that could not be written let the chart through the pipe: status $status"
rm full/chart.pipe
if [[ $(id -u) -ne 0 ]]; then
    mkdir shut && printf 'old page\n' >shut/page.html && chmod 555 shut
    status=0
    (
        trap '' XFSZ
        ulimit -f 2
        exec "$summary" --html shut/page.html report.tsv
    ) >out.txt 2>err.txt || status=$?
    [[ $status -eq 2 && "$(cat shut/page.html)" == "old page" ]] ||
        fail "a page written in place on a full disk: status $status, page now $(head -c 40 shut/page.html)"
    chmod 755 shut
fi

# Pages written: the mode a new file gets, the mode of the file replaced, through a link the
# file it names.
(umask 022 && "$summary" --html new.html report.tsv >/dev/null 2>&1)
[[ "$(stat -c %a new.html)" == 644 ]] || fail "a new page has mode $(stat -c %a new.html)"
chmod 600 new.html
"$summary" --html new.html report.tsv >/dev/null 2>&1
[[ "$(stat -c %a new.html)" == 600 ]] || fail "the page replaced has mode $(stat -c %a new.html)"
mkdir real && printf 'old\n' >real/page.html && ln -s real/page.html linked.html
"$summary" --html linked.html report.tsv >/dev/null 2>&1
[[ -L linked.html ]] || fail "the link to the page was replaced"
grep -q '<!DOCTYPE html>' real/page.html || fail "the page the link names was not written"

# Output that cannot be written, and input that cannot be read, with the system's reason.
if [[ -w /dev/full ]]; then
    expect_failure "Tavrin-summary: cannot write the chart to /dev/full (No space left on device)" \
        --svg /dev/full report.tsv
    expect_failure "Tavrin-summary: cannot write the page to /dev/full (No space left on device)" \
        --html /dev/full report.tsv
    status=0
    "$summary" report.tsv >/dev/full 2>err.txt || status=$?
    [[ $status -eq 2 && "$(cat err.txt)" == \
        "Tavrin-summary: cannot write the table to standard output (No space left on device)" ]] ||
        fail "table to /dev/full: status $status, message '$(cat err.txt)'"
else
    echo "no /dev/full here: the full-disk checks are skipped"
fi
expect_failure "Tavrin-summary: <stdin>: cannot be read (Bad file descriptor)" <&-

# A source that never ends stops when memory runs out, naming it.
if [[ $memory_limit -eq 1 && -r /dev/zero ]]; then
    status=0
    (
        ulimit -v 400000
        exec "$summary" /dev/zero
    ) >out.txt 2>err.txt || status=$?
    [[ $status -eq 2 && "$(cat err.txt)" == "Tavrin-summary: /dev/zero: memory ran out" ]] ||
        fail "/dev/zero: status $status, message '$(cat err.txt)'"
    status=0
    (
        ulimit -v 400000
        yes "${report%$'\n'}" | "$summary" -
    ) >out.txt 2>err.txt || status=$?
    [[ $status -eq 2 && "$(cat err.txt)" == "Tavrin-summary: <stdin>: memory ran out" ]] ||
        fail "endless report: status $status, message '$(cat err.txt)'"
fi

exit $failed
