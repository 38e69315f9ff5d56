#!/usr/bin/env python3
"""Fails when modules include each other in a circle.

A module is a header and its source (same path without the extension). An
arrow goes from module A to module B when A's header or source includes B's
header. Every circle (strongly connected set of two or more modules) in the
given folders is printed, and the exit status is 1 when there is one.

    scripts/check-include-circles.py [folder ...]   (default: the library's folders)
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_FOLDERS = ["adapter", "common", "log", "util", "platform"]
SOURCE_EXTENSIONS = (".h", ".cpp", ".cc", ".c")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def modules(folders):
    """Maps each module (repository-relative path without extension) to its files."""
    found = {}
    for folder in folders:
        for directory, _, files in os.walk(os.path.join(ROOT, folder)):
            for name in files:
                if name.endswith(SOURCE_EXTENSIONS):
                    path = os.path.relpath(os.path.join(directory, name), ROOT)
                    found.setdefault(os.path.splitext(path)[0], []).append(path)
    return found


def arrows(found):
    graph = {module: set() for module in found}
    for module, files in found.items():
        for path in files:
            with open(os.path.join(ROOT, path), encoding="utf-8", errors="replace") as source:
                for included in INCLUDE.findall(source.read()):
                    target = os.path.splitext(os.path.normpath(included))[0]
                    if target in graph and target != module:
                        graph[module].add(target)
    return graph


def circles(graph):
    """Strongly connected sets of two or more modules (Tarjan, iterative)."""
    index, low, stack, on_stack, result = {}, {}, [], set(), []
    counter = [0]
    for start in sorted(graph):
        if start in index:
            continue
        work = [(start, iter(sorted(graph[start])))]
        index[start] = low[start] = counter[0]
        counter[0] += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter[0]
                    counter[0] += 1
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
                members = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    members.append(member)
                    if member == node:
                        break
                if len(members) > 1:
                    result.append(sorted(members))
    return result


def main():
    folders = sys.argv[1:] or DEFAULT_FOLDERS
    graph = arrows(modules(folders))
    found = circles(graph)
    for members in found:
        print("include circle of %d modules:" % len(members))
        for member in members:
            inside = sorted(graph[member] & set(members))
            print("  %s -> %s" % (member, ", ".join(inside)))
    if found:
        return 1
    print("no include circle among %d modules" % len(graph))
    return 0


if __name__ == "__main__":
    sys.exit(main())
