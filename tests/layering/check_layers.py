#!/usr/bin/env python3
"""Fails when a source file includes a header of a module above its own.

Layers point one way: common -> platform -> database, manifest -> engine ->
app -> update -> wizard. The tools use platform, database and manifest only.
Usage: check_layers.py ROOT  (ROOT holds src/, tools/, resources/)
"""
import os
import re
import sys

# What each module may include besides itself.
BELOW = {
    "common": set(),
    "platform": {"common"},
    "database": {"common", "platform"},
    "manifest": {"common", "platform"},
}
BELOW["engine"] = {"database", "manifest"} | BELOW["database"] | BELOW["manifest"]
BELOW["app"] = {"engine", "resources"} | BELOW["engine"]
BELOW["update"] = {"app"} | BELOW["app"]
BELOW["wizard"] = {"update"} | BELOW["update"]
TOOLS = {
    "tools/pack": {"pack", "common", "platform", "database", "manifest"},
    "tools/reg": {"common", "platform"},
    # The template pair is made with the packer's writer.
    "resources": {"pack", "common", "platform", "database", "manifest"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+(["<])([A-Za-z0-9_]+)/')
SOURCES = (".h", ".hpp", ".cpp", ".cc")
# Folders of this project that an angle-bracket include could name.
OURS = set(BELOW) | {"pack", "reg", "resources"}


def places(root):
    src = os.path.join(root, "src")
    if os.path.isdir(src):
        for name in sorted(os.listdir(src)):
            if os.path.isdir(os.path.join(src, name)):
                yield name, os.path.join(src, name), None
    for name in TOOLS:
        folder = os.path.join(root, name)
        if os.path.isdir(folder):
            yield name, folder, TOOLS[name]


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    faults = []
    for module, folder, allowed in places(root):
        own = os.path.basename(folder)
        if allowed is None:
            if module not in BELOW:
                faults.append(f"src/{module}: a module without a place in the layers")
                continue
            allowed = BELOW[module] | {module}
        else:
            allowed = allowed | {own}
        for dirpath, _, files in os.walk(folder):
            for file in sorted(files):
                if not file.endswith(SOURCES):
                    continue
                path = os.path.join(dirpath, file)
                with open(path, encoding="utf-8", errors="replace") as handle:
                    for number, line in enumerate(handle, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        quote, target = match.groups()
                        # <QtCore/...> and the like are libraries; <engine/...> is ours.
                        if quote == "<" and target not in OURS:
                            continue
                        if target not in allowed:
                            rel = os.path.relpath(path, root)
                            faults.append(f"{rel}:{number}: {module} includes {target}/ "
                                          f"(allowed: {', '.join(sorted(allowed))})")
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) point up the layers")
        return 1
    print("layers: every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
