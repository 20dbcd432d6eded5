#!/usr/bin/env bash
# Runs two builds of Tavrin and Tavrin-summary side by side over a large corpus and reports every
# run in which they differ: standard output, standard error, exit status, and every file the run
# wrote (the SVG pictures of --draw, the chart of --svg, the page of --html), byte for byte.
#
# usage: bench/compare_builds.sh REF_BUILD_DIR NEW_BUILD_DIR [--quick]
#   REF_BUILD_DIR, NEW_BUILD_DIR  build folders, each holding Tavrin and Tavrin-summary
#   --quick   the golden cases (but the group-file closure limit, which alone takes seconds) and
#             the error paths, but only one in sixteen of the other combinations, and the
#             reports of one target for Tavrin-summary (under a minute on 2 cores)
#
# The corpus:
#   - every command-line case of tests/cli/cases (Tavrin) and tests/summary/cases
#     (Tavrin-summary), run inside its folder as its runner runs it (`generate` run first);
#   - the gene trees of bench/genes, one run per inference program and option combination:
#     report or --table, both readers, with or without the group file, --root (none, midpoint,
#     an outgroup then midpoint, given), --outliers 1 and 2, --sister-purity 0.8 alone and with
#     --root-strays 2 (with the group file), several targets; --support-field
#     on IQ-TREE's labels, --separator on copies whose names use '|', --E patterns, --draw;
#   - big synthetic trees drawn by --draw (wedges and merged subtrees), NEXUS files of
#     tests/data/bayesian with --support-attribute and --burnin, the pipeline trees of
#     tests/data/pipelines, gzip copies (sound and damaged), standard input (piped and
#     redirected), malformed files, and bad command lines (missing files, bad or missing values,
#     an option twice, empty prefix, bad patterns, the help shapes -h, -? and too few arguments);
#   - Tavrin-summary over reports, tables and pictures written by the reference build in the runs
#     above (the same inputs for both builds), with --first, --min-support, --svg, --html,
#     --pictures, standard input, several inputs at once, cut or damaged inputs and bad options.
#
# Each side of a run starts in a fresh working folder at the same absolute path, the inputs
# linked in at the same relative paths, and each program is started under its plain name
# (`Tavrin`, `Tavrin-summary`), so that every path and name printed is the same for both builds.
# Not compared, because they are meant to change: the output of `Tavrin --help` and the usage text
# of Tavrin-summary (its -h/--help output, and the usage line that follows an error message).
# Their exit statuses are compared all the same.
#
# Prints each differing run (its command line and a short diff), then `compared N runs, D differ`
# on standard output; exits 0 when no run differs, 1 when some do, 2 when the comparison itself
# could not be made. Environment: JOBS (runs at once, default the number of processors),
# RUN_TIMEOUT (seconds of processor time allowed to one program run, default 120), DIFF_LINES
# (lines of diff shown per differing run, default 30).
set -eEuo pipefail
export LC_ALL=C
# A command of this script that fails, in a function or a worker too, is a comparison that could
# not be made, not a difference.
trap 'exit 2' ERR

usage() {
    awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "${BASH_SOURCE[0]}"
}

fail() {
    echo "compare_builds.sh: $*" >&2
    exit 2
}

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
quick=0
builds=()
for arg in "$@"; do
    case $arg in
        --quick) quick=1 ;;
        -h | --help) usage; exit 0 ;;
        -*) fail "unknown option: $arg (see --help)" ;;
        *) builds+=("$arg") ;;
    esac
done
[[ ${#builds[@]} -eq 2 ]] ||
    fail "usage: bench/compare_builds.sh REF_BUILD_DIR NEW_BUILD_DIR [--quick] (see --help)"
for build in "${builds[@]}"; do
    for program in Tavrin Tavrin-summary; do
        [[ -f $build/$program && -x $build/$program ]] || fail "no executable $build/$program"
    done
done
jobs=${JOBS:-$(nproc)}
run_timeout=${RUN_TIMEOUT:-120}
diff_lines=${DIFF_LINES:-30}

work=$(mktemp -d "${TMPDIR:-/tmp}/compare_builds.XXXXXX")
trap 'rm -rf "$work"' EXIT
corpus=$work/corpus

# The two sides' programs.
mkdir -p "$work/bin/ref" "$work/bin/new"
for program in Tavrin Tavrin-summary; do
    ln -s "$(realpath "${builds[0]}/$program")" "$work/bin/ref/$program"
    ln -s "$(realpath "${builds[1]}/$program")" "$work/bin/new/$program"
done

# What every run starts from: a folder holding `box`, the working folder, with links to the
# corpus; in skeleton-case, tests/ is a folder of its own (the case's folder is copied into it).
mkdir -p "$work/skeleton/box" "$work/skeleton-case/box/tests"
for name in bench examples data reports; do
    ln -s "$corpus/$name" "$work/skeleton/box/$name"
    ln -s "$corpus/$name" "$work/skeleton-case/box/$name"
done
ln -s "$corpus/tests" "$work/skeleton/box/tests"
ln -s "$corpus/tests/data" "$work/skeleton-case/box/tests/data"

# ---------------------------------------------------------------------------------------------
# The corpus: copies of the repository's inputs, and files made from them. Runs see it through
# links in their working folder: bench/, examples/, tests/, data/ (made here), reports/ (the
# reference build's outputs that Tavrin-summary reads).

# A tree of n leaves named <group>-<i>: the groups of bench/genes in blocks, about one leaf in
# fifty misplaced, supports 0-99 and lengths from a fixed pseudo-random sequence; "balanced"
# halves every clade, "ladder" adds one leaf at a time.
synthetic_tree() { # shape n seed
    awk -v shape="$1" -v n="$2" -v seed="$3" '
        function next_random() { state = (state * 16807) % 2147483647; return state / 2147483647 }
        function leaf(i,   k) {
            k = int((i - 1) * 10 / n) + 1
            if (next_random() < 0.02) k = int(next_random() * 10) + 1
            return group[k] "-" i ":" sprintf("%.5f", next_random() * 0.2)
        }
        function inner() { return int(next_random() * 100) ":" sprintf("%.5f", next_random() * 0.1) }
        function balanced(lo, hi,   mid) {
            if (lo == hi) return leaf(lo)
            mid = int((lo + hi) / 2)
            return "(" balanced(lo, mid) "," balanced(mid + 1, hi) ")" inner()
        }
        BEGIN {
            state = seed
            split("Metazoa Choano Fungi Amoebozoa Stramen Alveolata Rhizaria Rhodo Viridi Excavata", group, " ")
            if (shape == "balanced") { print balanced(1, n) ";"; exit }
            text = leaf(1)
            for (i = 2; i <= n; i++) text = "(" text "," leaf(i) ")" inner()
            print text ";"
        }'
}

make_corpus() {
    local case_dir file program
    mkdir -p "$corpus/tests" "$corpus/bench/genes" "$corpus/reports"
    cp -R "$root/tests/cli" "$root/tests/summary" "$root/tests/data" "$corpus/tests/"
    cp -R "$root/bench/genes/fasttree" "$root/bench/genes/iqtree" "$root/bench/genes/raxml" \
        "$root/bench/genes/groups.txt" "$corpus/bench/genes/"
    cp -R "$root/examples" "$corpus/examples"
    # Cases whose inputs are too big for the repository make them once, as their runner would.
    for case_dir in "$corpus"/tests/cli/cases/*/ "$corpus"/tests/summary/cases/*/; do
        if [[ -f $case_dir/generate ]]; then
            (cd "$case_dir" && bash generate) || fail "the generate script of $case_dir failed"
        fi
    done

    local data=$corpus/data
    mkdir -p "$data/pipe" "$data/several" "$data/gz" "$data/bad" "$data/big" "$data/groups"
    for program in fasttree iqtree raxml; do
        # Leaf names with '|' between group and gene, for --separator.
        mkdir -p "$data/pipe/$program"
        for file in "$corpus/bench/genes/$program"/*.nwk; do
            sed -E 's/(Alveolata|Amoebozoa|Choano|Excavata|Fungi|Metazoa|Rhizaria|Rhodo|Stramen|Viridi)-/\1|/g' \
                "$file" >"$data/pipe/$program/${file##*/}"
        done
        # All the trees of a program in one file, one tree a line.
        cat "$corpus/bench/genes/$program"/*.nwk >"$data/several/$program.nwk"
        gzip -9n <"$data/several/$program.nwk" >"$data/gz/$program.nwk.gz"
        gzip -9n <"$corpus/bench/genes/$program/g001.nwk" >"$data/gz/${program}_g001.nwk.gz"
    done
    for file in "$corpus"/tests/data/bayesian/*.t "$corpus"/tests/data/bayesian/*.tre; do
        gzip -9n <"$file" >"$data/gz/${file##*/}.gz"
    done
    gzip -9n </dev/null >"$data/gz/empty.nwk.gz"
    # A compressed file cut short, and one whose data after the header is damaged. Tavrin
    # reserves memory for the text size that a gzip file's last four bytes give, which in a cut
    # file are arbitrary: the cut is made where they read a small number, so that no run spends
    # seconds reserving gigabytes.
    mkdir -p "$data/gzbad"
    local cut
    cut=$(od -An -v -tu1 "$data/gz/fasttree.nwk.gz" | tr -s ' ' '\n' | awk '
        NF { b[++n] = $1 }
        END {
            for (i = 200; i <= n - 8; i++)
                if (b[i-3] + 256 * b[i-2] + 65536 * b[i-1] + 16777216 * b[i] < 1000000) { print i; exit }
            print 300
        }')
    head -c "$cut" "$data/gz/fasttree.nwk.gz" >"$data/gzbad/cut.nwk.gz"
    { head -c 20 "$data/gz/iqtree.nwk.gz"; printf 'not deflate data at all\0\20\0\0'; } \
        >"$data/gzbad/damaged.nwk.gz"

    # Malformed and odd tree files.
    : >"$data/bad/empty.nwk"
    printf '\n\n' >"$data/bad/blank_lines.nwk"
    head -c 500 "$corpus/bench/genes/iqtree/g002.nwk" >"$data/bad/cut.nwk"
    printf '((Choano-a,Choano-b)90,(Fungi-f,Metazoa-m)80);  \n' >"$data/bad/trailing_blanks.nwk"
    sed 's/$/\r/' "$corpus/bench/genes/raxml/g003.nwk" >"$data/bad/crlf.nwk"
    printf '((Choano-a,Choano-b)90,(Fungi-f,Metazoa-m)80;\n' >"$data/bad/unbalanced.nwk"
    printf '((Choano-a,Choano-b)90,(Fungi-f,Metazoa-m)80));\n' >"$data/bad/extra_close.nwk"
    printf "(('Choano-a,Choano-b)90,Fungi-f);\n" >"$data/bad/open_quote.nwk"
    printf '((Choano-a,Choano-b)90[unclosed,Fungi-f);\n' >"$data/bad/open_comment.nwk"
    printf '((Choano-a,Choano-b)90,Fungi-f); trailing\n' >"$data/bad/after_last.nwk"
    printf '#NEXUS\nbegin trees;\nend;\n' >"$data/bad/no_tree.nex"
    printf '#NEXUS\nbegin trees;\n tree a = ((1,2),3;\n tree b = ((Choano-x,Choano-y)9,Fungi-z);\nend;\n' \
        >"$data/bad/bad_statement.nex"
    printf '\xef\xbb\xbf((Choano-a,Choano-b)90,(Fungi-f,Metazoa-m)80);\n' >"$data/bad/bom.nwk"
    printf "(('Choano-a\tb':1,'Choano-c\nd':1)90:1,('Fungi,x':1,Metazoa-m:1)80:1);\n" \
        >"$data/bad/awkward_names.nwk"
    mkdir -p "$data/bad/folder.nwk"

    # Group files: the bundled one upside down (larger groups first, with warnings), and one with
    # a header line and a byte order mark.
    tac "$corpus/bench/genes/groups.txt" >"$data/groups/reversed.txt"
    { printf '\xef\xbb\xbf# group member\n'; cat "$corpus/bench/genes/groups.txt"; } \
        >"$data/groups/header.txt"

    # Big trees, which pictures draw with wedges (past 200 leaves) and merged subtrees (past 400
    # tips).
    synthetic_tree balanced 600 11 >"$data/big/balanced_600.nwk"
    synthetic_tree balanced 5000 12 >"$data/big/balanced_5000.nwk"
    synthetic_tree ladder 1500 13 >"$data/big/ladder_1500.nwk"

    # A folder whose first picture's name is taken by a folder: --draw cannot write it.
    mkdir -p "$corpus/tests/scratch/draw_blocked/pics/000001_g001.svg"
}

# ---------------------------------------------------------------------------------------------
# The runs. A manifest line is one run: program, working folder (relative to the run's fresh
# folder), standard input, what not to compare, the name under which the reference build's
# output is kept for Tavrin-summary, and the arguments (shell-quoted).
#
#   standard input: `-` none (/dev/null), `<PATH` a file redirected, `|PATH` a file piped in
#   not compared:   `-` nothing left out, `help` standard output and error, `usage`
#                   Tavrin-summary's usage text (from a line that starts with `usage:` to the end)

manifest_line() { # program where stdin mask keep arg...
    local program=$1 where=$2 stdin=$3 mask=$4 keep=$5
    shift 5
    printf '%s\t%s\t%s\t%s\t%s\t' "$program" "$where" "$stdin" "$mask" "$keep"
    if [[ $# -gt 0 ]]; then printf '%q ' "$@"; fi
    printf '\n'
}

# One Tavrin run in the fresh folder.
tavrin() { manifest_line Tavrin . - - - "$@"; }

# One Tavrin run among many combinations of options: with --quick, one in sixteen is kept.
combination_count=0
sampled() {
    combination_count=$((combination_count + 1))
    [[ $quick -eq 0 || $((combination_count % 16)) -eq 1 ]]
}
combination() {
    if sampled; then tavrin "$@"; fi
}

# One Tavrin run whose standard output is kept as reports/NAME (and its --draw folder `pics` as
# reports/NAME-pictures) for Tavrin-summary.
tavrin_kept() { # name arg...
    local name=$1
    shift
    manifest_line Tavrin . - - "$name" "$@"
}

tavrin_stdin() { # stdin arg...
    local stdin=$1
    shift
    manifest_line Tavrin . "$stdin" - - "$@"
}

summary() { manifest_line Tavrin-summary . - usage - "$@"; }

summary_combination() {
    if sampled; then summary "$@"; fi
}

summary_stdin() { # stdin arg...
    local stdin=$1
    shift
    manifest_line Tavrin-summary . "$stdin" usage - "$@"
}

# The golden cases, each run in (a fresh copy of) its folder, as tests/cli/run_case.sh and
# tests/summary/CMakeLists.txt run them.
golden_cases() {
    local case_dir rel args mask stdin
    for case_dir in tests/cli/cases/*/; do
        rel=${case_dir%/}
        if [[ $quick -eq 1 && $rel == */groupfile_closure_limit ]]; then continue; fi
        args=()
        if [[ -f $rel/args ]]; then mapfile -t args <"$rel/args"; fi
        mask=-
        if [[ ${#args[@]} -eq 1 && ${args[0]} == --help ]]; then mask=help; fi
        manifest_line Tavrin "$rel" - "$mask" - "${args[@]}"
    done
    for case_dir in tests/summary/cases/*/; do
        rel=${case_dir%/}
        args=()
        if [[ -f $rel/args ]]; then mapfile -t args <"$rel/args"; fi
        stdin=-
        if [[ -f $rel/stdin ]]; then stdin="<$rel/stdin"; fi
        manifest_line Tavrin-summary "$rel" "$stdin" usage - "${args[@]}"
    done
}

groups=bench/genes/groups.txt

# The gene trees of the three programs under every combination of the main options.
gene_combinations() {
    local program mode reader grouping root outliers target files opts targets roots
    for program in fasttree iqtree raxml; do
        files=(bench/genes/"$program"/*.nwk)
        for mode in report table; do
            for reader in classic standard; do
                for grouping in none groups; do
                    targets=(Choano Fungi Stramen Viridi)
                    roots=(none midpoint 'Excavata,midpoint' given)
                    if [[ $grouping == groups ]]; then
                        targets+=(Opisthokonta SAR Archaeplastida)
                        roots+=('Archaeplastida,Excavata,midpoint')
                    fi
                    for root in "${roots[@]}"; do
                        for outliers in 0 1 2; do
                            for target in "${targets[@]}"; do
                                option_combination "" "$target"
                            done
                        done
                    done
                    # The tolerant naming, and the tolerant rooting with it.
                    [[ $grouping == groups ]] || continue
                    for root in none 'Excavata,midpoint' 'Archaeplastida,Excavata,midpoint'; do
                        for outliers in 0 2; do
                            for target in "${targets[@]}"; do
                                option_combination --sister-purity=0.8 "$target"
                                [[ $root == none ]] ||
                                    option_combination --sister-purity=0.8 --root-strays=2 "$target"
                            done
                        done
                    done
                done
            done
        done
    done
}

# One run of `combination` with the options that the loop variables mode, outliers, reader, root
# and grouping say, after the `first` ones (option=value pairs split at '=', or one empty), for
# `target` over the files.
option_combination() { # first... target
    local opts=()
    while [[ $# -gt 1 ]]; do
        [[ -n $1 ]] && opts+=("${1%%=*}" "${1#*=}")
        shift
    done
    [[ $mode == table ]] && opts+=(--table)
    [[ $outliers -gt 0 ]] && opts+=(--outliers "$outliers")
    [[ $reader == standard ]] && opts+=(--standard-newick)
    [[ $root != none ]] && opts+=(--root "$root")
    [[ $grouping == groups ]] && opts+=(--groupFile "$groups")
    combination "${opts[@]}" "$1" "${files[@]}"
}

# Runs whose outputs Tavrin-summary reads: reports and tables of each program, with and without
# outliers and a root, some with pictures.
gene_kept_outputs() {
    local program mode reader extra target files opts name
    for program in fasttree iqtree raxml; do
        files=(bench/genes/"$program"/*.nwk)
        for mode in report table; do
            for reader in classic standard; do
                for extra in plain outliers root; do
                    for target in Choano Fungi; do
                        if [[ $quick -eq 1 && $target != Choano ]]; then continue; fi
                        opts=()
                        [[ $mode == table ]] && opts+=(--table)
                        [[ $reader == standard ]] && opts+=(--standard-newick)
                        [[ $extra == outliers ]] && opts+=(--outliers 2)
                        [[ $extra == root ]] && opts+=(--root 'Excavata,midpoint' --outliers 1)
                        name=$program.$mode.$reader.$extra.$target
                        tavrin_kept "$name" "${opts[@]}" --groupFile "$groups" "$target" "${files[@]}"
                    done
                done
            done
        done
        # Tables with their pictures, for the page's links.
        tavrin_kept "$program.table.drawn" --table --standard-newick --draw pics --outliers 2 \
            --groupFile "$groups" Viridi "${files[@]}"
        tavrin_kept "$program.report.drawn" --standard-newick --draw pics --groupFile "$groups" \
            Stramen "${files[@]}"
    done
    # Every group as the target over every tree, with and without the group file: together
    # more pairs than the chart has bars.
    for target in Alveolata Amoebozoa Choano Excavata Fungi Metazoa Rhizaria Rhodo Stramen Viridi; do
        tavrin_kept "many.table.$target" --table --standard-newick --outliers 1 \
            --groupFile "$groups" "$target" bench/genes/*/*.nwk
        tavrin_kept "many.report.$target" --root midpoint "$target" bench/genes/*/*.nwk
    done
    # Every tree of the three programs in one run.
    tavrin_kept all.report --standard-newick --groupFile "$groups" Choano bench/genes/*/*.nwk
    tavrin_kept all.table --table --standard-newick --outliers 3 --groupFile "$groups" Choano \
        bench/genes/*/*.nwk
    # Fractions: FastTree's local supports and MrBayes' posteriors.
    tavrin_kept fractions.table --table --standard-newick --support-attribute prob \
        --groupFile "$groups" Choano tests/data/bayesian/g1.nex.con.tre \
        tests/data/bayesian/g2.nex.con.tre tests/data/bayesian/g3.nex.con.tre
    tavrin_kept fractions.report --standard-newick --support-attribute prob --groupFile "$groups" \
        Fungi tests/data/bayesian/g1.nex.run1.t
    # Every status of the table, unreadable and malformed included, and names that need escapes.
    tavrin_kept statuses.table --table --standard-newick --outliers 1 --root Nowhere,midpoint \
        --groupFile "$groups" Choano bench/genes/iqtree/g00[1-9].nwk data/bad/empty.nwk \
        data/bad/cut.nwk missing.nwk data/bad/folder.nwk data/bad/awkward_names.nwk \
        data/bad/unbalanced.nwk
    tavrin_kept statuses.report --outliers 1 --groupFile "$groups" Choano \
        bench/genes/raxml/g01[0-9].nwk data/bad/empty.nwk data/bad/trailing_blanks.nwk
    tavrin_kept whole.table --table Choano examples/t1.nwk examples/t2.nwk examples/t3.nwk \
        examples/t4.nwk data/bad/unbalanced.nwk
    tavrin_kept pipe.table --table --separator '|' --groupFile "$groups" Choano \
        data/pipe/iqtree/*.nwk
    tavrin_kept escapes.table --table --standard-newick --outliers 1 Choano-a \
        data/bad/awkward_names.nwk
    tavrin_kept escapes.report --standard-newick Choano data/bad/awkward_names.nwk
}

# The options that read the programs' own labels and names.
gene_reading_options() {
    local mode reader grouping root outliers target program files opts field pattern
    files=(bench/genes/iqtree/*.nwk)
    for mode in report table; do
        for reader in classic standard; do
            for grouping in none groups; do
                for root in none midpoint; do
                    for outliers in 0 2; do
                        for target in Choano Fungi Stramen Viridi; do
                            option_combination --support-field=2 "$target"
                        done
                    done
                done
            done
        done
    done
    for field in 1 3 1000000; do
        tavrin --support-field "$field" --standard-newick Choano "${files[@]}"
        tavrin --table --support-field "$field" Fungi "${files[@]}"
    done

    # --separator: names joined by '|', and the bundled names under another byte.
    for program in fasttree iqtree raxml; do
        for mode in report table; do
            for reader in classic standard; do
                for grouping in none groups; do
                    for root in none midpoint; do
                        for target in Choano Fungi Stramen Viridi; do
                            opts=(--separator '|')
                            [[ $mode == table ]] && opts+=(--table)
                            [[ $reader == standard ]] && opts+=(--standard-newick)
                            [[ $root != none ]] && opts+=(--root "$root")
                            [[ $grouping == groups ]] && opts+=(--groupFile "$groups")
                            combination "${opts[@]}" "$target" data/pipe/"$program"/*.nwk
                        done
                    done
                done
            done
        done
        for mode in report table; do
            opts=()
            [[ $mode == table ]] && opts+=(--table)
            tavrin "${opts[@]}" --separator - --groupFile "$groups" Choano bench/genes/"$program"/*.nwk
            tavrin "${opts[@]}" --separator _ --groupFile "$groups" Choano bench/genes/"$program"/*.nwk
            tavrin "${opts[@]}" --groupFile "$groups" Choano data/pipe/"$program"/*.nwk
            tavrin "${opts[@]}" --separator '|' --root Excavata,midpoint --outliers 2 \
                --groupFile "$groups" Metazoa data/pipe/"$program"/*.nwk
        done
    done

    # --E patterns, alone and after the group file.
    for program in fasttree iqtree raxml; do
        files=(bench/genes/"$program"/*.nwk)
        for pattern in '^Choano' 'Choano-[1-3]$' '^(Fungi|Metazoa)-' 'zoa' '(?=Fun)Fungi' \
            '^Viridi-[0-9]+' '^[CM]' 'o-1' '^Rh(odo|izaria)' '^(?!Choano)Ch'; do
            for mode in report table; do
                opts=()
                [[ $mode == table ]] && opts+=(--table --standard-newick)
                combination "${opts[@]}" --E "$pattern" "${files[@]}"
                combination "${opts[@]}" --groupFile "$groups" --E "$pattern" "${files[@]}"
                combination "${opts[@]}" --outliers 2 --root midpoint --groupFile "$groups" \
                    --E "$pattern" "${files[@]}"
            done
        done
    done
}

# --draw on the gene trees and on big trees.
drawing() {
    local program mode reader grouping root outliers target files opts file
    for program in fasttree iqtree raxml; do
        files=(bench/genes/"$program"/*.nwk)
        for mode in report table; do
            for reader in classic standard; do
                for grouping in none groups; do
                    for root in none midpoint; do
                        for outliers in 0 2; do
                            for target in Choano Viridi; do
                                opts=(--draw pics)
                                [[ $mode == table ]] && opts+=(--table)
                                [[ $outliers -gt 0 ]] && opts+=(--outliers "$outliers")
                                [[ $reader == standard ]] && opts+=(--standard-newick)
                                [[ $root != none ]] && opts+=(--root "$root")
                                [[ $grouping == groups ]] && opts+=(--groupFile "$groups")
                                combination "${opts[@]}" "$target" "${files[@]}"
                            done
                        done
                    done
                done
            done
        done
        tavrin --draw pics --separator '|' --groupFile "$groups" Fungi data/pipe/"$program"/*.nwk
        tavrin --draw pics --table --groupFile "$groups" --E '^Viridi-[12]$' "${files[@]}"
        tavrin --draw deeper/still/pics --standard-newick --groupFile "$groups" Choano \
            data/several/"$program".nwk
    done
    for file in data/big/*.nwk; do
        for target in Choano Viridi Metazoa; do
            tavrin --draw pics --groupFile "$groups" "$target" "$file"
            tavrin --draw pics --table --outliers 3 --root midpoint --groupFile "$groups" \
                "$target" "$file"
        done
        tavrin --table --standard-newick --groupFile "$groups" Opisthokonta "$file"
        tavrin --draw pics --standard-newick Excavata "$file"
    done
    tavrin --draw pics --table --standard-newick --support-attribute prob --groupFile "$groups" \
        Choano tests/data/bayesian/g2.nex.run1.t
    tavrin --draw pics --standard-newick Choano-a data/bad/awkward_names.nwk
    tavrin --draw pics --table Choano data/bad/unbalanced.nwk data/bad/empty.nwk missing.nwk \
        examples/t1.nwk examples/t2.nwk examples/t3.nwk examples/t4.nwk
    tavrin --draw pics --root Nowhere Choano examples/t1.nwk
    tavrin --draw . Choano examples/t1.nwk
    manifest_line Tavrin tests/scratch/draw_blocked - - - --draw pics Choano \
        ../../../bench/genes/fasttree/g001.nwk ../../../bench/genes/fasttree/g002.nwk
    manifest_line Tavrin tests/scratch/draw_blocked - - - --table --draw pics Choano \
        ../../../bench/genes/fasttree/g001.nwk
}

# A few runs that mix options in other orders and on other files.
other_tree_runs() {
    local file mode target files
    tavrin --outliers 0 --groupFile "$groups" Choano bench/genes/fasttree/*.nwk
    tavrin --table --outliers 1000000000 --groupFile "$groups" Choano bench/genes/raxml/*.nwk
    tavrin --root midpoint --standard-newick --outliers 2 --table --groupFile "$groups" Fungi \
        bench/genes/iqtree/*.nwk
    tavrin --root Excavata --groupFile "$groups" Viridi bench/genes/fasttree/*.nwk
    tavrin --root Choano,midpoint --table --groupFile "$groups" Choano bench/genes/raxml/*.nwk
    tavrin --root Viridi,given --table Stramen bench/genes/raxml/*.nwk
    tavrin --root Nowhere --table Choano bench/genes/iqtree/*.nwk
    tavrin --root Nowhere Choano bench/genes/iqtree/*.nwk
    tavrin --table --standard-newick Eukaryota bench/genes/iqtree/*.nwk
    tavrin --groupFile "$groups" Eukaryota bench/genes/iqtree/*.nwk
    tavrin --groupFile "$groups" Choanos bench/genes/iqtree/*.nwk
    tavrin Alveolata-1 bench/genes/fasttree/*.nwk
    tavrin --table --groupFile "$groups" Amorphea bench/genes/fasttree/g00*.nwk \
        bench/genes/fasttree/g00*.nwk
    for file in data/groups/reversed.txt data/groups/header.txt; do
        tavrin --groupFile "$file" Opisthokonta bench/genes/raxml/*.nwk
        tavrin --table --groupFile "$file" Choano bench/genes/raxml/*.nwk
    done
    # Several trees in one file: the standard reader reads each, the classic one warns.
    for file in data/several/*.nwk; do
        for mode in report table; do
            opts=()
            [[ $mode == table ]] && opts+=(--table)
            tavrin "${opts[@]}" --standard-newick --groupFile "$groups" Choano "$file"
            tavrin "${opts[@]}" --standard-newick --burnin 30 --outliers 1 --groupFile "$groups" \
                Fungi "$file"
            tavrin "${opts[@]}" --groupFile "$groups" Choano "$file"
        done
    done
    # The pipeline trees: formats of several programs and libraries.
    for file in tests/data/pipelines/*.nwk; do
        for target in Choano Fungi Metazoa; do
            combination --standard-newick "$target" "$file"
            combination --table --standard-newick --outliers 1 --root midpoint "$target" "$file"
            combination --table "$target" "$file"
        done
        tavrin --standard-newick --separator '|' --support-field 2 Protist "$file"
    done
    # The bundled examples.
    for target in Choano Fungi Metazoa Opisthokonta; do
        files=(examples/*.nwk)
        combination --groupFile examples/groups.txt "$target" "${files[@]}"
        combination --table --outliers 1 --groupFile examples/groups.txt "$target" "${files[@]}"
        combination --standard-newick --root midpoint --groupFile examples/groups.txt "$target" \
            "${files[@]}"
    done
}

# NEXUS files, RAxML's branch labels, compressed files and standard input.
bayesian_and_streams() {
    local file mode attribute target burnin opts program
    local nexus=(tests/data/bayesian/*.nex.con.tre tests/data/bayesian/*.nex.run1.t)
    for file in "${nexus[@]}"; do
        for mode in report table; do
            for attribute in none prob 'prob(percent)'; do
                for target in Choano Fungi Opisthokonta; do
                    opts=(--standard-newick)
                    [[ $mode == table ]] && opts+=(--table)
                    [[ $attribute != none ]] && opts+=(--support-attribute "$attribute")
                    combination "${opts[@]}" --groupFile "$groups" "$target" "$file"
                done
            done
        done
        tavrin --groupFile "$groups" Choano "$file"
        tavrin --table --groupFile "$groups" Choano "$file"
        tavrin --standard-newick --support-attribute prob --outliers 2 --root midpoint \
            --groupFile "$groups" Viridi "$file"
    done
    for file in tests/data/bayesian/*.nex.run1.t; do
        for burnin in 0 1 10 20 21 22 1000000000000; do
            combination --standard-newick --burnin "$burnin" --support-attribute prob \
                --groupFile "$groups" Choano "$file"
            combination --table --burnin "$burnin" --standard-newick --groupFile "$groups" Fungi \
                "$file"
        done
    done
    for file in tests/data/bayesian/RAxML_*; do
        for mode in report table; do
            opts=(--standard-newick)
            [[ $mode == table ]] && opts+=(--table)
            tavrin "${opts[@]}" --groupFile "$groups" Choano "$file"
            tavrin "${opts[@]}" --support-attribute prob --groupFile "$groups" Fungi "$file"
        done
        tavrin --groupFile "$groups" Choano "$file"
    done
    for file in data/bad/no_tree.nex data/bad/bad_statement.nex; do
        tavrin --standard-newick Choano "$file"
        tavrin --table --standard-newick Choano "$file"
    done

    # Compressed copies.
    for file in data/gz/*.gz; do
        combination --standard-newick --groupFile "$groups" Choano "$file"
        combination --table --standard-newick --support-attribute prob --groupFile "$groups" Fungi \
            "$file"
        combination --standard-newick --burnin 5 Choano "$file"
        combination Choano "$file"
    done
    tavrin --standard-newick Choano data/gz/fasttree.nwk.gz data/gzbad/cut.nwk.gz data/gz/iqtree.nwk.gz
    tavrin --table --standard-newick Choano data/gzbad/damaged.nwk.gz data/gz/iqtree.nwk.gz
    tavrin --table --standard-newick Choano data/gzbad/cut.nwk.gz

    # Standard input, piped and redirected.
    for program in fasttree iqtree raxml; do
        tavrin_stdin "|data/several/$program.nwk" --standard-newick --groupFile "$groups" Choano -
        tavrin_stdin "|data/several/$program.nwk" --table --standard-newick --outliers 2 \
            --groupFile "$groups" Fungi bench/genes/"$program"/g001.nwk - bench/genes/"$program"/g002.nwk
        tavrin_stdin "<data/several/$program.nwk" --standard-newick --draw pics Viridi -
        tavrin_stdin "|data/gz/$program.nwk.gz" --standard-newick --burnin 3 Choano -
        tavrin_stdin "|bench/genes/$program/g004.nwk" --groupFile "$groups" Choano -
        tavrin_stdin "<bench/genes/$program/g004.nwk" --table Choano -
    done
    tavrin_stdin "|tests/data/bayesian/g1.nex.run1.t" --standard-newick --support-attribute prob \
        --burnin 4 --groupFile "$groups" Choano -
    tavrin_stdin "|data/several/iqtree.nwk" --table --standard-newick Choano - -
    tavrin_stdin "|data/several/iqtree.nwk" --standard-newick Choano - -
    tavrin_stdin "|data/bad/cut.nwk" --standard-newick Choano -
    tavrin_stdin "|data/gzbad/cut.nwk.gz" --standard-newick Choano -
    tavrin_stdin "<data/gzbad/damaged.nwk.gz" --standard-newick Choano -
    tavrin_stdin - --standard-newick Choano -
    tavrin_stdin - --table Choano -
}

# Bad command lines and files that cannot be read.
tavrin_errors() {
    local tree=bench/genes/iqtree/g001.nwk option value mode opts
    # Files.
    for mode in report table; do
        opts=()
        [[ $mode == table ]] && opts+=(--table)
        tavrin "${opts[@]}" Choano missing.nwk
        tavrin "${opts[@]}" Choano "$tree" missing.nwk bench/genes/iqtree/g002.nwk
        tavrin "${opts[@]}" --standard-newick Choano missing.nwk "$tree"
        tavrin "${opts[@]}" --groupFile missing.txt Choano "$tree"
        tavrin "${opts[@]}" --groupFile bench Choano "$tree"
        tavrin "${opts[@]}" --groupFile '' Choano "$tree"
        tavrin "${opts[@]}" --groupFile missing.txt Choano missing.nwk
        tavrin "${opts[@]}" Choano data/bad/*
        tavrin "${opts[@]}" --standard-newick Choano data/bad/*
        tavrin "${opts[@]}" --standard-newick --outliers 1 --root midpoint Choano-a data/bad/*
        tavrin "${opts[@]}" '' "$tree"
        tavrin "${opts[@]}" --groupFile "$groups" '' "$tree"
        tavrin "${opts[@]}" --groupfile "$groups" Choano "$tree"
        tavrin "${opts[@]}" --outliers=2 Choano "$tree"
        tavrin "${opts[@]}" -- Choano "$tree"
    done
    # Leading options: missing, malformed and repeated values.
    for option in --outliers --support-field --separator --draw --root --support-attribute --burnin; do
        tavrin "$option"
        tavrin --table "$option"
        tavrin --standard-newick "$option" "$option"
    done
    for value in '' x -1 1.5 +2 ' 2' 2x 0x2 1e3 99999999999999999999999 $'1\r' --table; do
        tavrin --outliers "$value" Choano "$tree"
        tavrin --support-field "$value" Choano "$tree"
        tavrin --standard-newick --burnin "$value" Choano "$tree"
    done
    tavrin --support-field 0 Choano "$tree"
    tavrin --support-field 1000001 Choano "$tree"
    tavrin --outliers 1000000001 Choano "$tree"
    tavrin --standard-newick --burnin 1000000000001 Choano "$tree"
    for value in '' ab -- é '(' ')' ',' ':' ';' "'" '[' ']' ' ' $'\t' $'\n' $'\r' $'a\e[2J'; do
        tavrin --separator "$value" Choano "$tree"
    done
    for value in '' ',' 'midpoint,' ',midpoint' 'a,,b' 'midpoint, '; do
        tavrin --root "$value" Choano "$tree"
    done
    tavrin --draw '' Choano "$tree"
    tavrin --draw "$tree" Choano "$tree"
    tavrin --burnin 2 Choano "$tree"
    tavrin --support-attribute prob Choano "$tree"
    tavrin --standard-newick --support-attribute '' Choano "$tree"
    tavrin --standard-newick --support-attribute prob --support-field 2 Choano "$tree"
    tavrin --standard-newick --support-field 2 --support-attribute prob Choano "$tree"
    for option in --table --standard-newick; do
        tavrin "$option" "$option" Choano "$tree"
        tavrin "$option" --outliers 1 "$option" Choano "$tree"
    done
    for option in '--outliers 1' '--support-field 2' '--separator |' '--draw pics' \
        '--root midpoint' '--burnin 1' '--support-attribute prob'; do
        read -r -a opts <<<"$option"
        tavrin --standard-newick "${opts[@]}" --table "${opts[@]}" Choano "$tree"
    done
    tavrin --support-field 0 --support-field 2 Choano "$tree"
    tavrin --table --separator ab --table Choano "$tree"
    # --E patterns that cannot be compiled.
    for value in '(' ')' '(?<x)' '*a' "a\\" '\1' '[z-a]' '[[:nope:]]' '[[:alpha' 'a{2' 'a{3,2}' \
        'a{1,1234567}' '[' '(?=a'; do
        tavrin --E "$value" "$tree"
        tavrin --table --groupFile "$groups" --E "$value" "$tree"
    done
    # The help shapes, the version, and shapes read by position.
    tavrin
    tavrin -h
    tavrin '-?'
    tavrin -h Choano "$tree"
    tavrin Choano
    tavrin --table Choano
    tavrin --groupFile "$groups"
    tavrin --groupFile "$groups" Choano
    tavrin --E
    tavrin --E Choano
    tavrin --groupFile "$groups" --E
    tavrin --E --groupFile "$groups" "$tree"
    tavrin --version
    tavrin --version Choano "$tree"
    tavrin --help Choano "$tree"
    manifest_line Tavrin . - help - --help
}

# ---------------------------------------------------------------------------------------------
# Tavrin-summary, over what the reference build wrote in the first phase (reports/).

summary_runs() {
    local file
    local kept=()
    for file in reports/*; do
        [[ -f $file ]] && kept+=("$file")
    done
    for file in "${kept[@]}"; do
        summary "$file"
        summary_combination --first "$file"
        summary_combination --min-support 0.9 "$file"
        summary_combination --min-support 95 "$file"
        summary_combination --first --min-support 0 "$file"
        summary_combination --min-support=50.5 "$file"
        summary_combination --svg chart.svg "$file"
        summary_combination --html page.html "$file"
        summary_combination --first --svg chart.svg --html page.html --min-support 80 "$file"
        summary_combination --svg out/chart.svg "$file"
        if [[ -d $file-pictures ]]; then
            summary --html page.html --pictures "$file-pictures" "$file"
            summary --svg chart.svg --html page.html --pictures "$file-pictures" --first "$file"
            summary --html page.html --pictures reports "$file"
        fi
        if sampled; then summary_stdin "|$file" -; fi
        if sampled; then summary_stdin "<$file"; fi
        if sampled; then summary_stdin "|$file" --first --svg chart.svg "$file" - "$file"; fi
    done
    # Several inputs at once: every report, every table, all mixed.
    local reports=() tables=()
    for file in "${kept[@]}"; do
        case $file in
            *.report*) reports+=("$file") ;;
            *.table*) tables+=("$file") ;;
        esac
    done
    summary "${reports[@]}"
    summary --first "${tables[@]}"
    summary --svg chart.svg --html page.html "${kept[@]}"
    summary --min-support 0.5 --html page.html --pictures reports/iqtree.table.drawn-pictures \
        reports/fasttree.table.drawn reports/iqtree.table.drawn
    summary_stdin "|reports/all.table" reports/all.report -- - reports/fractions.table
    summary reports/many.*
    summary --first --svg chart.svg --html page.html reports/many.*
    summary --svg chart.svg --min-support 95 reports/many.report.*
    summary --html page.html --min-support 0 reports/many.table.*

    # Damaged inputs: cut inside a line, CRLF line ends, an empty line, Tavrin's messages.
    mkdir -p data/summary
    head -c 1000 reports/all.table >data/summary/cut.table
    head -c 1000 reports/all.report >data/summary/cut.report
    sed 's/$/\r/' reports/iqtree.table.standard.plain.Choano >data/summary/crlf.table
    sed '3s/$/\n/' reports/iqtree.report.standard.plain.Choano >data/summary/empty_line.report
    awk -F '\t' -v OFS='\t' 'NR == 2 { $NF = "8O" } 1' reports/iqtree.report.standard.plain.Choano \
        >data/summary/bad_support.report
    printf 'Choano\tFungi\t90\n' >data/summary/row_first.report
    printf 'x.nwk:\nChoano\tFungi\n' >data/summary/two_fields.report
    head -n 1 reports/all.table >data/summary/header_only.table
    { head -n 1 reports/all.table; printf 'a.nwk\t1\tChoano\tlost\t\t\t\t0\t2\t0\t\tgiven\n'; } \
        >data/summary/unknown_status.table
    for file in data/summary/*; do
        summary "$file"
        summary --svg chart.svg --html page.html "$file"
    done
    summary reports/all.report data/summary/cut.report
    summary_stdin "|data/summary/crlf.table" -

    # Bad options and files.
    local report=reports/all.report
    summary --bogus "$report"
    summary -x
    summary --min-support
    for value in x '' nan inf -inf 1e999 0x10 ' 5' 5x -5 1e-3; do
        summary --min-support "$value" "$report"
    done
    summary --svg
    summary --html
    summary --pictures
    summary --svg - "$report"
    summary --svg "$report" "$report"
    summary_stdin "|$report" --svg - -
    summary --svg ./- "$report"
    summary --html - "$report"
    summary --html "$report" "$report"
    summary --svg same.out --html same.out "$report"
    summary --pictures reports "$report"
    summary --html page.html --pictures missing "$report"
    summary --html page.html --pictures "$report" "$report"
    summary --html page.html --pictures '' "$report"
    summary --svg '' "$report"
    summary --html '' "$report"
    summary --first --first "$report"
    summary --svg a.svg --svg b.svg "$report"
    summary missing.tsv
    summary "$report" missing.tsv
    summary reports
    summary --svg nowhere/chart.svg --html nowhere/page.html "$report"
    summary -
    summary_stdin "|$report" - -
    summary --version
    summary --help
    summary -h
    summary "$report" --help
    summary -- --first
}

# ---------------------------------------------------------------------------------------------
# Running a manifest: each run twice, the reference build then the new one, each in a fresh
# folder at the same path, then the two compared.

# Starts the program of the current run in its working folder, under its plain name, with a
# limit of processor time.
launch() (
    cd "$slot/out/box/$where" && ulimit -t "$run_timeout" && exec -a "$program" "$binary" "${argv[@]}"
)

# Runs one side of the run described by the globals of run_one: the program runs in a fresh
# copy of the skeleton, under its plain name, with a limit of processor time.
run_side() { # side
    local side=$1 status binary=$work/bin/$1/$program
    if [[ $where == tests/* ]]; then
        cp -R "$work/skeleton-case" "$slot/out"
        cp -R --parents "$where" "$slot/out/box/"
    else
        cp -R "$work/skeleton" "$slot/out"
    fi
    local input=/dev/null
    if [[ $stdin != - ]]; then input=$slot/out/box/${stdin:1}; fi
    if [[ $stdin == '|'* ]]; then
        # A pipe, not the file itself: what a program learns from a file (its size, seeking) it
        # cannot learn from a pipe.
        # shellcheck disable=SC2002
        if cat "$input" | launch >"$slot/out/stdout" 2>"$slot/out/stderr"; then
            status=0
        else
            status=${PIPESTATUS[1]}
        fi
    else
        status=0
        launch <"$input" >"$slot/out/stdout" 2>"$slot/out/stderr" || status=$?
    fi
    echo "$status" >"$slot/out/status"
    mv "$slot/out" "$slot/$side"
}

# Blanks what is not compared, on both sides.
mask_outputs() {
    local side stream
    for side in ref new; do
        for stream in stdout stderr; do
            case $mask in
                help) echo '[not compared]' >"$slot/$side/$stream" ;;
                usage) sed -i '/^[Uu]sage:/,$c [usage text, not compared]' "$slot/$side/$stream" ;;
            esac
        done
    done
}

# Runs one manifest line on both sides; writes a report of the difference, if any.
run_one() { # id line
    local id=$1
    local keep args_text
    IFS=$'\t' read -r program where stdin mask keep args_text <<<"$2"
    eval "argv=($args_text)"
    rm -rf "$slot/ref" "$slot/new" "$slot/out"
    run_side ref
    if [[ $keep != - ]]; then
        cp "$slot/ref/stdout" "$corpus/reports/$keep"
        if [[ -d $slot/ref/box/pics ]]; then cp -R "$slot/ref/box/pics" "$corpus/reports/$keep-pictures"; fi
    fi
    run_side new
    if diff -rq --no-dereference "$slot/ref" "$slot/new" >/dev/null 2>&1; then return 0; fi
    mask_outputs
    if diff -rq --no-dereference "$slot/ref" "$slot/new" >/dev/null 2>&1; then return 0; fi
    {
        printf '=== run %s, in %s' "$id" "$where"
        case $stdin in
            '<'*) printf ', standard input from %s' "${stdin#<}" ;;
            '|'*) printf ', %s piped in' "${stdin#|}" ;;
        esac
        printf ':\n%s' "$program"
        if [[ ${#argv[@]} -gt 0 ]]; then printf ' %q' "${argv[@]}"; fi
        printf '\n'
        diff -ru -a --no-dereference "$slot/ref" "$slot/new" |
            sed -E -e "s|$slot/||g" -e 's/^(---|\+\+\+) ([^\t]*)\t.*/\1 \2/' |
            cut -c1-200 | head -n "$diff_lines" || true
    } >"$work/differences/$id"
}

# Runs the lines of a manifest given on standard input; writes how many it ran to COUNT_FILE.
worker() { # slot count_file
    slot=$1
    local count_file=$2 id line count=0
    local program where stdin mask argv=()
    mkdir -p "$slot"
    while IFS=$'\t' read -r id line; do
        run_one "$id" "$line"
        count=$((count + 1))
    done
    echo "$count" >"$count_file"
}

# Runs a manifest with $jobs workers, the lines dealt in turn; checks that every line ran.
run_manifest() { # manifest
    local manifest=$1 k lines total=0 failed=0
    local pids=()
    lines=$(wc -l <"$manifest")
    for ((k = 0; k < jobs; k++)); do
        awk -v k="$k" -v j="$jobs" '(NR - 1) % j == k' "$manifest" |
            worker "$work/slot$k" "$work/count$k" &
        pids+=($!)
    done
    for k in "${!pids[@]}"; do
        wait "${pids[$k]}" || failed=1
    done
    [[ $failed -eq 0 ]] || fail "a worker stopped before the end of its runs"
    for ((k = 0; k < jobs; k++)); do
        total=$((total + $(cat "$work/count$k")))
    done
    [[ $total -eq $lines ]] || fail "ran $total of $lines runs"
    compared=$((compared + total))
}

# Numbers the lines of a manifest from FIRST, as `id<TAB>line`.
number_lines() { # first
    awk -v first="$1" '{ printf "%06d\t%s\n", first + NR - 1, $0 }'
}

# ---------------------------------------------------------------------------------------------

started=$SECONDS
echo "making the corpus in $work" >&2
make_corpus
mkdir -p "$work/differences"
cd "$corpus"

{
    golden_cases
    gene_combinations
    gene_kept_outputs
    gene_reading_options
    drawing
    other_tree_runs
    bayesian_and_streams
    tavrin_errors
} | number_lines 1 >"$work/manifest1"
first_phase=$(wc -l <"$work/manifest1")
compared=0
echo "phase 1: $first_phase runs (Tavrin, and the cases of Tavrin-summary)" >&2
run_manifest "$work/manifest1"

summary_runs | number_lines $((first_phase + 1)) >"$work/manifest2"
echo "phase 2: $(wc -l <"$work/manifest2") runs of Tavrin-summary over the reference outputs" >&2
run_manifest "$work/manifest2"

differing=0
for file in "$work"/differences/*; do
    [[ -f $file ]] || continue
    cat "$file"
    echo
    differing=$((differing + 1))
done
echo "compared $compared runs, $differing differ"
echo "($((SECONDS - started)) s)" >&2
if [[ $differing -gt 0 ]]; then exit 1; fi
