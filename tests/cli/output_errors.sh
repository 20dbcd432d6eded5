#!/usr/bin/env bash
# A report that cannot be written is a failure with a message; a reader that closes the pipe
# early ends the run quietly.
#
# usage: output_errors.sh <path to Tavrin> <examples directory>
set -u
tavrin=$1
examples=$2
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A full disk: nothing of the report reaches the file, and the run says so.
if [[ -w /dev/full ]]; then
    for args in "Choano $examples/t1.nwk" "--version" "Choano $examples/t1.nwk $work/absent.nwk" \
        "--targets Choano,Metazoa,Fungi $examples/t1.nwk $examples/t2.nwk"; do
        status=0
        # shellcheck disable=SC2086
        "$tavrin" $args >/dev/full 2>"$work/err" || status=$?
        [[ $status -eq 15 ]] || fail "$args > /dev/full: status $status, expected 15"
        grep -qx "Couldnt write output: No space left on device" "$work/err" ||
            fail "$args > /dev/full: no message naming the cause: $(cat "$work/err")"
    done
else
    echo "no /dev/full here: the full-disk check is skipped"
fi

# A closed standard output.
status=0
"$tavrin" Choano "$examples/t1.nwk" >&- 2>"$work/err" || status=$?
[[ $status -eq 15 ]] || fail "closed output: status $status, expected 15"
grep -q "^Couldnt write output: " "$work/err" || fail "closed output: no message"

# A reader that stops after one line, with SIGPIPE at its default and ignored: no message.
files=()
for ((i = 0; i < 5000; ++i)); do files+=("$examples/t1.nwk"); done
"$tavrin" Choano "${files[@]}" 2>"$work/err" | head -1 >/dev/null
[[ ! -s "$work/err" ]] || fail "early close: message $(cat "$work/err")"
(
    trap '' PIPE
    "$tavrin" Choano "${files[@]}" 2>"$work/err" | head -1 >/dev/null
    exit "${PIPESTATUS[0]}"
)
status=$?
[[ $status -eq 15 ]] || fail "early close with SIGPIPE ignored: status $status, expected 15"
[[ ! -s "$work/err" ]] || fail "early close with SIGPIPE ignored: message $(cat "$work/err")"
# Several targets, whose rows after the first target's go out with the next file's.
(
    trap '' PIPE
    "$tavrin" --targets Choano,Metazoa,Fungi "${files[@]}" 2>"$work/err" | head -1 >/dev/null
    exit "${PIPESTATUS[0]}"
)
status=$?
[[ $status -eq 15 ]] || fail "early close, three targets: status $status, expected 15"
[[ ! -s "$work/err" ]] || fail "early close, three targets: message $(cat "$work/err")"

[[ $failed -eq 0 ]] && echo "output errors: all checks passed"
exit $failed
