#!/usr/bin/env python3
"""Writes the group tree each simulated gene was evolved on, two leaves per group.

For genes FIRST to LAST, writes DIR/gNNN.groups.nwk: the nested pairs of groups that
simulate.py draws for the gene (the group tree of the seed, with the gene's nearest-neighbour
interchange when it has one), each group a pair of leaves <Group>-1 and <Group>-2, every branch
of length 1. The true first sister of a target is then what Tavrin answers on that tree.
"""
import argparse
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import simulate  # noqa: E402


def shape_of(seed, gene):
    # The draws simulate.simulate makes before the shape is final, in the same order.
    shape = simulate.group_tree(random.Random(seed))
    rng = random.Random(seed * 100003 + gene)
    if rng.random() < 0.3:
        shape = simulate.interchange(rng, shape)
    return shape


def newick(shape):
    if isinstance(shape, tuple):
        return "(" + newick(shape[0]) + ":1," + newick(shape[1]) + ":1)"
    return "(" + shape + "-1:1," + shape + "-2:1)"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seed", type=int, default=20261207)
    parser.add_argument("first", type=int)
    parser.add_argument("last", type=int)
    parser.add_argument("dir")
    args = parser.parse_args()
    for gene in range(args.first, args.last + 1):
        with open(os.path.join(args.dir, "g%03d.groups.nwk" % gene), "w") as out:
            out.write(newick(shape_of(args.seed, gene)) + ";\n")


if __name__ == "__main__":
    main()
