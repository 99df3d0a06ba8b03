#!/usr/bin/env python3
"""Checks that the includes under src/ run down the layers.

    check_layers.py [REPOSITORY]

The layers and what each may include are the table of docs/architecture.md
(section "Layers"), read from there so that the page and this check cannot
disagree. A layer is a folder under src/ (`track`) or a file stem inside one
(`cli/switches`, both its .h and its .cpp); a file belongs to the most
specific layer that names it. Fails on:

- a file under src/ that no layer claims;
- a row whose list names a layer that is not below it in the table;
- an `#include "..."` of a file of another layer that its row does not list;
- an include of a file that does not exist under src/;
- an include circle between files, a header and its .cpp counting as one
  file (lines.cpp -> preprocess.h -> lines.h is a circle of lines and
  preprocess).
Prints every finding; the exit code is 1 when there is one, else 0.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
ROW = re.compile(r'^\|\s*`([^`]+)`\s*\|[^|]*\|([^|]*)\|\s*$')


def read_layers(page):
    """The rows of the layer table in order: (name, [names it may include])."""
    with open(page, encoding='utf-8') as f:
        text = f.read()
    start = text.find('\n## Layers')
    if start < 0:
        sys.exit('%s: no "## Layers" section' % page)
    end = text.find('\n## ', start + 1)
    rows = []
    for line in text[start:end if end > 0 else len(text)].splitlines():
        m = ROW.match(line)
        if m:
            allowed = re.findall(r'`([^`]+)`', m.group(2))
            rows.append((m.group(1).strip('/'), allowed))
    if not rows:
        sys.exit('%s: the "Layers" section has no table rows' % page)
    return rows


def layer_of(path, names):
    """The most specific layer that claims `path` (relative to src/), or None."""
    stem = os.path.splitext(path)[0]
    best = None
    for name in names:
        if stem == name or path.startswith(name + '/'):
            if best is None or len(name) > len(best):
                best = name
    return best


def find_cycles(graph):
    """Every strongly connected component of more than one node."""
    index, low, on_stack, stack, result = {}, {}, set(), [], []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for nxt in sorted(graph.get(node, ())):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            component = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                component.append(top)
                if top == node:
                    break
            if len(component) > 1:
                result.append(sorted(component))

    sys.setrecursionlimit(10000)
    for node in sorted(graph):
        if node not in index:
            visit(node)
    return result


def check(root):
    rows = read_layers(os.path.join(root, 'docs', 'architecture.md'))
    names = [name for name, _ in rows]
    rank = {name: i for i, name in enumerate(names)}
    allowed = {name: set(may) for name, may in rows}
    findings = []

    for name, may in rows:
        for other in may:
            if other not in rank:
                findings.append('layer table: %s lists %s, which is no layer' % (name, other))
            elif rank[other] >= rank[name]:
                findings.append('layer table: %s lists %s, which is not below it' % (name, other))

    src = os.path.join(root, 'src')
    files = []
    for folder, _, entries in os.walk(src):
        for entry in entries:
            if entry.endswith(('.h', '.cpp')):
                files.append(os.path.relpath(os.path.join(folder, entry), src).replace(os.sep, '/'))
    files.sort()
    known = set(files)

    units = {}
    for path in files:
        layer = layer_of(path, names)
        if layer is None:
            findings.append('%s: no layer of docs/architecture.md claims it' % path)
            continue
        with open(os.path.join(src, path), encoding='utf-8', errors='replace') as f:
            includes = INCLUDE.findall(f.read())
        unit = os.path.splitext(path)[0]
        units.setdefault(unit, set())
        for target in includes:
            if target not in known:
                findings.append('%s: includes "%s", which is no file under src/' % (path, target))
                continue
            other = layer_of(target, names)
            if other is None:
                continue
            if other != layer and other not in allowed[layer]:
                way = 'up' if rank[other] > rank[layer] else 'across'
                findings.append('%s (%s) includes "%s" (%s): %s the layers' % (path, layer, target, other, way))
            target_unit = os.path.splitext(target)[0]
            if target_unit != unit:
                units[unit].add(target_unit)

    for cycle in find_cycles(units):
        findings.append('include circle: ' + ' <-> '.join(cycle))
    return findings, len(files)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..')
    findings, count = check(root)
    for finding in findings:
        print(finding)
    if findings:
        print('%d finding(s) in the includes of %d files' % (len(findings), count))
        return 1
    print('%d files: every include runs down the layers, no circle' % count)
    return 0


if __name__ == '__main__':
    sys.exit(main())
