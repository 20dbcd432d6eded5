# Helpers shared by the test scripts that check files with outside tools; sourced, not run.

# Set once any check failed; the script exits with it.
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

# Each argument is "<command> (<what installs it>)". When a command is missing, says which and
# exits: with status 77 (skipped), or 1 in CI (CI set), where every tool must be installed.
require_tools() { # what-for "command (package)" ...
    local what=$1 missing=()
    shift
    for tool in "$@"; do
        command -v "${tool%% *}" >/dev/null || missing+=("$tool")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "cannot $what without: ${missing[*]}"
    [ -n "${CI:-}" ] && exit 1
    exit 77
}

# Prints the DOM of the page at URL once its scripts have run, as headless Chromium (the command
# `chromium`, which require_tools checks first) gives it.
browser_dom() { # url
    local profile
    profile=$(mktemp -d)
    timeout 90 chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
        --disable-component-update --disable-sync --no-first-run --user-data-dir="$profile" \
        --dump-dom "$1" 2>/dev/null
    rm -rf "$profile"
}
