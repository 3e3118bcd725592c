#!/usr/bin/env python3
"""vantoro-cli against the usual tools on one tree, interleaved runs, medians.
Usage: against_tools.py CLI TREE [ROUNDS]
TREE holds src/ (bench/make_tree.py TREE/src 20000 500 0) on the file system to measure
(tmpfs, or a journalled ext4 image); full backups go into fresh folders beside it."""
import statistics
import subprocess
import sys
import time

cli, tree = sys.argv[1:3]
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 7
includes = " ".join(f"--include d{d:02}" for d in range(20))
args = f"--summary-only {includes} --all-subfolders"


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, shell=True, check=True)
    return time.perf_counter() - start


def fresh():
    subprocess.run(f"rm -rf {tree}/t && mkdir {tree}/t && sync", shell=True, check=True)


full = {"cp -a": f"cp -a {tree}/src/. {tree}/t/",
        "cp -a; sync -f": f"cp -a {tree}/src/. {tree}/t/ && sync -f {tree}/t",
        "vantoro-cli backup-all": f"{cli} backup-all --source {tree}/src --target {tree}/t {args} >/dev/null"}
same = {"find both trees": f"find {tree}/src {tree}/t -printf '%s %T@\\n' >/dev/null",
        "rsync -a": f"rsync -a {tree}/src/ {tree}/t/",
        "vantoro-cli backup-modified": f"{cli} backup-modified --source {tree}/src --target {tree}/t {args} >/dev/null"}
times = {name: [] for name in list(full) + list(same)}
for _ in range(rounds):
    for name, command in full.items():
        fresh()
        times[name].append(timed(command))
    for name, command in same.items():  # the last full backup's target, nothing changed
        times[name].append(timed(command))
median = {name: statistics.median(values) for name, values in times.items()}
for name, value in median.items():
    print(f"{name:28} median {value:.3f} s")
v_full, v_same = median["vantoro-cli backup-all"], median["vantoro-cli backup-modified"]
print(f"full backup: {v_full / median['cp -a']:.2f} x cp -a, "
      f"{v_full / median['cp -a; sync -f']:.2f} x cp -a; sync -f")
print(f"nothing changed: {v_same / median['find both trees']:.2f} x find, "
      f"{v_same / median['rsync -a']:.2f} x rsync -a")
