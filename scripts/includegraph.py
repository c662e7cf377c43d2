#!/usr/bin/env python3
"""Include graph of the program's own folders: cycles and layering breaks.

Reads the #include "folder/File.h" lines of app, base, config, connections,
link, sms and status and prints
  (a) include cycles: a header and its source count as one unit (X.h + X.cpp),
      because a unit that includes a header whose source includes the unit
      back is the knot a reader has to untie; printed are the largest strongly
      connected component and the number of units in all components of two
      or more;
  (b) back arrows: folder pairs whose include edges go against the layering
      base < link, config, connections, sms, status < app, where within the
      core connections/ may use only base/ and config/ must not use link/.

Usage: scripts/includegraph.py [repository root]   (default: the script's parent)
Exit code 0 always; this is a report, not a check.
"""

import os
import re
import sys

FOLDERS = ["app", "base", "config", "connections", "link", "sms", "status"]
RANK = {"base": 0, "link": 1, "config": 1, "connections": 1, "sms": 1,
        "status": 1, "app": 2}
# Edges between folders of the same rank that are still against the layering.
FORBIDDEN_SAME_RANK = {
    ("connections", "link"), ("connections", "config"),
    ("connections", "sms"), ("connections", "status"),
    ("config", "link"),
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCE_EXT = (".h", ".cpp")


def unit_of(path):
    """'config/PaneSIM.cpp' -> 'config/PaneSIM'."""
    return os.path.splitext(path)[0]


def read_graph(root):
    """Returns {unit: set(unit)} for the project's own files."""
    files = []
    for folder in FOLDERS:
        base = os.path.join(root, folder)
        if not os.path.isdir(base):
            continue
        for dirpath, _, names in os.walk(base):
            for name in names:
                if name.endswith(SOURCE_EXT):
                    files.append(os.path.relpath(os.path.join(dirpath, name), root))
    known = set(files)
    graph = {}
    for rel in files:
        unit = unit_of(rel)
        graph.setdefault(unit, set())
        with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
            for line in f:
                m = INCLUDE.match(line)
                if not m:
                    continue
                target = m.group(1)
                if target not in known:
                    continue  # generated ui_ headers, system and Qt headers
                tunit = unit_of(target)
                if tunit != unit:
                    graph[unit].add(tunit)
    return graph


def strong_components(graph):
    """Tarjan's algorithm, iterative so deep graphs do not hit the recursion limit."""
    index = {}
    low = {}
    on_stack = set()
    stack = []
    result = []
    counter = 0
    for start in sorted(graph):
        if start in index:
            continue
        work = [(start, iter(sorted(graph[start])))]
        index[start] = low[start] = counter
        counter += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter
                    counter += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(graph.get(child, ())))))
                    advanced = True
                    break
                if child in on_stack:
                    low[node] = min(low[node], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                comp = []
                while True:
                    top = stack.pop()
                    on_stack.discard(top)
                    comp.append(top)
                    if top == node:
                        break
                result.append(sorted(comp))
    return result


def is_back_arrow(src, dst):
    if src == dst:
        return False
    if RANK[dst] > RANK[src]:
        return True
    return (src, dst) in FORBIDDEN_SAME_RANK


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(
        os.path.dirname(os.path.abspath(__file__)))
    graph = read_graph(root)

    cycles = [c for c in strong_components(graph) if len(c) > 1]
    cycles.sort(key=len, reverse=True)
    in_cycles = sum(len(c) for c in cycles)
    print("units (X.h + X.cpp): %d" % len(graph))
    print("units in include cycles: %d in %d cycle(s)" % (in_cycles, len(cycles)))
    if cycles:
        print("largest cycle: %d units" % len(cycles[0]))
        for comp in cycles:
            print("  cycle of %d: %s" % (len(comp), " ".join(comp)))

    arrows = {}
    for src, targets in graph.items():
        for dst in targets:
            sf, df = src.split("/")[0], dst.split("/")[0]
            if is_back_arrow(sf, df):
                arrows.setdefault((sf, df), []).append("%s -> %s" % (src, dst))
    print("back arrows between folders: %d (%d include edges)" % (
        len(arrows), sum(len(v) for v in arrows.values())))
    for (sf, df), edges in sorted(arrows.items()):
        print("  %s -> %s: %d" % (sf, df, len(edges)))
        for edge in sorted(edges):
            print("    " + edge)
    return 0


if __name__ == "__main__":
    sys.exit(main())
