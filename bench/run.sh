#!/usr/bin/env bash
# Measures vantoro-cli against cp -a, rsync -a and find on a deterministic tree, and writes
# the table into bench/README.md. Run from the repository: bench/run.sh  (takes minutes).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/common.sh"
install_missing_packages rsync time python3
VANTORO_BENCHMARKS=ON configure_and_build --target vantoro-cli
CLI="$BUILD_DIR/bin/vantoro-cli"
BASE=$(mktemp -d /var/tmp/vantoro-bench.XXXXXX)
FILES=${BENCH_FILES:-100000}
WORK=$BASE
# Full backups go into fresh folders on a journalled ext4 image (as root); the previous
# target is moved aside, never deleted during the run, because a copy made right after a
# mass delete measures the kernel's inode allocator more than the tools.
if [ "$(id -u)" -eq 0 ]; then
  install_missing_packages e2fsprogs
  truncate -s 40G "$BASE/disk.img"
  # Tables made now, not zeroed in the background during the runs; room for every
  # moved-aside copy's inodes.
  mkfs.ext4 -q -F -i 4096 -E lazy_itable_init=0,lazy_journal_init=0 "$BASE/disk.img"
  mkdir "$BASE/mnt"
  mount -o loop "$BASE/disk.img" "$BASE/mnt"
  WORK=$BASE/mnt
fi
trap 'umount "$BASE/mnt" 2>/dev/null || true; rm -rf "$BASE"' EXIT
FS=$(df -hT "$WORK" | awk 'NR==2{print $2}')

ROUNDS=${ROUNDS:-5}
echo "Measuring in $WORK, $ROUNDS interleaved rounds ..."
TABLE=$(python3 "$ROOT/bench/measure.py" "$WORK" "$CLI" "$FILES" "$ROUNDS" "${BENCH_MILLION:-0}" | sed -n '/^| measure/,$p')
echo "$TABLE"
python3 - "$ROOT/bench/README.md" "$TABLE" "$(date -u '+%Y-%m-%d %H:%M UTC')" "$(nproc) cores, $(free -g | awk '/Mem:/{print $2}') GiB, $(uname -r), load $(cut -d' ' -f1 /proc/loadavg), trees on $FS$([ "$WORK" != "$BASE" ] && echo ' (a loop-mounted image with a journal)')" <<'PY'
import re, sys
path, table, when, machine = sys.argv[1:5]
text = open(path).read()
block = f"<!-- results -->\nMeasured {when} on {machine}.\n\n{table}\n<!-- /results -->"
text = re.sub(r"<!-- results -->.*<!-- /results -->", lambda m: block, text, flags=re.S)
open(path, "w").write(text)
PY
