"""Three small alignments on random trees with group-prefixed leaf names (see make_trees.sh)."""
import random
import sys

import dendropy
from dendropy.model import discrete
from dendropy.simulate import treesim

NAMES = [
    "Metazoa-Hs1", "Metazoa-Mm2", "Metazoa-Dm3", "Metazoa-Ce4",
    "Fungi-Sc1", "Fungi-Sp2", "Fungi-Nc3",
    "Plants@At1", "Plants@Os2", "Plants@Pp3",
    "Protist|Tb1", "Protist|Pf2",
    "Choano-Mb1", "Choano-Sr2",
]


def main(out):
    for k in (1, 2, 3):
        rng = random.Random(k)
        taxa = dendropy.TaxonNamespace(NAMES)
        tree = treesim.birth_death_tree(birth_rate=1.0, death_rate=0.2, taxon_namespace=taxa,
                                        num_extant_tips=len(NAMES), rng=rng)
        tree.scale_edges(0.4 / max(tree.calc_node_root_distances()))
        chars = discrete.simulate_discrete_chars(600, tree, discrete.Jc69(), rng=rng)
        chars.write(path=f"{out}/aln{k}.fasta", schema="fasta")
        chars.write(path=f"{out}/aln{k}.phy", schema="phylip")


if __name__ == "__main__":
    main(sys.argv[1])
