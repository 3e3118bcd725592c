#!/usr/bin/env python3
"""Builds a deterministic source tree: FILES small files (0 to 4 KiB) spread over FOLDERS
folders, plus BIG files of 100 MB and more. With a fifth argument "random" the names,
sizes and places are random (a fixed seed): folders one to four levels deep under varied
names, files of 0 to 64 KiB (most of them small) placed unevenly, as a person's home folder
holds them; no tool gets the neat order of the plain tree.
Usage: make_tree.py DIR FILES FOLDERS BIG [random]"""
import os
import random
import sys

root, files, folders, big = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
randomised = len(sys.argv) > 5 and sys.argv[5] == "random"
rng = random.Random(20261207)
block = rng.randbytes(4096)
when = 1_700_000_000


def plain():
    for f in range(folders):
        os.makedirs(os.path.join(root, f"d{f // 25:02}", f"f{f:03}"), exist_ok=True)
    for i in range(files):
        folder = os.path.join(root, f"d{(i % folders) // 25:02}", f"f{i % folders:03}")
        path = os.path.join(folder, f"file{i:06}.dat")
        size = rng.randrange(0, 4097)
        with open(path, "wb") as out:
            out.write(block[:size])
        os.utime(path, (when + i, when + i))


def name(low, high):
    letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 _-."
    text = "".join(rng.choice(letters) for _ in range(rng.randint(low, high))).strip(" .")
    return text or "x"


def scattered():
    big_block = rng.randbytes(64 * 1024)
    places = [root]
    for _ in range(folders):
        parent = rng.choice(places)
        # At most four levels below the root.
        while os.path.relpath(parent, root).count(os.sep) >= 3:
            parent = rng.choice(places)
        places.append(os.path.join(parent, name(3, 24)))
        os.makedirs(places[-1], exist_ok=True)
    # Some folders hold many files, most hold a few.
    weights = [rng.paretovariate(1.2) for _ in places]
    for i in range(files):
        folder = rng.choices(places, weights)[0]
        path = os.path.join(folder, f"{name(1, 40)}.{rng.choice(['txt', 'jpg', 'pdf', 'dat', 'c', 'md'])}")
        size = min(int(rng.expovariate(1 / 6000)), 64 * 1024)
        with open(path, "wb") as out:
            out.write(big_block[:size])
        os.utime(path, (when + i, when + i))


if randomised:
    scattered()
else:
    plain()
big_block = rng.randbytes(1 << 20)
for b in range(big):
    path = os.path.join(root, f"big{b}.bin")
    with open(path, "wb") as out:
        for _ in range(100 + 10 * b):
            out.write(big_block)
    os.utime(path, (when, when))
