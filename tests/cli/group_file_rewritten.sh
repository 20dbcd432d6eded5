#!/usr/bin/env bash
# A group file rewritten in place between two tree files of one run, with the same size and its
# old modification time set back (as touch -d, cp -p and archive tools do), gives the later
# tree the new relations, with one target and with several. The second tree file is a FIFO: the
# run waits on it while the group file is rewritten.
#
# usage: group_file_rewritten.sh <path to Tavrin>
set -u
tavrin=$1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2

old_time='2020-01-01 00:00:00'
tree='(((Choano-a,Choano-b)90,(Fungi-f,Metazoa-m)80)70,Other-o);'
failed=0

# Runs Tavrin with `args` (which name groups.txt) over first.nwk and the FIFO second.nwk,
# rewriting the group file between them, and compares standard output with `expected`.
check() { # expected args...
    local expected=$1
    shift
    rm -f second.nwk
    printf 'Holozoa Metazoa\nHolozoa Fungi\n' >groups.txt
    touch -d "$old_time" groups.txt
    echo "$tree" >first.nwk
    mkfifo second.nwk

    "$tavrin" "$@" first.nwk second.nwk >out.txt 2>err.txt &
    local run=$!
    (
        # Opening the FIFO waits until the run opens it: the first tree is done by then.
        exec 3>second.nwk
        # The change time comes from a coarse clock: let it move on before the rewrite.
        sleep 0.1
        printf 'Holozoa Metazoa\nHolozoX Fungi\n' >groups.txt # same size
        touch -d "$old_time" groups.txt
        echo "$tree" >&3
    ) &
    local writer=$!
    local status=0
    wait "$run" || status=$?
    # A run that ended without opening the FIFO leaves the writer waiting: release it.
    exec 4<>second.nwk
    wait "$writer"
    exec 4>&-

    if [[ $status -ne 0 || -s err.txt || "$(cat out.txt)" != "$expected" ]]; then
        echo "Tavrin $*: status $status, standard error:"
        cat err.txt
        echo "standard output:"
        cat out.txt
        echo "expected:"
        echo "$expected"
        failed=1
    fi
}

check "$(printf '%s\n' 'first.nwk:' $'Choano\tHolozoa\t70' $'Choano\tOther-o\t70' \
    'second.nwk:' $'Choano\tOther-o\t70')" --groupFile groups.txt Choano
# Several targets: a target named by a group passes the leaves of its members, and the answers
# kept for the leaves' prefixes are those of the relations in force for each tree.
check "$(printf '%s\n' 'first.nwk:' $'Choano\tHolozoa\t70' $'Choano\tOther-o\t70' \
    'first.nwk:' $'Holozoa\tChoano\t70' $'Holozoa\tOther-o\t70' \
    'second.nwk:' $'Choano\tOther-o\t70' 'second.nwk:' $'Holozoa\tFungi\t80')" \
    --targets Choano,Holozoa --groupFile groups.txt
exit $failed
