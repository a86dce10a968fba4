#!/usr/bin/env python3
"""Writes the deterministic benchmark payload into a folder: one large
compressible file, one large incompressible file, an 18 MB program-like file,
2,000 small files, an Install.xml listing them all, and a separate 256 MiB file
for the digest benchmark. Same seed, same bytes, same time stamps."""
import os, random, sys

MiB = 1 << 20
STAMP = 1700000000  # fixed modification time, so the package's time texts are fixed too

def words(rng, vocab, weights, size):
    out, total = [], 0
    while total < size:
        line = " ".join(rng.choices(vocab, weights, k=rng.randint(4, 16))) + "\n"
        out.append(line)
        total += len(line)
    return "".join(out).encode()[:size]

def text(rng, size):
    vocab = ["".join(rng.choices("abcdefghijklmnopqrstuvwxyz", k=rng.randint(2, 10))) for _ in range(4000)]
    weights = [1.0 / (i + 1) for i in range(len(vocab))]
    # Build a few MiB of text and vary it, instead of drawing every word (slow in Python).
    base = words(rng, vocab, weights, 4 * MiB)
    parts, total = [], 0
    while total < size:
        start = rng.randrange(0, len(base) - MiB)
        piece = bytearray(base[start:start + MiB])
        for _ in range(64):
            piece[rng.randrange(len(piece))] = rng.randrange(32, 127)
        parts.append(bytes(piece))
        total += len(piece)
    return b"".join(parts)[:size]

def program_like(rng, size):
    # Mixed like an executable: code-ish noise, tables, strings, zero runs.
    txt = text(rng, size)
    parts, total = [], 0
    while total < size:
        kind = rng.random()
        n = rng.randint(512, 8192)
        if kind < 0.35:
            parts.append(rng.randbytes(n))
        elif kind < 0.45:
            parts.append(bytes(n))
        else:
            s = rng.randrange(0, len(txt) - n)
            parts.append(txt[s:s + n])
        total += n
    return b"".join(parts)[:size]

def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (STAMP, STAMP))

def main():
    payload, md5_file = sys.argv[1], sys.argv[2]
    rng = random.Random(20240601)
    files = []
    def add(rel, data, name=None):
        write(os.path.join(payload, rel), data)
        files.append((name or os.path.basename(rel), rel))
    add("large-text.dat", text(rng, 96 * MiB))
    add("large-random.dat", rng.randbytes(64 * MiB))
    add("program.bin", program_like(rng, 18 * MiB))
    small_text = text(rng, 8 * MiB)
    for i in range(2000):
        n = rng.randint(256, 16 * 1024)
        if i % 4 == 3:
            data = rng.randbytes(n)
        else:
            s = rng.randrange(0, len(small_text) - n)
            data = small_text[s:s + n]
        add("small/%02d/f%04d.dat" % (i // 100, i), data)

    lines = ['<?xml version="1.0" encoding="utf-8"?>', "<install>",
             '\t<version prog="Bench Product" clsid="00000000-0000-0000-0000-000000000000" ver="1.0.0"/>',
             "\t<info>", "\t\t<prog>BenchProduct</prog>", "\t\t<value>1</value>", "\t</info>", "\t<files>"]
    for name, rel in files:
        lines.append('\t\t<file name="%s" path="$intallpath$\\" pack="%s" ver="1.0"/>' % (name, rel))
    lines += ["\t</files>", "</install>", ""]
    write(os.path.join(payload, "Install.xml"), b"\xef\xbb\xbf" + "\r\n".join(lines).encode())

    # The digest file: 256 MiB, not in the package.
    with open(md5_file, "wb") as f:
        for _ in range(16):
            f.write(rng.randbytes(16 * MiB))

if __name__ == "__main__":
    main()
