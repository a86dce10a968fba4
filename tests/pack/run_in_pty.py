#!/usr/bin/env python3
"""Runs a command with its standard error on a pseudo-terminal and prints what
the terminal received (its standard output is dropped). Exits with the
command's exit code."""
import os
import pty
import subprocess
import sys

master, slave = pty.openpty()
child = subprocess.Popen(sys.argv[1:], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=slave)
os.close(slave)
received = bytearray()
while True:
    try:
        chunk = os.read(master, 65536)
    except OSError:  # EIO once the child has closed its side
        break
    if not chunk:
        break
    received += chunk
os.close(master)
sys.stdout.buffer.write(received)
sys.exit(child.wait())
