#!/usr/bin/env bash
# Makes the small tree files under tests/data/pipelines/ the way users' pipelines make them. Run
# by hand (not in CI), from anywhere; needs Debian's fasttree, iqtree, raxml and python3-dendropy:
#
#   apt-get install -y fasttree iqtree raxml python3-dendropy
#   bash tests/data/pipelines/make_trees.sh
#
# 1. simulate.py: three alignments of 14 sequences (600 sites, Jukes-Cantor, fixed seeds) on
#    random trees whose leaf names carry their group as a prefix: Metazoa-Hs1, Fungi-Sc2, with
#    '@' or '|' as the separator in some (Plants@At1, Protist|Tb1).
# 2. Each alignment through FastTree (SH-like supports from 0 to 1), IQ-TREE 2 with SH-aLRT and
#    ultrafast bootstrap (labels such as 98.5/99) and RAxML (rapid bootstrap, supports on the
#    best tree). All three write unrooted trees with three children at the root.
# 3. rewrite.py: all nine trees in one file through DendroPy, with quoted names holding blanks,
#    comments, indentation and CRLF line ends, and the same nine trees plain, one per line.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

/usr/bin/python3 "$here/simulate.py" "$work"
for k in 1 2 3; do
    FastTree -nt -quiet -nopr "aln$k.fasta" >"$here/fasttree$k.nwk"
    iqtree2 -s "aln$k.phy" -m JC -alrt 1000 -B 1000 -seed $k -T 1 -quiet -pre "iq$k" >/dev/null
    cp "iq$k.treefile" "$here/iqtree$k.nwk"
    raxmlHPC -m GTRGAMMA -p $k -x $k -N 50 -f a -s "aln$k.phy" -n "rx$k" >/dev/null
    cp "RAxML_bipartitions.rx$k" "$here/raxml$k.nwk"
done
/usr/bin/python3 "$here/rewrite.py" "$here"
