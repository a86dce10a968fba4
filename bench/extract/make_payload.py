#!/usr/bin/env python3
"""Writes the deterministic benchmark payload into a folder: 100 MiB of text,
50 MiB of random bytes, 2,000 small files of 1 to 50 KiB in 20 folders, and an
Install.xml that lists them all with the folder each one goes to; then a
separate 256 MiB file for the digest benchmark. Same seed, same bytes, same
time stamps."""
import os, random, sys

KiB = 1 << 10
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

def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (STAMP, STAMP))

def main():
    payload, md5_file = sys.argv[1], sys.argv[2]
    rng = random.Random(20240601)
    files = []  # (name, folder below the installation folder, source path)
    def add(folder, name, data):
        rel = folder + name
        write(os.path.join(payload, rel), data)
        files.append((name, folder, rel))
    add("", "large-text.dat", text(rng, 100 * MiB))
    add("", "large-random.dat", rng.randbytes(50 * MiB))
    small_text = text(rng, 8 * MiB)
    for i in range(2000):
        n = rng.randint(1 * KiB, 50 * KiB)
        if i % 4 == 3:
            data = rng.randbytes(n)
        else:
            s = rng.randrange(0, len(small_text) - n)
            data = small_text[s:s + n]
        add("small/%02d/" % (i // 100), "f%04d.dat" % i, data)

    lines = ['<?xml version="1.0" encoding="utf-8"?>', "<install>",
             '\t<version prog="Bench Product" clsid="00000000-0000-0000-0000-000000000000" ver="1.0.0"/>',
             "\t<info><prog>BenchProduct</prog><value>0</value><company>Tessaly</company>"
             "<help></help><url></url><autostart>0</autostart></info>", "\t<files>"]
    for name, folder, rel in files:
        lines.append('\t\t<file name="%s" path="$intallpath$\\%s" pack="%s" ver="1.0"/>'
                     % (name, folder.replace("/", "\\"), rel))
    lines += ["\t</files>", "\t<registry/>", "\t<shortcut/>", "</install>", ""]
    write(os.path.join(payload, "Install.xml"), b"\xef\xbb\xbf" + "\r\n".join(lines).encode())

    # The digest file: 256 MiB, not in the package.
    with open(md5_file, "wb") as f:
        for _ in range(16):
            f.write(rng.randbytes(16 * MiB))

if __name__ == "__main__":
    main()
