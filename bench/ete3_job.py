"""The sister-clade job written with the ete3 library, as a user would script it.

usage: ete3_job.py [--groupFile FILE] PREFIX TREE...

For each tree: read it, collect the target leaves (name starts with PREFIX, or the leaf prefix
is a member of the group PREFIX), take their common ancestor, reroot once on a non-target leaf
when they are not a clade, then name the sister clade and the rest of the tree by their shared
leaf prefix or smallest common group, and print them with the support of the target's parent.
Used by run_bench.sh as a point of comparison; it is not meant to reproduce every rule of Tavrin.
"""

import sys
import warnings

warnings.filterwarnings("ignore")
sys.setrecursionlimit(100000)

from ete3 import Tree  # noqa: E402


def load_groups(path):
    members = {}
    with open(path) as handle:
        tokens = handle.read().split()
    for group, member in zip(tokens[0::2], tokens[1::2]):
        members.setdefault(group, set()).add(member)
    # transitive closure, smallest groups first
    closed = {}
    for group in members:
        seen, todo = set(), list(members[group])
        while todo:
            name = todo.pop()
            if name not in seen:
                seen.add(name)
                todo.extend(members.get(name, ()))
        closed[group] = seen
    return sorted(closed.items(), key=lambda item: len(item[1]))


def leaf_prefix(name):
    return name.split("-", 1)[0]


def clade_name(node, groups):
    prefixes = {leaf_prefix(leaf.name) for leaf in node.iter_leaves()}
    if len(prefixes) == 1:
        return prefixes.pop()
    for group, members in groups:
        if prefixes <= members:
            return group
    return ""


def analyse(path, prefix, groups, in_target_group):
    tree = Tree(path, format=0)
    leaves = tree.get_leaves()
    targets = [leaf for leaf in leaves if leaf.name.startswith(prefix)
               or leaf_prefix(leaf.name) in in_target_group]
    if not targets:
        return "CLADE NOT FOUND", []
    if len(targets) == len(leaves):
        return "TARGET IS ROOT", []
    wanted = {id(leaf) for leaf in targets}

    def target_clade():
        node = targets[0] if len(targets) == 1 else tree.get_common_ancestor(targets)
        return node if sum(1 for _ in node.iter_leaves()) == len(targets) else None

    node = target_clade()
    if node is None:
        outgroup = next(leaf for leaf in leaves if id(leaf) not in wanted)
        tree.set_outgroup(outgroup)
        node = target_clade()
        if node is None or node.is_root():
            return "CLADE NOT FOUND", []
    parent = node.up
    sister = node.get_sisters()[0]
    names = []
    if parent.is_root() and not sister.is_leaf():
        names = [clade_name(child, groups) for child in sister.children[:2]]
    else:
        names = [clade_name(sister, groups)]
        if not parent.is_root():
            rest = parent.get_sisters()[0]
            names.append(clade_name(rest, groups))
    names = [name for i, name in enumerate(names) if name and name not in names[:i]]
    support = sister.support if parent.is_root() else parent.support
    return None, [(name, support) for name in names]


def main(argv):
    groups = []
    if len(argv) > 1 and argv[1] == "--groupFile":
        groups = load_groups(argv[2])
        argv = argv[:1] + argv[3:]
    prefix, paths = argv[1], argv[2:]
    in_target_group = next((members for group, members in groups if group == prefix), set())
    out = []
    for path in paths:
        out.append(path + ":\n")
        message, rows = analyse(path, prefix, groups, in_target_group)
        if message:
            sys.stderr.write(message + "\n")
        for name, support in rows:
            out.append("%s\t%s\t%g\n" % (prefix, name, support))
    sys.stdout.write("".join(out))


if __name__ == "__main__":
    main(sys.argv)
