#!/usr/bin/env python3
"""Checks two rules of the sources under src/: no include cycle between units (a .cpp file with
its header is one unit) and no function longer than a limit (80 lines by default, from the line
of its opening brace to the line of its closing one).

usage: tools/check_sources.py [--max-lines N] [SRC_DIR]

Prints each cycle and each long function; exits 1 when there is any, 0 otherwise. Functions are
found by a heuristic that knows this code base's style: a brace that opens a body right after a
parameter list, at namespace or class scope; comments, strings and character literals are
skipped."""
import os
import re
import sys


def strip(text):
    """The text with comments, strings and character literals blanked, newlines kept."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            i = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("\n" * text.count("\n", i, j))
            i = j
        elif text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            k = text.find("(", i)
            delim = ")" + text[i + 2:k] + '"'
            j = text.find(delim, k)
            j = n if j < 0 else j + len(delim)
            out.append('""' + "\n" * text.count("\n", i, j))
            i = j
        elif c in "\"'":
            if c == "'" and i > 0 and text[i - 1].isalnum():  # digit separator
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            out.append(c + c)
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def units(src):
    """Maps each unit name (path under src without extension) to its files."""
    found = {}
    for folder, _, names in os.walk(src):
        for name in names:
            stem, ext = os.path.splitext(name)
            if ext in (".h", ".cpp"):
                path = os.path.join(folder, name)
                found.setdefault(os.path.relpath(os.path.join(folder, stem), src), []).append(path)
    return found


def include_cycles(src):
    found = units(src)
    edges = {}
    for unit, files in found.items():
        targets = set()
        for path in files:
            with open(path, encoding="utf-8") as f:
                for m in re.finditer(r'^\s*#\s*include\s*"([^"]+)\.h"', f.read(), re.M):
                    if m.group(1) in found and m.group(1) != unit:
                        targets.add(m.group(1))
        edges[unit] = sorted(targets)
    # Tarjan's strongly connected components, iteratively.
    index, low, on_stack, stack, cycles, counter = {}, {}, set(), [], [], [0]
    for root in sorted(edges):
        if root in index:
            continue
        work = [(root, 0)]
        while work:
            node, child = work.pop()
            if child == 0:
                index[node] = low[node] = counter[0]
                counter[0] += 1
                stack.append(node)
                on_stack.add(node)
            if child < len(edges[node]):
                work.append((node, child + 1))
                nxt = edges[node][child]
                if nxt not in index:
                    work.append((nxt, 0))
                elif nxt in on_stack:
                    low[node] = min(low[node], index[nxt])
                continue
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    top = stack.pop()
                    on_stack.discard(top)
                    component.append(top)
                    if top == node:
                        break
                if len(component) > 1:
                    cycles.append(sorted(component))
    return cycles


CONTROL = re.compile(r"\b(if|for|while|switch|catch|return|sizeof|decltype|alignof)\s*$")
HEAD_SCOPE = re.compile(r"\b(namespace|class|struct|union|enum)\b[^()]*$")


def long_functions(path, limit):
    with open(path, encoding="utf-8") as f:
        text = strip(f.read())
    stack = []  # (kind, line, head)
    head_start = 0
    line = 1
    found = []
    for i, c in enumerate(text):
        if c == "\n":
            line += 1
        elif c in ";{}":
            head = text[head_start:i]
            if c == "{":
                inside = any(kind == "function" for kind, _, _ in stack)
                flat = " ".join(head.split())
                if inside:
                    kind = "block"
                elif HEAD_SCOPE.search(flat) or flat.startswith("extern"):
                    kind = "scope"
                elif ")" in flat and not flat.endswith("=") and not CONTROL.search(flat.split("(")[0]):
                    kind = "function"
                else:
                    kind = "block"
                stack.append((kind, line, flat))
            elif c == "}" and stack:
                kind, start, flat = stack.pop()
                if kind == "function" and line - start + 1 > limit:
                    name = flat.split("(")[0].split()[-1] if flat.split("(")[0].split() else flat
                    found.append((path, start, line - start + 1, name))
            head_start = i + 1
    return found


def main(argv):
    limit = 80
    args = argv[1:]
    if len(args) >= 2 and args[0] == "--max-lines":
        limit = int(args[1])
        args = args[2:]
    src = args[0] if args else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
    bad = False
    for cycle in include_cycles(src):
        bad = True
        print("include cycle: " + " <-> ".join(cycle))
    for folder, _, names in sorted(os.walk(src)):
        for name in sorted(names):
            if name.endswith((".h", ".cpp")):
                for path, start, length, fn in long_functions(os.path.join(folder, name), limit):
                    bad = True
                    print(f"{os.path.relpath(path, src)}:{start}: {fn} has {length} lines")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
