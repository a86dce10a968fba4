#!/usr/bin/env python3
"""Fails when a source file includes a header of a module above its own, or
a POSIX system header outside src/platform.

Layers point one way: common -> platform -> database, manifest -> engine ->
app -> update -> wizard. The tools use platform, database and manifest only.
The operating system is reached through src/platform (platform/FileSystem.h
and its neighbours); only the files named in SYSTEM_HEADERS_ALLOWED may
include system headers elsewhere.
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
# POSIX and Linux headers (the C and C++ standard headers such as <csignal>
# are fine anywhere).
SYSTEM_HEADER = re.compile(
    r'^\s*#\s*include\s+<((?:sys|linux|arpa|netinet|bits)/[^>]+|'
    r'(?:unistd|fcntl|dirent|dlfcn|signal|poll|pwd|grp|termios|spawn|sched|pthread|semaphore|'
    r'syslog|netdb|elf|link|mqueue|utmp|ftw|fnmatch|glob|wordexp|libgen|aio)\.h)>')
# The one place system headers belong.
SYSTEM_FOLDER = "src/platform"
# Files outside it that still include system headers, each with the reason.
SYSTEM_HEADERS_ALLOWED = {
    # common sits below platform, so its own file helpers cannot use it.
    "src/common/FileHelpers.cpp": "the folder walk and tree removal below platform",
    "src/common/MD5Encode.cpp": "digests read through a descriptor, below platform",
    "src/common/PumpMessages.cpp": "the cancel signals' handlers (sigaction), below platform",
    # The packer is a build-time tool, not the installer.
    "tools/pack/ManifestGenerator.cpp": "walks the product folder with readdir",
    "tools/pack/ProgressMeter.cpp": "isatty for the progress display",
}
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
                rel = os.path.relpath(path, root).replace(os.sep, "/")
                system_allowed = rel.startswith(SYSTEM_FOLDER + "/") or rel in SYSTEM_HEADERS_ALLOWED
                includes_system = False
                with open(path, encoding="utf-8", errors="replace") as handle:
                    for number, line in enumerate(handle, 1):
                        system = SYSTEM_HEADER.match(line)
                        if system:
                            includes_system = True
                            if not system_allowed:
                                faults.append(f"{rel}:{number}: includes the system header "
                                              f"<{system.group(1)}> outside {SYSTEM_FOLDER} "
                                              f"(use platform/FileSystem.h)")
                            continue
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        quote, target = match.groups()
                        # <QtCore/...> and the like are libraries; <engine/...> is ours.
                        if quote == "<" and target not in OURS:
                            continue
                        if target not in allowed:
                            faults.append(f"{rel}:{number}: {module} includes {target}/ "
                                          f"(allowed: {', '.join(sorted(allowed))})")
                if rel in SYSTEM_HEADERS_ALLOWED and not includes_system:
                    faults.append(f"{rel}: named in SYSTEM_HEADERS_ALLOWED but includes no "
                                  f"system header any more: take it off the list")
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) point up the layers or reach the system directly")
        return 1
    print("layers: every include points down; system headers only in platform")
    return 0


if __name__ == "__main__":
    sys.exit(main())
