#!/usr/bin/env bash
# Runs workflow/Snakefile over a generated set of tree files in small batches with two jobs and
# checks that its joined report and diagnostics are byte for byte those of one sequential Tavrin
# call over the same list, that an edited tree file is picked up, that a tree file that cannot be
# opened fails the workflow, and that the outliers key is checked and passed on. The summary table
# and chart written beside the joined report must be those of Tavrin-summary (found beside Tavrin)
# over the sequential report.
#
#   bash tests/workflow/run_workflow_test.sh [path/to/Tavrin]     (default: build/Tavrin)
#
# The README's first command builds both programs, so the test can start right after it.
set -euo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
tavrin=${1:-build/Tavrin}
case $tavrin in /*) ;; *) tavrin=$PWD/$tavrin ;; esac
if [ ! -x "$tavrin" ]; then
    echo "no Tavrin binary at $tavrin (the README's first command builds it)" >&2
    exit 2
fi

summary=$(dirname "$tavrin")/Tavrin-summary
if [ ! -x "$summary" ]; then
    echo "no Tavrin-summary binary at $summary (the README's first command builds it)" >&2
    exit 2
fi

if ! command -v snakemake >/dev/null; then
    echo "snakemake is not installed (Debian package snakemake; .ci/run installs it)" >&2
    exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# ---- Generated input: 60 trees of ten kinds, a group file and a list in a scrambled order. ----
cat > groups.txt <<'EOF'
Opisthokonta Fungi
Opisthokonta Metazoa
Amorphea Opisthokonta
Amorphea Amoebozoa
EOF

mkdir trees
tree_path() { # two names that need care: one with a blank, one with braces
    case $1 in
    42) echo "trees/tree $1.nwk" ;;
    17) echo "trees/t{$1}.nwk" ;;
    *) echo "trees/t$1.nwk" ;;
    esac
}
for i in $(seq 1 60); do
    s=$((i + 20)).$((i % 4))5 # a support value that differs from tree to tree
    f=$(tree_path "$i")
    case $((i % 10)) in
    0) echo "((((Choano-a:0.1,Choano-b:0.2)95:0.05,Metazoa-m:0.3)$s:0.1,Fungi-f:0.4)70:0.2,Fungi-g:0.5);" ;;
    1) echo "((Choano-a:0.1,Metazoa-m:0.2)$s:0.1,(Choano-b:0.1,Choano-c:0.1)85:0.1);" ;; # rerooted
    2) echo "((Choano-a:0.1,Fungi-x:0.2)$s:0.1,(Choano-b:0.1,Metazoa-m:0.2)60:0.1);" ;;    # split
    3) echo "(Choano-a:0.1,Choano-b:0.2);" ;;                                               # root
    4) printf '%s\n%s\n' "(((((Choano-a:0.1,Choano-b:0.1)90:0.1,Metazoa-m:0.2)$s:0.1,Fungi-f:0.3)70:0.1," \
        "Metazoa-n:0.2)60:0.1,Fungi-g:0.4);" ;;                                             # two lines
    5) echo "((Metazoa-a:0.1,Fungi-b:0.2)$s:0.1,Amoebozoa-c:0.3);" ;;                      # no target
    6) echo "(((Choano-a:0.1,Choano-b:0.1)90:0.1,(Fungi-f:0.2,Metazoa-m:0.1)$s:0.1)80:0.1,Amoebozoa-q:0.3);" ;;
    7) echo "(Choano-a:0.1,Choano-b:0.2,Metazoa-m:0.3,Fungi-f:$s);" ;;                      # multifurcation
    8) echo "((Choano-a:0.1,Metazoa-m:0.2)${i}e-07:0.1,Fungi-f:0.3);" ;;
    9) echo "((Choano-a:0.1,Choano-b:0.1)90:0.1,(Fungi-f:0.2,Metazoa-m:0.1)$s:0.1);" ;;
    esac > "$f"
done
echo "((Choano-a:0.1,Metazoa-m:0.2)50:0.1,Fungi-f:0.3)" > trees/t37.nwk            # no final ';'
printf '((Choano-a:0.1,Metazoa-m:0.2)50:0.1,Fungi-f:0.3);\r\n' > trees/t48.nwk     # CRLF line end

# Every tree once in a scrambled order (7 is prime to 61), then one listed a second time.
for j in $(seq 1 60); do tree_path $((j * 7 % 61)); done > trees.txt
tree_path 5 >> trees.txt
mapfile -t listed < trees.txt

passed=0
failed=0
pass() {
    echo "ok - $1"
    passed=$((passed + 1))
}
fail() {
    echo "FAIL - $1"
    failed=$((failed + 1))
}

# run_workflow NAME CONFIG_LINES...: runs the workflow with a config of its own in run-NAME/,
# leaving its status in wf_status and snakemake's own output in run-NAME/snakemake.out.
run_workflow() {
    local name=$1
    shift
    mkdir -p "run-$name"
    {
        echo "tavrin: '$tavrin'"
        echo "output: run-$name/report.tsv"
        echo "diagnostics: run-$name/report.log"
        echo "batch_dir: run-$name/batches"
        printf '%s\n' "$@"
    } > "run-$name/config.yaml"
    wf_status=0
    snakemake -s "$repo/workflow/Snakefile" -j 2 --configfile "run-$name/config.yaml" \
        > "run-$name/snakemake.out" 2>&1 || wf_status=$?
}

show_snakemake() {
    echo "---- snakemake output ($1) ----"
    tail -n 40 "run-$1/snakemake.out"
    echo "----"
}

# The warnings that close a run when an option is added (three-way roots, separator, group-file
# members, --root entries and targets never met): a batch's speak of its own trees.
closing_warnings="^Warning: ([0-9]+ of [0-9]+ trees have a three-way root|no leaf name contains '|1 group file member matches no leaf|[0-9]+ group file members match no leaf|--root entry '.*' matched no leaf in any tree|no leaf of any tree passes the target test)"

# compare_with_sequential NAME ARGS...: the workflow's report and diagnostics in run-NAME/ against
# one Tavrin call with ARGS followed by every listed tree (reported under $label when set). With
# batch_warnings=1, the diagnostics are compared without the warnings that close each run.
compare_with_sequential() {
    local name=$1
    shift
    local seq_status=0
    "$tavrin" "$@" "${listed[@]}" > "run-$name/seq.tsv" 2> "run-$name/seq.log" || seq_status=$?
    if [ "${batch_warnings:-0}" = 1 ]; then
        for log in seq report; do
            grep -v -E "$closing_warnings" "run-$name/$log.log" > "run-$name/$log.trees.log" || true
        done
    else
        cp "run-$name/seq.log" "run-$name/seq.trees.log" || true
        cp "run-$name/report.log" "run-$name/report.trees.log" || true
    fi
    if [ "$wf_status" -ne 0 ] || [ "$seq_status" -ne 0 ]; then
        fail "${label:-$name}: workflow status $wf_status, sequential status $seq_status (both should be 0)"
        show_snakemake "$name"
    elif ! cmp "run-$name/seq.tsv" "run-$name/report.tsv"; then
        fail "${label:-$name}: report differs from the sequential run"
        diff "run-$name/seq.tsv" "run-$name/report.tsv" | head -n 20 || true
    elif ! cmp "run-$name/seq.trees.log" "run-$name/report.trees.log"; then
        fail "${label:-$name}: diagnostics differ from the sequential run"
        diff "run-$name/seq.log" "run-$name/report.log" | head -n 20 || true
    elif [ "${batch_warnings:-0}" = 1 ]; then
        pass "${label:-$name}: report and diagnostics identical to the sequential run, but the warnings closing each batch"
    else
        pass "${label:-$name}: report and diagnostics identical to the sequential run"
    fi
}

# ---- 1. Group file, batches of 7 (9 batches, the last one short), two jobs. ----
run_workflow groups "tree_list: trees.txt" "prefix: Choano" "group_file: groups.txt" "batch_size: 7"
compare_with_sequential groups --groupFile groups.txt Choano
batches=$(find run-groups/batches -name 'batch_*.tsv' | wc -l)
if [ "$batches" -eq 9 ]; then
    pass "groups: 9 batches of at most 7 trees"
else
    fail "groups: expected 9 batch reports, found $batches"
fi
# The comparison above proves little if the generated set did not exercise these outcomes.
missing_kinds=""
grep -q "n/a" run-groups/seq.tsv || missing_kinds+=" n/a-row"
grep -q "Opisthokonta" run-groups/seq.tsv || missing_kinds+=" group-name"
grep -q "e-07" run-groups/seq.tsv || missing_kinds+=" exponent"
grep -q "CLADE NOT FOUND" run-groups/seq.log || missing_kinds+=" not-found"
grep -q "TARGET IS ROOT" run-groups/seq.log || missing_kinds+=" root"
[ "$(grep -c Malformed run-groups/seq.log)" -eq 2 ] || missing_kinds+=" malformed"
grep -q "^trees/tree 42.nwk:$" run-groups/seq.tsv || missing_kinds+=" blank-in-name"
grep -q "^trees/t{17}.nwk:$" run-groups/seq.tsv || missing_kinds+=" braces-in-name"
if [ -z "$missing_kinds" ]; then
    pass "generated set covers every kind of outcome"
else
    fail "generated set lacks:$missing_kinds"
fi

# compare_summary NAME ARGS...: the summary table, chart and log beside run-NAME/report.tsv against
# Tavrin-summary with ARGS over the sequential report.
compare_summary() {
    local name=$1
    shift
    "$summary" "$@" --svg "run-$name/seq.summary.svg" "run-$name/seq.tsv" \
        > "run-$name/seq.summary.tsv" 2> "run-$name/seq.summary.log" || true
    local part
    for part in tsv svg log; do
        if ! cmp "run-$name/seq.summary.$part" "run-$name/report.summary.$part"; then
            fail "$name: report.summary.$part differs from Tavrin-summary over the sequential report"
            return
        fi
    done
    if [ "$(wc -l < "run-$name/report.summary.tsv")" -lt 3 ]; then
        fail "$name: the summary table has fewer than two pairs"
    else
        pass "$name: summary table, chart and log beside the report"
    fi
}
compare_summary groups

# ---- 2. --E with a pattern the shell would split, no group file, one batch, a blank line. ----
{ head -n 30 trees.txt; echo; tail -n +31 trees.txt; } > trees-blank.txt
run_workflow regex "tree_list: trees-blank.txt" "prefix: '^Cho|^Zzz'" "regex: true" "batch_size: 100" \
    "min_support: 45.5" "outliers: 0"
compare_with_sequential regex --E '^Cho|^Zzz'
compare_summary regex --min-support 45.5

# ---- 3. An edited tree file: only its batch runs again, and the report follows the edit. ----
echo "((Choano-a:0.1,Fungi-f:0.2)33:0.1,Metazoa-m:0.3);" > trees/t10.nwk
run_workflow groups "tree_list: trees.txt" "prefix: Choano" "group_file: groups.txt" "batch_size: 7"
label=edit compare_with_sequential groups --groupFile groups.txt Choano
compare_summary groups  # the summary follows the edited report
rerun=$(grep -c "^rule run_batch:" run-groups/snakemake.out || true)
if [ "$rerun" -eq 1 ]; then
    pass "edit: only the edited tree's batch ran again"
else
    fail "edit: $rerun batches ran again, expected 1"
fi

# ---- 4. A listed path Tavrin cannot open, in the fifth of nine batches: a socket, which no
# one can open as a file, not even root. ----
python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' trees/unopenable
{ head -n 30 trees.txt; echo trees/unopenable; tail -n +31 trees.txt; } > trees-unopenable.txt
run_workflow unopenable "tree_list: trees-unopenable.txt" "prefix: Choano" "group_file: groups.txt" \
    "batch_size: 7"
if [ "$wf_status" -eq 0 ]; then
    fail "unopenable: the workflow succeeded although Tavrin stops there with status 15"
elif [ -e run-unopenable/report.tsv ] || [ -e run-unopenable/report.summary.tsv ]; then
    fail "unopenable: a joined report or summary was written for a failed run"
elif ! grep -q "status 15" run-unopenable/snakemake.out ||
    ! grep -q "The file trees/unopenable is not opened" run-unopenable/snakemake.out; then
    fail "unopenable: the failing batch's status and diagnostics are not shown"
    show_snakemake unopenable
else
    pass "unopenable: the workflow fails, shows the batch's diagnostics and writes no report"
fi

# ---- 5. A listed tree file that does not exist: the workflow fails before any batch runs. ----
{ head -n 30 trees.txt; echo trees/missing.nwk; tail -n +31 trees.txt; } > trees-missing.txt
run_workflow missing "tree_list: trees-missing.txt" "prefix: Choano" "group_file: groups.txt" \
    "batch_size: 7"
if [ "$wf_status" -ne 0 ] && grep -q "trees/missing.nwk" run-missing/snakemake.out &&
    ! ls run-missing/batches/batch_*.tsv >/dev/null 2>&1; then
    pass "missing: a tree file that does not exist stops the workflow before any batch runs"
else
    fail "missing: expected a failure naming trees/missing.nwk before any batch (status $wf_status)"
    show_snakemake missing
fi

# ---- 6. outliers: a whole number, refused otherwise before any batch runs; above 0 it is passed
# on as --outliers K, when this Tavrin has that option. ----
for bad in -1 1.5 "'two'" true; do
    run_workflow "outliers-bad" "tree_list: trees.txt" "prefix: Choano" "outliers: $bad"
    if [ "$wf_status" -ne 0 ] && grep -q "config key 'outliers' must be a whole number" \
        run-outliers-bad/snakemake.out && [ ! -e run-outliers-bad/batches ]; then
        pass "outliers: $bad refused before any batch runs"
    else
        fail "outliers: $bad not refused as it should be (status $wf_status)"
        show_snakemake outliers-bad
    fi
    rm -rf run-outliers-bad
done
if "$tavrin" --help 2>/dev/null | grep -q -- --outliers; then
    run_workflow outliers "tree_list: trees.txt" "prefix: Choano" "group_file: groups.txt" \
        "batch_size: 7" "outliers: 2"
    batch_warnings=1 compare_with_sequential outliers --outliers 2 --groupFile groups.txt Choano
    compare_summary outliers
else
    echo "skip - outliers: this Tavrin has no --outliers option"
fi

# ---- 7. The GNU parallel recipe from workflow/README.md, when parallel is installed. ----
if command -v parallel >/dev/null; then
    mkdir -p run-parallel
    par_status=0
    parallel --will-cite --halt now,fail=1 -k -N 7 "$tavrin" --groupFile groups.txt Choano \
        :::: trees.txt > run-parallel/report.tsv 2> run-parallel/report.log || par_status=$?
    if [ "$par_status" -eq 0 ] && cmp run-groups/seq.tsv run-parallel/report.tsv &&
        cmp run-groups/seq.log run-parallel/report.log; then
        pass "parallel: the one-line recipe matches the sequential run"
    else
        fail "parallel: the one-line recipe differs from the sequential run (status $par_status)"
    fi
else
    echo "skip - parallel: GNU parallel is not installed"
fi

echo "workflow: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
