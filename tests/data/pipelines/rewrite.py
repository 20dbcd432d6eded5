"""The nine trees of make_trees.sh in two multi-tree files (see make_trees.sh).

many_trees.nwk: the files as the programs wrote them, one tree per line.
library.nwk: the same trees written by DendroPy with every leaf name quoted, the internal
labels kept as labels, an [&&NHX:...] comment on every internal node, then laid out over
indented lines with CRLF line ends; one more tree at the end has a name with a blank.
"""
import sys

import dendropy

PROGRAMS = ("fasttree", "iqtree", "raxml")


def indent(newick):
    """One child per line, indented by depth, CRLF line ends; quotes and comments untouched."""
    out, depth, quoted, comment = [], 0, False, False
    for c in newick:
        out.append(c)
        if quoted:
            quoted = c != "'"
        elif comment:
            comment = c != "]"
        elif c == "'":
            quoted = True
        elif c == "[":
            comment = True
        elif c == "(":
            depth += 1
            out.append("\r\n" + "  " * depth)
        elif c == ")":
            depth -= 1
        elif c == ",":
            out.append("\r\n" + "  " * depth)
    return "".join(out)


def write_library_tree(tree):
    for node in tree.preorder_node_iter():
        if not node.is_leaf():
            node.annotations.add_new("B", node.label if node.label else "0")
    text = tree.as_string(schema="newick", suppress_rooting=True, unquoted_underscores=False,
                          suppress_annotations=False, annotations_as_nhx=True,
                          suppress_internal_node_labels=False)
    # Quote every leaf name, also those DendroPy leaves bare.
    for taxon in tree.taxon_namespace:
        bare = taxon.label.replace(" ", "_")
        text = text.replace("(" + bare + ":", "('" + taxon.label + "':")
        text = text.replace("," + bare + ":", ",'" + taxon.label + "':")
    return indent(text.strip())


def main(here):
    paths = [f"{here}/{p}{k}.nwk" for k in (1, 2, 3) for p in PROGRAMS]
    plain = [open(p).read().strip() for p in paths]
    with open(f"{here}/many_trees.nwk", "w") as out:
        out.write("\n".join(plain) + "\n")
    pieces = []
    for text in plain:
        tree = dendropy.Tree.get(data=text, schema="newick", preserve_underscores=True,
                                 suppress_internal_node_taxa=True)
        pieces.append(write_library_tree(tree))
    blank = dendropy.Tree.get(data="((Metazoa-Hs1,Metazoa-Mm2)90,(Fungi-Sc1,Metazoa-Homo_sapiens1)80,Fungi-Sp2);",
                              schema="newick", preserve_underscores=True)
    blank.taxon_namespace.get_taxon("Metazoa-Homo_sapiens1").label = "Metazoa-Homo sapiens1"
    pieces.append(write_library_tree(blank))
    with open(f"{here}/library.nwk", "w", newline="") as out:
        out.write("[written by DendroPy, laid out over indented CRLF lines]\r\n")
        out.write("\r\n".join(pieces) + "\r\n")


if __name__ == "__main__":
    main(sys.argv[1])
