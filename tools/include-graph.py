#!/usr/bin/env python3
"""Prints the include graph between the source folders and fails on a back edge.

A folder may include only the folders listed under it in LAYERS (and itself). Inside framework/, the
window layer (framework/WindowLayer) must not sit in an include loop with the units above it: a unit is a
header and its source, and unit A reaches unit B when A's header or source includes B's header. The
folders in LOOP_FREE have no include loop between their units at all.
Usage: tools/include-graph.py [--quiet] [--loops] [repository root]. With --loops it prints the include
loops inside each folder of LOOP_CHECKED (and fails when there is one) instead of the folder graph.
Exit code 1 on a fault, 0 otherwise.
"""
import re
import sys
from pathlib import Path

# Each folder and the folders it may include.
LAYERS = {
    "framework": set(),
    "engine": {"framework"},
    "graphics": {"framework"},
    "xml": {"framework"},
    "skin": {"framework", "graphics", "xml"},
    "tabs": {"framework", "graphics"},
    "browser": {"framework", "engine"},
    "installer": {"framework", "graphics", "xml", "skin"},
    "shell": {"framework", "engine", "browser", "tabs", "graphics", "xml", "skin"},
    "testengine": {"framework", "engine"},
}
WINDOW_LAYER = "framework/WindowLayer"
# Folders whose units form no include loop (checked always), and the folders --loops reports on.
LOOP_FREE = ("skin", "installer", "installer/controls")
LOOP_CHECKED = LOOP_FREE
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SOURCES = (".h", ".cpp")


def includes(path):
    return INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace"))


def folder_graph(root):
    edges = {}  # (from, to) -> first file that makes the edge
    for folder in LAYERS:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in SOURCES:
                continue
            for name in includes(path):
                target = name.split("/", 1)[0]
                if "/" in name and target in LAYERS and target != folder:
                    edges.setdefault((folder, target), path.relative_to(root).as_posix())
    return edges


def unit_loops(root, folder):
    """The strongly connected sets of more than one unit in folder's unit include graph."""
    graph = {}
    for path in sorted((root / folder).glob("*")):
        if path.suffix not in SOURCES:
            continue
        unit = f"{folder}/{path.stem}"
        targets = graph.setdefault(unit, set())
        for name in includes(path):
            stem = name.rsplit(".", 1)[0]
            if name.startswith(folder + "/") and name.endswith(".h") and stem != unit:
                targets.add(stem)
    # Tarjan's algorithm, iterative so that a deep graph cannot overflow the stack.
    index, low, on_stack, stack, loops = {}, {}, set(), [], []
    counter = 0
    for start in graph:
        if start in index:
            continue
        work = [(start, iter(sorted(graph.get(start, ()))))]
        index[start] = low[start] = counter
        counter += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in graph:
                    continue
                if child not in index:
                    index[child] = low[child] = counter
                    counter += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(graph[child]))))
                    advanced = True
                    break
                if child in on_stack:
                    low[node] = min(low[node], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                if len(component) > 1:
                    loops.append(sorted(component))
    return loops


def loop_faults(root, folders):
    return [f"an include loop in {folder}/: " + ", ".join(loop)
            for folder in folders if (root / folder).is_dir() for loop in unit_loops(root, folder)]


def main(argv):
    quiet = "--quiet" in argv
    args = [a for a in argv if a not in ("--quiet", "--loops")]
    root = Path(args[0] if args else Path(__file__).resolve().parent.parent)
    if "--loops" in argv:
        faults = loop_faults(root, LOOP_CHECKED)
        for fault in faults:
            print(fault)
        if not faults and not quiet:
            print("no include loop in " + ", ".join(f"{f}/" for f in LOOP_CHECKED))
        return 1 if faults else 0
    faults = loop_faults(root, LOOP_FREE)
    edges = folder_graph(root)
    for folder in LAYERS:
        targets = sorted(t for (f, t) in edges if f == folder)
        if not quiet:
            print(f"{folder} -> {', '.join(targets) if targets else '(nothing)'}")
        for target in targets:
            if target not in LAYERS[folder]:
                faults.append(f"back edge {folder} -> {target} ({edges[(folder, target)]})")
    if (root / (WINDOW_LAYER + ".h")).exists():
        for loop in unit_loops(root, "framework"):
            if WINDOW_LAYER in loop:
                faults.append("the window layer is in an include loop: " + ", ".join(loop))
    else:
        faults.append(f"{WINDOW_LAYER}.h is missing")
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
