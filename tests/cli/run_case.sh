#!/usr/bin/env bash
# Runs Tavrin for one command-line case and compares what it writes with the case's expectations.
#
# usage: run_case.sh <path to Tavrin> <case directory>
#
# A case directory holds:
#   args              one argument per line, exactly as passed (an empty line is an empty argument;
#                     a missing or empty file means no arguments at all)
#   expected_stdout   the exact bytes expected on standard output
#   expected_stderr   the exact bytes expected on standard error, or instead
#   expected_stderr_like
#                     a fixed string: standard error must then be exactly one line containing it
#                     (for diagnostics whose wording is not pinned down)
#   expected_status   the exit status, a number on one line
#   generate          optional: a bash script that writes input files too big to keep in the
#                     repository; the case then runs in a scratch copy of its directory, where the
#                     script runs first
# plus the input files the arguments name. Tavrin runs inside the case directory, so relative file
# names resolve there; it only reads them.
set -u

if [[ $# -ne 2 ]]; then
    echo "usage: $0 <Tavrin> <case directory>" >&2
    exit 2
fi
tavrin=$1
case_dir=$2
case_name=$(basename "$case_dir")

cd "$case_dir" || { echo "cannot enter $case_dir" >&2; exit 2; }

args=()
if [[ -f args ]]; then
    mapfile -t args <args
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [[ -f generate ]]; then
    cp -R . "$work/case" && cd "$work/case" && bash generate || {
        echo "--- $case_name: its generate script failed" >&2
        exit 1
    }
fi

status=0
"$tavrin" "${args[@]}" >"$work/stdout" 2>"$work/stderr" </dev/null || status=$?

failed=0

# Shows both sides with tabs, carriage returns and line ends made visible.
show_diff() {
    local what=$1 expected=$2 actual=$3
    echo "--- $case_name: $what differs (expected vs actual, cat -A notation)"
    diff -u --label expected --label actual <(cat -A "$expected") <(cat -A "$actual")
}

if ! cmp -s expected_stdout "$work/stdout"; then
    show_diff stdout expected_stdout "$work/stdout"
    failed=1
fi

if [[ -f expected_stderr ]]; then
    if ! cmp -s expected_stderr "$work/stderr"; then
        show_diff stderr expected_stderr "$work/stderr"
        failed=1
    fi
elif [[ -f expected_stderr_like ]]; then
    IFS= read -r needle <expected_stderr_like
    lines=$(wc -l <"$work/stderr")
    last_byte=$(tail -c 1 "$work/stderr" | od -An -c | tr -d ' ')
    if [[ $lines -ne 1 || $last_byte != '\n' ]] || ! grep -qF -- "$needle" "$work/stderr"; then
        echo "--- $case_name: stderr should be one line containing: $needle"
        echo "actual stderr (cat -A notation):"
        cat -A "$work/stderr"
        failed=1
    fi
else
    echo "--- $case_name: no expected_stderr or expected_stderr_like file" >&2
    failed=1
fi

expected_status=$(tr -d '[:space:]' <expected_status)
if [[ $status != "$expected_status" ]]; then
    echo "--- $case_name: exit status $status, expected $expected_status"
    failed=1
fi

if [[ $failed -ne 0 ]]; then
    echo "command (run in $PWD): $tavrin$(printf " '%s'" "${args[@]}")"
    exit 1
fi
exit 0
