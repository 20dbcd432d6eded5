#!/usr/bin/env bash
# Makes the tree files under tests/data/bayesian/ the way users make them. Run by hand (not in
# CI), from anywhere; needs python3 and Debian's mrbayes and raxml:
#
#   apt-get install -y mrbayes raxml
#   bash tests/data/bayesian/make_trees.sh
#
# 1. bench/genes/simulate.py: three small genes (40 to 80 leaves named <Group>-<n>, GTR+G DNA).
# 2. MrBayes on genes 1 to 3 (GTR+G, two runs of 20,000 generations, a tree every 1,000, then
#    sumt): the majority-rule consensus gK.nex.con.tre (supports as [&prob=...] comments) and
#    the first run's sampled trees gK.nex.run1.t, as MrBayes writes them.
# 3. RAxML on genes 1 and 2 (rapid bootstrap, 10 replicates, best tree): the supports on the best
#    tree as labels, RAxML_bipartitions.gK, and as branch labels in brackets after the lengths,
#    RAxML_bipartitionsBranchLabels.gK.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
simulate=$here/../../../bench/genes/simulate.py
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The alignment as a NEXUS data block, and the MrBayes commands after it.
nexus_alignment() { # gene
    python3 - "$1" <<'PY'
import sys
gene = sys.argv[1]
seqs = []
for line in open(f"{gene}.fasta"):
    line = line.strip()
    if line.startswith(">"):
        seqs.append([line[1:], ""])
    elif line:
        seqs[-1][1] += line
with open(f"{gene}.nex", "w") as out:
    out.write("#NEXUS\nbegin data;\n")
    out.write(f"  dimensions ntax={len(seqs)} nchar={len(seqs[0][1])};\n")
    out.write("  format datatype=dna missing=? gap=-;\n  matrix\n")
    for name, seq in seqs:
        out.write(f"    {name} {seq}\n")
    out.write("  ;\nend;\n")
    out.write("begin mrbayes;\n  set autoclose=yes nowarn=yes seed=11 swapseed=11;\n")
    out.write("  lset nst=6 rates=gamma;\n")
    out.write("  mcmc ngen=20000 samplefreq=1000 printfreq=20000 diagnfreq=10000 nchains=2 nruns=2;\n")
    out.write("  sumt;\nend;\n")
PY
}

for k in 1 2 3; do
    python3 "$simulate" --seed 7 --gene "$k" --prefix "g$k"
    nexus_alignment "g$k"
    mb "g$k.nex" >"mb$k.log"
    cp "g$k.nex.con.tre" "g$k.nex.run1.t" "$here/"
done
for k in 1 2; do
    raxmlHPC -m GTRGAMMA -p "$k" -x "$k" -N 10 -f a -s "g$k.phy" -n "g$k" >"raxml$k.log"
    cp "RAxML_bipartitions.g$k" "RAxML_bipartitionsBranchLabels.g$k" "$here/"
done
