#!/usr/bin/env python3
"""Times vantoro-cli (with its threads and with VANTORO_THREADS=1) against cp, sync, rsync
and find on trees in WORK, in interleaved rounds (A B C A B C ...), and prints medians and
a Markdown table. Full backups go into a fresh folder each time (the previous target is
moved aside, not deleted, until the end of the rounds).
Usage: measure.py WORK CLI FILES ROUNDS [MILLION]   (MILLION=1 adds the 1,000,000-file line)"""
import os
import shutil
import statistics
import subprocess
import sys
import time

work, cli, files, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
million = len(sys.argv) > 5 and sys.argv[5] == "1"
here = os.path.dirname(os.path.abspath(__file__))


def sh(command):
    subprocess.run(command, shell=True, check=True, executable="/bin/bash",
                   stdout=subprocess.DEVNULL)


def timed(command):
    start = time.perf_counter()
    sh(command)
    return time.perf_counter() - start


def make_tree(name, count, folders, big, kind=""):
    path = f"{work}/{name}"
    if not os.path.isdir(path):
        sh(f"python3 {here}/make_tree.py {path} {count} {folders} {big} {kind}")
    return path


def vantoro(operation, src, tgt, serial=False, everything=False):
    # The random tree's folder names are not fit for a command line: --all takes them all.
    includes = "--all" if everything else " ".join(
        f"--include {d}" for d in sorted(os.listdir(src)) if os.path.isdir(os.path.join(src, d)))
    env = "VANTORO_THREADS=1 " if serial else ""
    tail = "" if everything else " --all-subfolders"
    return (f"{env}{cli} {operation} --source {src} --target {tgt} --summary-only "
            f"{includes}{tail} >/dev/null")


def rounds_of(commands, prepare=None, count=rounds):
    times = {name: [] for name in commands}
    for name, command in commands.items():  # a warm-up round: caches as in every other
        if prepare:
            prepare()
        sh(command)
    for _ in range(count):
        for name, command in commands.items():
            if prepare:
                prepare()
            times[name].append(timed(command))
    return {name: statistics.median(values) for name, values in times.items()}


def peak_kb(command):
    out = subprocess.run(f"/usr/bin/time -f %M bash -c '{command}' 2>&1 >/dev/null | tail -n 1",
                         shell=True, check=True, capture_output=True, text=True).stdout
    return int(out.strip().splitlines()[-1])


src = make_tree("src", files, 500, 3)
src10k = make_tree("src10k", 10000, 500, 0)
sh("sync")
target = f"{work}/t"
aside = [0]


def fresh(folder=target):
    if os.path.exists(folder):
        aside[0] += 1
        os.rename(folder, f"{work}/old.{aside[0]}")
    os.mkdir(folder)
    sh("sync")


print("full backups ...", flush=True)
full = rounds_of({
    "cp": f"cp -a {src}/. {target}/",
    "cpsync": f"cp -a {src}/. {target}/ && sync -f {target}",
    "rsync": f"rsync -a {src}/ {target}/",
    "vantoro": vantoro("backup-all", src, target),
    "serial": vantoro("backup-all", src, target, serial=True),
}, prepare=fresh)
sh(f"rm -rf {work}/old.*")

print("nothing changed ...", flush=True)
fresh()
sh(f"cp -a {src}/. {target}/")
unchanged = rounds_of({
    "rsync": f"rsync -a {src}/ {target}/",
    "find": f"find {src} {target} -printf '%s %T@\\n' >/dev/null",
    "vantoro": vantoro("backup-modified", src, target),
    "serial": vantoro("backup-modified", src, target, serial=True),
})

print("check with 1% touched ...", flush=True)
sh(f"find {src} -name 'file*00.dat' -print0 | head -z -n {files // 100} | xargs -0 touch")
check = rounds_of({
    "rsync": f"rsync -a --dry-run {src}/ {target}/",
    "vantoro": vantoro("check", src, target),
    "serial": vantoro("check", src, target, serial=True),
})

print("verify ...", flush=True)
# Contents compared on the whole tree (the copy above; the touched files differ in time only).
verify = rounds_of({
    "rsync": f"rsync -a --checksum --dry-run {src}/ {target}/",
    "vantoro": vantoro("verify", src, target),
    "serial": vantoro("verify", src, target, serial=True),
})
# The three large files alone (the source folder's own files), read from the disk: the page
# cache is dropped before every command (root only).
bigs = sorted(name for name in os.listdir(src) if name.startswith("big"))
# The programs themselves are loaded again after the drop (Qt's libraries are megabytes that
# cat and cmp do not need): the comparison is of reading the files.
cold = (lambda: sh(f"sync; echo 3 > /proc/sys/vm/drop_caches; cat --version; cmp --version; "
                   f"{cli} --version")) if os.geteuid() == 0 else None
only_own = (f"{cli} verify --source {src} --target {target} --top-only --summary-only >/dev/null")
large = rounds_of({
    "cmp": " && ".join(f"cmp {src}/{b} {target}/{b}" for b in bigs),
    "cat": "cat " + " ".join(f"{src}/{b} {target}/{b}" for b in bigs) + " >/dev/null",
    "vantoro": only_own,
    "serial": "VANTORO_THREADS=1 " + only_own,
}, prepare=cold, count=max(rounds, 11))  # reads from this disk swing by 2x: more rounds

print("random tree ...", flush=True)
# Random names, sizes and places (a fixed seed): no tool gets the plain tree's neat order.
rsrc = make_tree("random", files, 500, 0, "random")
rtarget = f"{work}/rt"
rfull = rounds_of({
    "rsync": f"rsync -a {rsrc}/ {rtarget}/",
    "vantoro": vantoro("backup-all", rsrc, rtarget, everything=True),
}, prepare=lambda: fresh(rtarget))
sh(f"rm -rf {work}/old.*")
fresh(rtarget)
sh(f"cp -a {rsrc}/. {rtarget}/")
runchanged = rounds_of({
    "rsync": f"rsync -a {rsrc}/ {rtarget}/",
    "vantoro": vantoro("backup-modified", rsrc, rtarget, everything=True),
})
rverify = rounds_of({
    "rsync": f"rsync -a --checksum --dry-run {rsrc}/ {rtarget}/",
    "vantoro": vantoro("verify", rsrc, rtarget, everything=True),
})

print("peak memory ...", flush=True)
t10k = f"{work}/t10k"
shutil.rmtree(t10k, ignore_errors=True)
sh(f"mkdir {t10k} && cp -a {src10k}/. {t10k}/")
mem10k = peak_kb(vantoro("backup-modified", src10k, t10k))
mem = peak_kb(vantoro("backup-modified", src, target))

rows = []
def row(measure, v, serial, anchor_name, anchor, goal=""):
    serial_text = f"{serial:.3f} s" if serial is not None else ""
    rows.append(f"| {measure} | {v:.3f} s | {serial_text} | {anchor_name} {anchor:.3f} s "
                f"| {v / anchor:.2f} | {goal} |")

row(f"full backup, {files} files + 3 large, fresh folder", full["vantoro"], full["serial"],
    "cp -a", full["cp"])
row("full backup (vantoro-cli flushes at its end)", full["vantoro"], full["serial"],
    "cp -a; sync -f", full["cpsync"], "at most 0.7")
row("full backup", full["vantoro"], full["serial"], "rsync -a", full["rsync"])
row("backup-modified, nothing changed", unchanged["vantoro"], unchanged["serial"], "rsync -a",
    unchanged["rsync"], "at most 0.5")
row("backup-modified, nothing changed", unchanged["vantoro"], unchanged["serial"],
    "find both trees", unchanged["find"])
row("check, 1% touched", check["vantoro"], check["serial"], "rsync -a --dry-run", check["rsync"])
row(f"verify, {files} files + 3 large", verify["vantoro"], verify["serial"],
    "rsync -a --checksum --dry-run", verify["rsync"], "at most 1.0")
cache = "cold cache" if cold else "warm cache"
row(f"verify, the 3 large files ({cache})", large["vantoro"], large["serial"],
    "cmp of each pair", large["cmp"])
row(f"verify, the 3 large files ({cache})", large["vantoro"], large["serial"],
    "cat of all six to /dev/null", large["cat"], "at most 1.11 (90 % of the read rate)")
row(f"full backup, random tree of {files} files", rfull["vantoro"], None, "rsync -a",
    rfull["rsync"])
row("backup-modified, nothing changed, random tree", runchanged["vantoro"], None, "rsync -a",
    runchanged["rsync"], "at most 0.5")
row("verify, random tree", rverify["vantoro"], None, "rsync -a --checksum --dry-run",
    rverify["rsync"], "at most 0.75")
rows.append(f"| peak memory, 10,000 files | {mem10k // 1024} MB | | | | under 64 MB |")
rows.append(f"| peak memory, {files} files | {mem // 1024} MB | | | | same as at 10,000 |")

if million:
    print("1,000,000 files ...", flush=True)
    src1m = make_tree("src1m", 1_000_000, 5000, 0)
    t1m = f"{work}/t1m"
    if not os.path.isdir(t1m):
        sh(f"mkdir {t1m} && cp -a {src1m}/. {t1m}/")
    sh("sync")
    big = rounds_of({"vantoro": vantoro("backup-modified", src1m, t1m),
                     "find": f"find {src1m} {t1m} -printf '%s %T@\\n' >/dev/null"}, count=3)
    mem1m = peak_kb(vantoro("backup-modified", src1m, t1m))
    rows.append(f"| backup-modified, nothing changed, 1,000,000 files in 5,000 folders "
                f"| {big['vantoro']:.3f} s | | find both trees {big['find']:.3f} s "
                f"| {big['vantoro'] / big['find']:.2f} | linear: "
                f"{big['vantoro'] / unchanged['vantoro'] * files / 1_000_000:.2f} x the "
                f"{files}-file time per file |")
    rows.append(f"| peak memory, 1,000,000 files | {mem1m // 1024} MB | | | | under 64 MB |")

header = ("| measure | vantoro-cli | serial engine | anchor | ratio | goal |\n"
          "|---|---|---|---|---|---|")
print(header + "\n" + "\n".join(rows))
