#!/usr/bin/env python3
"""Checks the include structure of the product code.

1. Layers: every folder below has a stack and a height. A file may include
   files of its own stack at its own height or below, never from a layer
   above and never from another stack.
2. No include circles: a header and its source count as one unit; no unit may
   reach itself through the includes of the units it uses.

Tests, tools, benchmarks and fuzzers sit on top of everything and are not
checked. Exits non-zero and names each offending include.
"""
import os
import re
import subprocess
import sys

# (folder, stack, height): the longest matching folder wins.
LAYERS = [
    ("common", "updater", 0),
    ("OrvalenBackendServer/include", "updater", 1),
    ("OrvalenBackendServer/platform", "updater", 1),
    ("OrvalenBackendServer/packages", "updater", 2),
    ("OrvalenBackendServer/protocol", "updater", 3),
    ("OrvalenBackendServer/download", "updater", 4),
    ("updater/platform", "updater", 5),
    ("updater/logging", "updater", 6),
    ("updater/delta", "updater", 6),
    ("updater/service", "updater", 7),
    ("updater/install", "updater", 7),
    ("updater/startup/OVCommandLine", "updater", 7),
    ("updater/startup/OVSingleInstance", "updater", 7),
    ("updater/windows", "updater", 8),
    ("updater/startup", "updater", 9),
    ("updater/main.cpp", "updater", 10),
    ("gpu_runtime", "gpu", 0),
    ("cmatte/include", "gpu", 1),
    ("cmatte/calibration", "gpu", 1),
    ("cmatte/keyers", "gpu", 2),
    ("cmatte/keyers/v1", "gpu", 3),
    ("cmatte/keyers/v2", "gpu", 3),
    ("cmatte/api", "gpu", 4),
    ("lutgrade/include", "gpu", 1),
    ("lutgrade/platform", "gpu", 1),
    ("lutgrade/tables", "gpu", 2),
    ("lutgrade/gpu", "gpu", 2),
    ("lutgrade/api", "gpu", 3),
    ("gst", "gpu", 5),
]

# The two GPU libraries know nothing of each other.
SEPARATE = [("cmatte", "lutgrade")]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer_of(path):
    best = None
    for folder, stack, height in LAYERS:
        if path == folder or path.startswith(folder + "/") or path.startswith(folder + "."):
            if best is None or len(folder) > len(best[0]):
                best = (folder, stack, height)
    return best


def include_roots(path):
    """Where a quoted include of this file is looked up, nearest first."""
    top = path.split("/")[0]
    roots = [os.path.dirname(path), top, top + "/include"]
    for folder, _, _ in LAYERS:
        top = folder.split("/")[0]
        roots += [top + "/include", top]
    return roots


def resolve(path, name, files):
    for root in include_roots(path):
        candidate = os.path.normpath(os.path.join(root, name))
        if candidate in files:
            return candidate
    return None


def unit(path):
    return os.path.splitext(path)[0]


def find_circles(edges):
    circles, state, stack = [], {}, []

    def visit(node):
        state[node] = 1
        stack.append(node)
        for nxt in sorted(edges.get(node, ())):
            if state.get(nxt) == 1:
                circles.append(stack[stack.index(nxt):] + [nxt])
            elif nxt not in state:
                visit(nxt)
        stack.pop()
        state[node] = 2

    for node in sorted(edges):
        if node not in state:
            visit(node)
    return circles


def main():
    root = subprocess.run(["git", "rev-parse", "--show-toplevel"], capture_output=True, text=True,
                          cwd=os.path.dirname(os.path.abspath(__file__)), check=True).stdout.strip()
    os.chdir(root)
    listed = subprocess.run(["git", "ls-files", "-co", "--exclude-standard"], capture_output=True, text=True,
                            check=True).stdout.split()
    files = {f for f in listed if os.path.isfile(f) and f.endswith((".h", ".cpp"))}
    problems, edges = [], {}
    for path in sorted(files):
        own = layer_of(path)
        if own is None:
            continue
        with open(path, encoding="utf-8", errors="replace") as source:
            names = INCLUDE.findall(source.read())
        for name in names:
            target = resolve(path, name, files)
            if target is None:
                continue
            if unit(target) != unit(path):
                edges.setdefault(unit(path), set()).add(unit(target))
            theirs = layer_of(target)
            if theirs is None:
                problems.append(f"{path}: includes {target}, which is outside the product code")
            elif theirs[1] != own[1]:
                problems.append(f"{path}: includes {target} of the {theirs[1]} stack")
            elif theirs[2] > own[2]:
                problems.append(f"{path}: includes {target} from a layer above ({theirs[0]} over {own[0]})")
            for a, b in SEPARATE:
                tops = {path.split("/")[0], target.split("/")[0]}
                if tops == {a, b}:
                    problems.append(f"{path}: includes {target}; {a} and {b} are independent")
    for circle in find_circles(edges):
        problems.append("include circle: " + " -> ".join(circle))
    for line in problems:
        print(line)
    if problems:
        return 1
    print(f"layers: {len(files)} files, no include from above, no circle")
    return 0


if __name__ == "__main__":
    sys.exit(main())
