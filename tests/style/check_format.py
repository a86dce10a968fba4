#!/usr/bin/env python3
"""Fails when a C++ file differs from what clang-format makes of it.

Usage: check_format.py CLANG_FORMAT ROOT [FOLDER...]
Checks every .h/.cpp below the folders of ROOT (default: the project's code
folders) against the project's own .clang-format, wherever ROOT is. Test
fixtures are data, not code.
"""
import os
import subprocess
import sys

FOLDERS = ("src", "tools", "tests", "bench", "fuzz", "examples", "resources")
SKIP = ("tests/fixtures", "tests/style/bad")
SOURCES = (".h", ".hpp", ".cpp", ".cc")
STYLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", ".clang-format")


def sources(root, folders):
    for folder in folders:
        for dirpath, dirnames, files in os.walk(os.path.join(root, folder)):
            rel = os.path.relpath(dirpath, root)
            dirnames[:] = sorted(d for d in dirnames
                                 if os.path.join(rel, d) not in SKIP and d != "build")
            for file in sorted(files):
                if file.endswith(SOURCES):
                    yield os.path.join(dirpath, file)


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    tool, root = sys.argv[1], os.path.abspath(sys.argv[2])
    folders = sys.argv[3:] or FOLDERS
    files = list(sources(root, folders))
    # One run for all files: it names each file that would change in its
    # "FILE:LINE:COLUMN: error:" lines.
    result = subprocess.run([tool, "--dry-run", "-Werror", "--style=file:" + os.path.normpath(STYLE), *files],
                            capture_output=True, text=True, cwd=root)
    named = {line.split(":", 1)[0] for line in result.stderr.splitlines() if ": error: " in line}
    faults = sorted(os.path.relpath(path, root) for path in files if path in named)
    if result.returncode != 0 and not faults:
        print(result.stderr)
        print("clang-format failed")
        return 1
    for fault in faults:
        print(f"{fault}: not formatted (run clang-format -i {fault})")
    if faults:
        print(f"{len(faults)} of {len(files)} file(s) need clang-format")
        return 1
    print(f"format: {len(files)} files as clang-format makes them")
    return 0


if __name__ == "__main__":
    sys.exit(main())
