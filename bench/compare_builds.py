#!/usr/bin/env python3
"""Interleaved runs (A B A B ...) of two vantoro-cli builds on one tree; prints medians.
Usage: compare_builds.py OLD_CLI NEW_CLI TREE_FOLDER [ROUNDS]
TREE_FOLDER holds src/ (bench/make_tree.py TREE_FOLDER/src 20000 500 0); a fresh target
folder t/ is made beside it for every full backup, so put it on tmpfs or a journalled ext4."""
import statistics
import subprocess
import sys
import time

old, new, tree = sys.argv[1:4]
rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 7
includes = " ".join(f"--include d{d:02}" for d in range(20))
builds = {"old": old, "new": new}
full = {name: [] for name in builds}
unchanged = {name: [] for name in builds}


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, shell=True, check=True)
    return time.perf_counter() - start


for _ in range(rounds):
    for name, cli in builds.items():
        subprocess.run(f"rm -rf {tree}/t && mkdir {tree}/t", shell=True, check=True)
        args = f"--source {tree}/src --target {tree}/t --summary-only {includes} --all-subfolders"
        full[name].append(timed(f"{cli} backup-all {args} >/dev/null"))
        unchanged[name].append(timed(f"{cli} backup-modified {args} >/dev/null"))
for name in builds:
    print(f"{name}: full backup median {statistics.median(full[name]):.3f} s, "
          f"nothing changed median {statistics.median(unchanged[name]):.3f} s")
print("new / old: full %.2f, nothing changed %.2f" % (
    statistics.median(full["new"]) / statistics.median(full["old"]),
    statistics.median(unchanged["new"]) / statistics.median(unchanged["old"])))
