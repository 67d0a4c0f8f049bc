#!/usr/bin/env python3
"""The server's sources stand in floors, each folder of server/src on the ones below it:

    core     what every part shares: the upload form and its checks, text rules, a play's input
             and chart, the metrics counters (no socket, database or process)
    checks   re-simulating an upload in a sandboxed process
    storage  both database backends, migrations, change notices, the lists, moderation
    web      pages, JSON, the chart, the replay viewer
    http     the daemon: connections, addresses, limits, the upload's way through, its options
    ops      the operator's side: config file, admin commands, metrics endpoint, backups

A file may include files of its own floor and of lower floors only, and no two files may include
each other however indirectly. Prints every include that breaks the rule and every circle found.
"""
import os
import re
import sys

FLOORS = ["core", "checks", "storage", "web", "http", "ops"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def main(src):
    graph, faults = {}, []
    folders = sorted(d for d in os.listdir(src) if os.path.isdir(os.path.join(src, d)))
    strays = [f for f in os.listdir(src) if os.path.isfile(os.path.join(src, f))]
    if strays:
        faults.append(f"files outside every floor: {', '.join(sorted(strays))}")
    for folder in folders:
        if folder not in FLOORS:
            faults.append(f"{folder}/ is not a known floor (add it to FLOORS in its place)")
            continue
        for name in sorted(os.listdir(os.path.join(src, folder))):
            path = f"{folder}/{name}"
            with open(os.path.join(src, path), encoding="utf-8") as f:
                includes = INCLUDE.findall(f.read())
            ours = [i for i in includes if i.split("/")[0] in FLOORS]
            graph[path] = ours
            for inc in ours:
                if FLOORS.index(inc.split("/")[0]) > FLOORS.index(folder):
                    faults.append(f"{path} includes {inc}, a higher floor")
                if not os.path.isfile(os.path.join(src, inc)):
                    faults.append(f"{path} includes {inc}, which does not exist")
    # Circles among the files (a header including a header that includes it back).
    state = {}

    def visit(node, stack):
        state[node] = 1
        for nxt in graph.get(node, []):
            if state.get(nxt) == 1:
                faults.append("circle: " + " -> ".join(stack[stack.index(nxt):] + [nxt]))
            elif nxt in graph and not state.get(nxt):
                visit(nxt, stack + [nxt])
        state[node] = 2

    for node in sorted(graph):
        if not state.get(node):
            visit(node, [node])
    if not graph:
        faults.append(f"no sources found under {src}")
    for fault in faults:
        print(fault)
    print(f"{len(graph)} files in {len(folders)} floors; {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")))
