#!/usr/bin/env python3
"""Random trees and option sets: one `--targets` run against the runs of one target each.

For each case a few small random trees (names of six prefixes, some without a separator;
supports whole, fractional or missing; lengths short, long, negative or missing; sometimes several
trees a file in standard Newick) are written to one or two files, with a group file or without,
and a random set of options is drawn: `--table`, `--outliers`, `--sister-purity`, `--root` lists
with or without `--root-strays`, `--label`, `--draw`, `--E` patterns, one or three threads. The
`--targets` run of 2 to 4 targets must write, file by file, what the runs of one target each write
for that file, in list order (the table's header once); its status must be the highest of theirs;
its standard error must hold the same lines as theirs over all the files; its pictures must have
the same contents (their names carry the row of the run's table, which the runs of one target
number on their own); and on one thread and on three it must write the same bytes.

usage: bench/compare_targets.py [--cases N] [--seed S] PROGRAM
Prints each case that differs (its folder is kept in /tmp) and a last line with the count;
exits 1 when a case differs.
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile

PREFIXES = ['A', 'B', 'C', 'Ch', 'Fu', 'Me']
GROUPS = 'Opi Ch\nOpi Fu\nOpi Me\nAB A\nAB B\n'


def number(rng, kind):
    """A support or length as an inference program might write it, or none."""
    if rng.random() < (0.2 if kind == 'support' else 0.1):
        return ''
    r = rng.random()
    if kind == 'support':
        if r < 0.6:
            return str(rng.randint(0, 100))
        return '%.3f' % rng.random() if r < 0.9 else rng.choice(['1e2', '0', '-1', '55.5'])
    if r < 0.8:
        return '%.4f' % rng.random()
    return rng.choice(['1e-3', '-0.5', '0', '2.5E1', '0.1234567890123456789012'])


def tree(rng, leaves):
    """A random tree of `leaves` leaves, its root sometimes of three children."""
    nodes = []
    for i in range(leaves):
        prefix = rng.choice(PREFIXES)
        name = prefix + '-' + str(i) if rng.random() < 0.9 else prefix + str(i)
        length = number(rng, 'length')
        nodes.append(name + (':' + length if length else ''))
    while len(nodes) > 1:
        k = 3 if len(nodes) == 3 and rng.random() < 0.5 else 2
        picks = rng.sample(range(len(nodes)), k)
        children = [nodes[i] for i in picks]
        for i in sorted(picks, reverse=True):
            del nodes[i]
        length = number(rng, 'length')
        nodes.append('(' + ','.join(children) + ')' + number(rng, 'support') +
                     (':' + length if length else ''))
    return nodes[0] + ';'


def options(rng):
    """Options drawn at random, the targets, and whether pictures are drawn."""
    standard = rng.random() < 0.35
    regex = rng.random() < 0.2
    pool = (['^A-', 'C|Ch', 'Fu.*', 'M', 'B-1', '[AB]-', 'Zz'] if regex else
            PREFIXES + ['Zz', 'Opi', 'AB'])
    targets = rng.sample(pool, rng.randint(2, 4))
    opts = ['--standard-newick'] if standard else []
    if rng.random() < 0.6:
        opts.append('--table')
    if rng.random() < 0.5:
        opts += ['--outliers', str(rng.randint(1, 2))]
    if rng.random() < 0.4:
        opts += ['--sister-purity', '0.8']
    if rng.random() < 0.5:
        opts += ['--root', rng.choice(['midpoint', 'A,midpoint', 'Zz,midpoint', 'Fu', 'given',
                                       'B,C,midpoint'])]
        if rng.random() < 0.3:
            opts += ['--root-strays', '2']
    if rng.random() < 0.2:
        opts += ['--label', 'run1']
    after = ['--groupFile', 'groups.txt'] if rng.random() < 0.7 else []
    if regex:
        after.append('--E')
    return standard, opts, targets, after, rng.random() < 0.3


def pictures(folder):
    if not os.path.isdir(folder):
        return []
    return sorted(open(os.path.join(folder, f), 'rb').read() for f in os.listdir(folder))


def compare(program, rng, folder):
    """What differs in one case, as a list of words (empty: nothing)."""
    standard, opts, targets, after, draw = options(rng)
    files = []
    for f in range(rng.randint(1, 2)):
        name = 'g%d.nwk' % f
        with open(os.path.join(folder, name), 'w') as out:
            for _ in range(rng.randint(1, 3) if standard else 1):
                out.write(tree(rng, rng.randint(2, 30)) + '\n')
        files.append(name)
    with open(os.path.join(folder, 'groups.txt'), 'w') as out:
        out.write(GROUPS)

    def run(args):
        done = subprocess.run([program] + args, cwd=folder, capture_output=True)
        return done.returncode, done.stdout, done.stderr

    threads = ['--threads', rng.choice(['1', '3'])]
    status, out, err = run(opts + threads + (['--draw', 'together'] if draw else []) +
                           ['--targets', ','.join(targets)] + after + files)
    # The same run on the other number of threads: the same bytes, messages in the same order.
    other = ['--threads', '3' if threads[1] == '1' else '1']
    same = run(opts + other + ['--targets', ','.join(targets)] + after + files) == (status, out,
                                                                                   err)
    # The runs of one target each over all the files: their statuses, messages and pictures;
    # with several files, their output file by file comes from runs over each file alone. One
    # thread is a leading option, as the run of several targets has (the classic command line
    # gives no warnings of its own).
    single = opts + ['--threads', '1']
    alone, statuses, lines = {}, [], set()
    for target in targets:
        s, o, e = run(single + (['--draw', 'alone'] if draw else []) + after + [target] + files)
        statuses.append(s)
        lines |= set(e.splitlines())
        for path in files:
            alone[(target, path)] = o if len(files) == 1 else run(single + after +
                                                                  [target, path])[1]
    expected = []
    for path in files:
        for target in targets:
            o = alone[(target, path)]
            if '--table' in opts and expected:
                o = o.split(b'\n', 1)[1] if b'\n' in o else b''
            expected.append(o)
    differs = [] if same else ['threads']
    if out != b''.join(expected):
        differs.append('standard output')
    if status != max(statuses):
        differs.append('status %d, not %d' % (status, max(statuses)))
    if set(err.splitlines()) != lines:
        differs.append('standard error')
    if draw and pictures(os.path.join(folder, 'together')) != pictures(
            os.path.join(folder, 'alone')):
        differs.append('pictures')
    return differs, ' '.join(opts + threads + ['--targets', ','.join(targets)] + after)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--cases', type=int, default=200)
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('program')
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    rng = random.Random(args.seed)
    failures = 0
    for case in range(args.cases):
        folder = tempfile.mkdtemp(prefix='compare_targets_')
        differs, command = compare(program, rng, folder)
        if differs:
            failures += 1
            print('case %d: %s differ (%s); kept in %s' % (case, ', '.join(differs), command,
                                                             folder))
        else:
            shutil.rmtree(folder)
    print('%d cases, %d differ' % (args.cases, failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
