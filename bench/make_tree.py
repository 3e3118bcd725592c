#!/usr/bin/env python3
"""Builds a deterministic source tree: FILES small files (0 to 4 KiB) spread over FOLDERS
folders, plus BIG files of 100 MB and more. Usage: make_tree.py DIR FILES FOLDERS BIG"""
import os
import random
import sys

root, files, folders, big = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rng = random.Random(20261207)
block = rng.randbytes(4096)
when = 1_700_000_000
for f in range(folders):
    os.makedirs(os.path.join(root, f"d{f // 25:02}", f"f{f:03}"), exist_ok=True)
for i in range(files):
    folder = os.path.join(root, f"d{(i % folders) // 25:02}", f"f{i % folders:03}")
    path = os.path.join(folder, f"file{i:06}.dat")
    size = rng.randrange(0, 4097)
    with open(path, "wb") as out:
        out.write(block[:size])
    os.utime(path, (when + i, when + i))
big_block = rng.randbytes(1 << 20)
for b in range(big):
    path = os.path.join(root, f"big{b}.bin")
    with open(path, "wb") as out:
        for _ in range(100 + 10 * b):
            out.write(big_block)
    os.utime(path, (when, when))
