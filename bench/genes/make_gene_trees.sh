#!/usr/bin/env bash
# Simulates genes g001..gNNN and infers a tree for each with FastTree, IQ-TREE and RAxML, as a
# user would, writing bench/genes/{fasttree,iqtree,raxml}/gNNN.nwk byte for byte as each program
# wrote its tree. Alignments and the programs' other files stay in bench/genes/work/ (not kept
# in the repository; this script makes them again).
#
# Usage: bench/genes/make_gene_trees.sh [GENES [JOBS]]
#   GENES  how many genes, N for g001..gN (default 35), or a range FIRST-LAST of them
#   JOBS   genes inferred at the same time (default 1); each program is asked for one thread,
#          but RAxML's threaded build (the only one Debian ships) keeps a second core busy
#   SEED   environment variable, the seed of the whole set (default 20261207)
#
# Needs python3 and the Debian packages fasttree, iqtree and raxml
# (apt-get install -y fasttree iqtree raxml).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
genes=${1:-35}
jobs=${2:-1}
seed=${SEED:-20261207}
first=1 last=$genes
case $genes in *-*) first=${genes%%-*} last=${genes#*-} ;; esac
case $first$last$jobs$seed in *[!0-9]* | '')
    echo "usage: $0 [N | FIRST-LAST [JOBS]]" >&2
    exit 2
    ;;
esac
for program in python3 FastTree iqtree2 raxmlHPC; do
    command -v "$program" > /dev/null || {
        echo "$program not found: apt-get install -y fasttree iqtree raxml" >&2
        exit 2
    }
done

# One gene: simulate it, then the three inferences, one after another, on one thread each.
one_gene() { # number
    local n=$1 name work
    name=$(printf 'g%03d' "$n")
    work=$here/work/$name
    rm -rf "$work"
    mkdir -p "$work"
    local start=$SECONDS
    python3 "$here/simulate.py" --seed "$seed" --gene "$n" --prefix "$work/$name" > "$work/simulate.log"
    local t_sim=$((SECONDS - start))

    FastTree -nt -gtr -gamma -out "$work/fasttree.nwk" "$work/$name.fasta" 2> "$work/fasttree.log"
    local t_ft=$((SECONDS - start - t_sim))

    iqtree2 -s "$work/$name.fasta" -m GTR+G -alrt 1000 -B 1000 -T 1 -seed "$((seed + n))" \
        --prefix "$work/iqtree" -quiet > "$work/iqtree.out" 2>&1
    local t_iq=$((SECONDS - start - t_sim - t_ft))

    # -f a: rapid bootstraps, then the best-scoring ML tree with their support on its branches.
    (cd "$work" && raxmlHPC -T 1 -m GTRCAT -f a -N 10 -p "$((seed + n))" -x "$((seed + 2 * n))" \
        -s "$name.phy" -n "$name" -w "$work" > raxml.out 2>&1)
    local t_rx=$((SECONDS - start - t_sim - t_ft - t_iq))

    cp "$work/fasttree.nwk" "$here/fasttree/$name.nwk"
    cp "$work/iqtree.treefile" "$here/iqtree/$name.nwk"
    cp "$work/RAxML_bipartitions.$name" "$here/raxml/$name.nwk"
    echo "$(sed "s|^$work/||" "$work/simulate.log"); seconds: simulate $t_sim," \
        "fasttree $t_ft, iqtree $t_iq, raxml $t_rx"
}
export -f one_gene
export here seed

mkdir -p "$here/work" "$here/fasttree" "$here/iqtree" "$here/raxml"
{
    echo "seed $seed, genes $first to $last, $jobs at a time"
    { FastTree < /dev/null 2>&1 || true; } | sed -n '/FastTree Version/p'
    iqtree2 --version | sed -n 1p
    raxmlHPC -v | sed -n '/RAxML version/p'
} | tee "$here/work/versions.txt"
start=$SECONDS
seq "$first" "$last" | xargs -P "$jobs" -I{} bash -c 'one_gene "$@"' _ {}
echo "done in $((SECONDS - start)) s"
