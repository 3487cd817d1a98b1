#!/usr/bin/env python3
"""The layers of src/ and the includes between them, checked from the code.

    scripts/check_layers.py [src directory]

A source includes only from its own layer or the layers below it:
common <- model <- optimise <- apps. A header and the source of the same
name are one unit; no unit may reach itself through includes (a circle
makes two files one job in two places). Prints each fault on one line and
exits with 1, or says how many units and includes it read and exits with 0.
"""
import os
import re
import sys

LAYERS = ["common", "model", "optimise", "apps"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def units(src):
    """Unit name ("model/grid") -> the project headers its files include."""
    found = {}
    for layer in LAYERS:
        folder = os.path.join(src, layer)
        for name in sorted(os.listdir(folder)):
            stem, ext = os.path.splitext(name)
            if ext not in (".h", ".cpp"):
                continue
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                text = f.read()
            found.setdefault(layer + "/" + stem, set()).update(INCLUDE.findall(text))
    return found


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    found = units(src)
    faults = []
    graph = {}
    for unit, includes in sorted(found.items()):
        layer = unit.split("/")[0]
        graph[unit] = set()
        for inc in sorted(includes):
            target_layer = inc.split("/")[0] if "/" in inc else None
            target = os.path.splitext(inc)[0]
            if target_layer not in LAYERS or target not in found:
                faults.append(f"{unit}: includes \"{inc}\", not a header of src/<layer>/ by its layer's folder")
                continue
            if LAYERS.index(target_layer) > LAYERS.index(layer):
                faults.append(f"{unit}: includes \"{inc}\" of the higher layer {target_layer}")
            if target != unit:
                graph[unit].add(target)
    # Circles: a depth-first search that meets a unit still on its path.
    state, path = {}, []

    def visit(u):
        state[u] = 1
        path.append(u)
        for v in sorted(graph[u]):
            if state.get(v) == 1:
                faults.append("circle: " + " -> ".join(path[path.index(v):] + [v]))
            elif v not in state:
                visit(v)
        path.pop()
        state[u] = 2

    for u in sorted(graph):
        if u not in state:
            visit(u)
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print(f"{len(graph)} units, {sum(len(v) for v in graph.values())} includes between them: "
          "every include at its own layer or below, no circle")
    return 0


if __name__ == "__main__":
    sys.exit(main())
