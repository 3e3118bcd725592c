#!/usr/bin/env bash
# What it costs to flush the target's file system at the end of a backup: vantoro-cli
# (which flushes) against cp -a alone and cp -a followed by sync, interleaved runs into fresh
# folders on a loop-mounted ext4 with a journal, medians. Needs root for the loop mount.
# Run from the repository: bench/flush.sh   (ROUNDS=5 FILES=20000 by default)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/common.sh"
install_missing_packages e2fsprogs python3 linux-perf
VANTORO_BENCHMARKS=ON configure_and_build --target vantoro-cli
CLI="$BUILD_DIR/bin/vantoro-cli"
WORK=$(mktemp -d /var/tmp/vantoro-flush.XXXXXX)
cleanup() { umount "$WORK/mnt" 2>/dev/null || true; rm -rf "$WORK"; }
trap cleanup EXIT

truncate -s 4G "$WORK/disk.img"
mkfs.ext4 -q -F "$WORK/disk.img"
mkdir "$WORK/mnt"
mount -o loop "$WORK/disk.img" "$WORK/mnt"
echo "Building the tree on $(df -hT "$WORK/mnt" | awk 'NR==2{print $2}') ..."
python3 "$ROOT/bench/make_tree.py" "$WORK/mnt/src" "${FILES:-20000}" 500 2
sync

INCLUDES=$(for d in $(seq -w 0 19); do printf -- '--include d%s ' "$d"; done)
python3 - "$WORK/mnt" "${ROUNDS:-5}" <<PY
import re, statistics, subprocess, sys, time
mnt, rounds = sys.argv[1], int(sys.argv[2])
t = f"{mnt}/t"
commands = {
    "cp -a": f"cp -a {mnt}/src/. {t}/",
    "cp -a; sync": f"cp -a {mnt}/src/. {t}/ && sync",
    "vantoro-cli backup-all": f"$CLI backup-all --source {mnt}/src --target {t} --summary-only $INCLUDES --all-subfolders >/dev/null",
}
times = {name: [] for name in commands}
syncfs = []
for _ in range(rounds):
    for name, command in commands.items():  # interleaved: A B C A B C ...
        subprocess.run(f"rm -rf {t} && mkdir {t} && sync", shell=True, check=True)
        start = time.perf_counter()
        subprocess.run(command, shell=True, check=True)
        times[name].append(time.perf_counter() - start)
    # The flush inside vantoro-cli itself, timed by the kernel's own tracepoints (perf trace):
    # strace stops the program at every call and made the backup about ten times slower.
    subprocess.run(f"rm -rf {t} && mkdir {t} && sync", shell=True, check=True)
    subprocess.run(f"perf trace -e syncfs -o {mnt}/trace -- {commands['vantoro-cli backup-all']}",
                   shell=True, check=True)
    traced = open(f"{mnt}/trace").read()
    syncfs.append(sum(float(x) for x in re.findall(r"\( *([0-9.]+) ms\):.*syncfs\(", traced)) / 1000)
median = {name: statistics.median(values) for name, values in times.items()}
for name, value in median.items():
    print(f"{name:26} median {value:7.3f} s  runs " + " ".join(f"{v:.3f}" for v in times[name]))
print(f"flush cost (cp -a; sync minus cp -a): {median['cp -a; sync'] - median['cp -a']:.3f} s")
print(f"syncfs inside vantoro-cli: median {statistics.median(syncfs):.3f} s  runs " + " ".join(f"{v:.3f}" for v in syncfs))
print(f"vantoro-cli / (cp -a; sync): {median['vantoro-cli backup-all'] / median['cp -a; sync']:.2f}")
print(f"vantoro-cli / cp -a:         {median['vantoro-cli backup-all'] / median['cp -a']:.2f}")
PY
