#!/usr/bin/env python3
"""Simulate one gene: a gene tree over ten eukaryote groups and a DNA alignment evolved on it.

Standard library only; the output depends on nothing but the arguments (seed and gene number).

The group-level ("species") tree is drawn once from the seed, as a random resolution of the
taxonomy below, with short deep internodes as in real eukaryote phylogenies. Each gene then
  - may differ from it by one nearest-neighbour interchange between groups (discordant genes),
  - gets 40-80 leaves, at least three per group, named <Group>-<n>, each group a random clade
    hung on its branch of the group tree,
  - has about 5% of its leaves misplaced: cut off and regrafted on a random branch outside
    their own group (contamination, paralogs, long-branch attraction),
  - has random branch lengths, scaled by a per-gene rate,
and DNA is evolved along the tree under GTR with gamma-distributed site rates (four
equal-probability categories), 400-800 sites, random rates and base frequencies per gene.

Writes <prefix>.fasta, <prefix>.phy (relaxed PHYLIP) and <prefix>.true.nwk (the tree the
sequences evolved on). The sequences are written in a shuffled order, as an alignment from a
pipeline would be, so that inference programs do not all root their trees at the same group.
"""

import argparse
import math
import random

GROUPS = ["Metazoa", "Choano", "Fungi", "Amoebozoa", "Stramen",
          "Alveolata", "Rhizaria", "Rhodo", "Viridi", "Excavata"]

# Higher groups, smallest first: each one's members are groups or higher groups listed above it.
TAXONOMY = [
    ("Opisthokonta", ["Metazoa", "Choano", "Fungi"]),
    ("Amorphea", ["Opisthokonta", "Amoebozoa"]),
    ("SAR", ["Stramen", "Alveolata", "Rhizaria"]),
    ("Archaeplastida", ["Rhodo", "Viridi"]),
    ("Eukaryota", ["Amorphea", "SAR", "Archaeplastida", "Excavata"]),
]

BASES = "ACGT"


class Node:
    __slots__ = ("name", "children", "parent", "length", "group")

    def __init__(self, name=None, length=0.0, group=None):
        self.name = name
        self.children = []
        self.parent = None
        self.length = length
        self.group = group

    def add(self, child):
        child.parent = self
        self.children.append(child)
        return child


def preorder(root):
    stack, out = [root], []
    while stack:
        node = stack.pop()
        out.append(node)
        stack.extend(reversed(node.children))
    return out


def random_binary(rng, items, join):
    """Joins the items in random pairs until one is left (a random rooted binary tree)."""
    items = list(items)
    while len(items) > 1:
        a, b = rng.sample(range(len(items)), 2)
        first, second = items[a], items[b]
        for index in sorted((a, b), reverse=True):
            del items[index]
        items.append(join(first, second))
    return items[0]


def group_tree(rng):
    """A random resolution of TAXONOMY as nested pairs of group names."""
    resolved = {}
    for higher, members in TAXONOMY:
        parts = [resolved.get(m, m) for m in members]
        resolved[higher] = random_binary(rng, parts, lambda a, b: (a, b))
    return resolved["Eukaryota"]


def interchange(rng, shape):
    """One random nearest-neighbour interchange on the nested-pair tree ((a,b),c) -> ((a,c),b)."""
    sites = []

    def collect(node, path):
        if isinstance(node, tuple):
            for side in (0, 1):
                child = node[side]
                if isinstance(child, tuple):
                    sites.append(path + (side,))
                collect(child, path + (side,))

    collect(shape, ())
    if not sites:
        return shape
    path = rng.choice(sites)

    def rebuild(node, rest):
        if not rest:
            return node
        side = rest[0]
        child = rebuild(node[side], rest[1:]) if len(rest) > 1 else swap(node, side)
        if len(rest) == 1:
            return child
        return (child, node[1]) if side == 0 else (node[0], child)

    def swap(parent, side):
        inner, outer = parent[side], parent[1 - side]
        keep = rng.randrange(2)
        moved = inner[1 - keep]
        new_inner = (inner[keep], outer)
        return (new_inner, moved) if side == 0 else (moved, new_inner)

    return rebuild(shape, path)


def group_clade(rng, group, count):
    leaves = [Node(f"{group}-{i}", group=group) for i in range(1, count + 1)]

    def join(a, b):
        node = Node(group=group)
        node.add(a)
        node.add(b)
        return node

    return random_binary(rng, leaves, join)


def build_gene_tree(rng, shape, counts):
    """Turns the nested-pair group tree into a Node tree with each group's clade in place."""
    root = Node()
    stack = [(shape, root)]
    while stack:
        part, parent = stack.pop()
        for child in part:
            if isinstance(child, tuple):
                stack.append((child, parent.add(Node())))
            else:
                parent.add(group_clade(rng, child, counts[child]))
    return root


def set_lengths(rng, root, rate):
    for node in preorder(root)[1:]:
        if not node.children:
            mean = 0.1
        elif node.group is None:
            mean = 0.025  # short internodes deep in the tree
        elif node.parent.group is None:
            mean = 0.1  # the stem of a group
        else:
            mean = 0.05
        node.length = rate * max(0.002, rng.expovariate(1.0 / mean))


def groups_below(node):
    return {n.group for n in preorder(node) if not n.children}


def misplace(rng, root, fraction):
    """Regrafts about `fraction` of the leaves onto a random branch outside their own group."""
    leaves = [n for n in preorder(root) if not n.children]
    count = max(1, round(fraction * len(leaves) + rng.uniform(-1.5, 1.5)))
    moved = []
    for leaf in rng.sample(leaves, min(count, len(leaves) // 10)):
        parent = leaf.parent
        siblings = [c for c in parent.children if c is not leaf]
        targets = [n for n in preorder(root)[1:]
                   if leaf.group not in groups_below(n) and n is not parent]
        if len(siblings) != 1 or parent.parent is None or not targets:
            continue
        # Cut the leaf off: its sibling takes the parent's place.
        sibling = siblings[0]
        grand = parent.parent
        sibling.length += parent.length
        grand.children[grand.children.index(parent)] = sibling
        sibling.parent = grand
        target = rng.choice(targets)
        # Hang it on the middle of the target's branch.
        holder = Node(length=target.length / 2)
        target.length -= holder.length
        above = target.parent
        above.children[above.children.index(target)] = holder
        holder.parent = above
        holder.add(target)
        holder.add(leaf)
        leaf.length = rate_free_length(rng)
        moved.append(leaf.name)
    return moved


def rate_free_length(rng):
    return max(0.01, rng.expovariate(1.0 / 0.2))


def newick(root):
    """The tree as Newick text, built without recursion."""
    out = []
    stack = [(root, 0)]
    while stack:
        node, state = stack.pop()
        if not node.children:
            out.append(f"{node.name}:{node.length:.6f}")
            continue
        if state == len(node.children):
            out.append(")" if node.parent is None else f"):{node.length:.6f}")
            continue
        out.append("(" if state == 0 else ",")
        stack.append((node, state + 1))
        stack.append((node.children[state], 0))
    return "".join(out) + ";"


def mat_mul(a, b):
    return [[sum(a[i][k] * b[k][j] for k in range(4)) for j in range(4)] for i in range(4)]


def expm(q, t):
    """exp(Q t) by scaling and squaring of a Taylor series; ample for 4x4 rate matrices."""
    norm = max(sum(abs(x) for x in row) for row in q) * t
    squarings = max(0, int(math.ceil(math.log2(norm))) + 4) if norm > 0 else 0
    scale = t / (2 ** squarings)
    a = [[q[i][j] * scale for j in range(4)] for i in range(4)]
    result = [[1.0 if i == j else 0.0 for j in range(4)] for i in range(4)]
    term = [row[:] for row in result]
    for k in range(1, 14):
        term = mat_mul(term, a)
        term = [[x / k for x in row] for row in term]
        result = [[result[i][j] + term[i][j] for j in range(4)] for i in range(4)]
    for _ in range(squarings):
        result = mat_mul(result, result)
    return result


def gtr_matrix(rng):
    """A random GTR rate matrix, normalised to one expected substitution per unit time."""
    freqs = [rng.gammavariate(8.0, 1.0) for _ in range(4)]
    total = sum(freqs)
    freqs = [f / total for f in freqs]
    # AC AG AT CG CT GT; transitions (AG, CT) faster.
    rates = [rng.uniform(0.5, 2.0), rng.uniform(2.0, 6.0), rng.uniform(0.5, 2.0),
             rng.uniform(0.5, 2.0), rng.uniform(2.0, 6.0), 1.0]
    pairs = [(0, 1), (0, 2), (0, 3), (1, 2), (1, 3), (2, 3)]
    q = [[0.0] * 4 for _ in range(4)]
    for (i, j), r in zip(pairs, rates):
        q[i][j] = r * freqs[j]
        q[j][i] = r * freqs[i]
    for i in range(4):
        q[i][i] = -sum(q[i][j] for j in range(4) if j != i)
    mean = -sum(freqs[i] * q[i][i] for i in range(4))
    return [[x / mean for x in row] for row in q], freqs


def gamma_categories(rng, alpha, count=4, draws=20000):
    """Mean rates of `count` equal-probability gamma classes (mean 1), from sorted draws."""
    values = sorted(rng.gammavariate(alpha, 1.0 / alpha) for _ in range(draws))
    size = draws // count
    means = [sum(values[k * size:(k + 1) * size]) / size for k in range(count)]
    total = sum(means) / count
    return [m / total for m in means]


def draw(rng, weights):
    x = rng.random()
    for index, w in enumerate(weights):
        x -= w
        if x < 0:
            return index
    return len(weights) - 1


def evolve(rng, root, sites):
    q, freqs = gtr_matrix(rng)
    categories = gamma_categories(rng, rng.uniform(0.3, 1.2))
    site_class = [rng.randrange(len(categories)) for _ in range(sites)]
    states = {id(root): [draw(rng, freqs) for _ in range(sites)]}
    sequences = {}
    for node in preorder(root)[1:]:
        parent_states = states[id(node.parent)]
        p = [expm(q, node.length * r) for r in categories]
        mine = [draw(rng, p[site_class[s]][parent_states[s]]) for s in range(sites)]
        if node.children:
            states[id(node)] = mine
        else:
            sequences[node.name] = "".join(BASES[x] for x in mine)
    return sequences


def simulate(seed, gene):
    base = random.Random(seed)
    shape = group_tree(base)
    rng = random.Random(seed * 100003 + gene)
    if rng.random() < 0.3:
        shape = interchange(rng, shape)
    total = rng.randint(40, 80)
    counts = {g: 3 for g in GROUPS}
    for _ in range(total - 3 * len(GROUPS)):
        counts[rng.choice(GROUPS)] += 1
    root = build_gene_tree(rng, shape, counts)
    set_lengths(rng, root, rng.uniform(0.6, 1.6))
    moved = misplace(rng, root, 0.05)
    sequences = evolve(rng, root, rng.randint(400, 800))
    return root, sequences, moved


def write_outputs(prefix, root, sequences, rng):
    names = list(sequences)
    rng.shuffle(names)
    with open(prefix + ".fasta", "w") as out:
        for name in names:
            out.write(f">{name}\n")
            seq = sequences[name]
            for start in range(0, len(seq), 60):
                out.write(seq[start:start + 60] + "\n")
    width = max(len(n) for n in names) + 2
    with open(prefix + ".phy", "w") as out:
        out.write(f"{len(names)} {len(sequences[names[0]])}\n")
        for name in names:
            out.write(name.ljust(width) + sequences[name] + "\n")
    with open(prefix + ".true.nwk", "w") as out:
        out.write(newick(root) + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seed", type=int, default=20261207, help="seed of the whole set")
    parser.add_argument("--gene", type=int, required=True, help="gene number, from 1")
    parser.add_argument("--prefix", required=True, help="output path without extension")
    args = parser.parse_args()
    root, sequences, moved = simulate(args.seed, args.gene)
    write_outputs(args.prefix, root, sequences, random.Random(args.seed * 7919 + args.gene))
    print(f"{args.prefix}: {len(sequences)} leaves, "
          f"{len(next(iter(sequences.values())))} sites, misplaced: {','.join(moved) or '-'}")


if __name__ == "__main__":
    main()
