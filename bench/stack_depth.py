#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Worst-case stack depth of a function from GCC's call-graph files.

Usage: stack_depth.py ROOT_FUNCTION FILE.ci...

The .ci files come from compiling with -fstack-usage -fcallgraph-info=su: one
node per function with its frame size (static, dynamic or bounded) and one
edge per call. The depth of a function is its own frame plus the deepest of
its callees. An indirect call is charged with the deepest local function of
its translation unit that nothing calls directly (the library calls through
pointers only to such helpers). Functions without a frame size (the C
library) are listed and count as 0. Recursion, or a frame that is not
static or bounded, is reported and makes the script fail, since the bound
would not hold.
"""
import re
import sys

NODE = re.compile(r'node: \{ title: "([^"]+)" label: "([^"]*)"')
EDGE = re.compile(r'edge: \{ sourcename: "([^"]+)" targetname: "([^"]+)"')
FRAME = re.compile(r'\\n(\d+) bytes \(([a-z,]+)\)')


def load(paths):
    frames, names, calls, unit_of = {}, {}, {}, {}
    for path in paths:
        text = open(path).read()
        for title, label in NODE.findall(text):
            frame = FRAME.search(label)
            if frame:
                frames[title] = (int(frame.group(1)), frame.group(2))
                unit_of[title] = path
            names.setdefault(title, label.split("\\n")[0])
        for source, target in EDGE.findall(text):
            if target == "__indirect_call":
                target = "__indirect_call@" + path
            calls.setdefault(source, set()).add(target)
    called = {target for targets in calls.values() for target in targets}
    for path in paths:
        unit = [f for f, p in unit_of.items() if p == path and "{anonymous}::" in names[f] and f not in called]
        calls["__indirect_call@" + path] = set(unit)
        names["__indirect_call@" + path] = "(indirect call in " + path.split("/")[-1] + ")"
    return frames, names, calls


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    root_name, paths = sys.argv[1], sys.argv[2:]
    frames, names, calls = load(paths)
    roots = [t for t, n in names.items() if t in frames and re.search(r"\b%s\(" % re.escape(root_name), n)]
    if len(roots) != 1:
        sys.exit("expected one function %s, found %d" % (root_name, len(roots)))

    depth, path_of, external, problems = {}, {}, set(), []

    def visit(node, active):
        if node in depth:
            return depth[node]
        if node in active:
            problems.append("recursion through " + names.get(node, node))
            return 0
        frame, kind = frames.get(node, (0, "static"))
        if node not in frames and not node.startswith("__indirect_call@"):
            label = names.get(node, "")
            external.add(label if label and not label.startswith(")") else node)
        if kind not in ("static", "dynamic,bounded"):
            problems.append("%s has a %s frame" % (names.get(node, node), kind))
        best, best_path = 0, []
        for callee in sorted(calls.get(node, ())):
            d = visit(callee, active | {node})
            if d > best:
                best, best_path = d, path_of[callee]
        depth[node] = frame + best
        path_of[node] = [(names.get(node, node), frame)] + best_path
        return depth[node]

    total = visit(roots[0], frozenset())
    print("worst-case stack of %s: %d bytes" % (root_name, total))
    for name, frame in path_of[roots[0]]:
        if frame:
            print("  %6d  %s" % (frame, name))
    if external:
        print("not counted (no frame size, C library): " + ", ".join(sorted(external)))
    if problems:
        print("\n".join("problem: " + p for p in problems))
        sys.exit(1)


if __name__ == "__main__":
    main()
