#!/usr/bin/env bash
# Measures vantoro-cli against cp -a, rsync -a and find on a deterministic tree, and writes
# the table into bench/README.md. Run from the repository: bench/run.sh  (takes minutes).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/common.sh"
install_missing_packages hyperfine rsync time python3
configure_and_build --target vantoro-cli
CLI="$BUILD_DIR/bin/vantoro-cli"
BASE=$(mktemp -d /var/tmp/vantoro-bench.XXXXXX)
FILES=${BENCH_FILES:-100000}
WORK=$BASE
# Full backups go into fresh folders on a journalled ext4 image (as root); the previous
# target is moved aside, never deleted during the run, because a copy made right after a
# mass delete measures the kernel's inode allocator more than the tools.
if [ "$(id -u)" -eq 0 ]; then
  install_missing_packages e2fsprogs
  truncate -s 24G "$BASE/disk.img"
  mkfs.ext4 -q -F -i 4096 "$BASE/disk.img" # room for every moved-aside copy's inodes
  mkdir "$BASE/mnt"
  mount -o loop "$BASE/disk.img" "$BASE/mnt"
  WORK=$BASE/mnt
fi
trap 'umount "$BASE/mnt" 2>/dev/null || true; rm -rf "$BASE"' EXIT
FS=$(df -hT "$WORK" | awk 'NR==2{print $2}')

echo "Building the trees in $WORK ..."
python3 "$ROOT/bench/make_tree.py" "$WORK/src" "$FILES" 500 3
python3 "$ROOT/bench/make_tree.py" "$WORK/src10k" 10000 500 0
sync

INCLUDES=$(for d in $(seq -w 0 19); do printf -- '--include d%s ' "$d"; done)
json() { hyperfine --style none --warmup 1 --runs "${RUNS:-3}" --export-json "$WORK/$1.json" "${@:2}" >/dev/null; }
mean() { python3 -c "import json,sys; r=json.load(open('$WORK/$1.json'))['results']; print(' '.join('%.3f' % x['mean'] for x in r))"; }

echo "Full backup into a fresh folder ..."
FRESH="mv $WORK/t $WORK/old.\$(date +%s%N) 2>/dev/null; mkdir $WORK/t; sync"
json full \
  --prepare "$FRESH" "cp -a $WORK/src/. $WORK/t/" \
  --prepare "$FRESH" "cp -a $WORK/src/. $WORK/t/ && sync -f $WORK/t" \
  --prepare "$FRESH" "rsync -a $WORK/src/ $WORK/t/" \
  --prepare "$FRESH" "$CLI backup-all --source $WORK/src --target $WORK/t --summary-only $INCLUDES --all-subfolders"
read -r full_cp full_cpsync full_rsync full_v <<<"$(mean full)"
rm -rf "$WORK"/old.*

echo "Backup of new and modified with nothing changed ..."
rm -rf "$WORK/t"; mkdir "$WORK/t"; cp -a "$WORK/src/." "$WORK/t/"
json nochange \
  "rsync -a $WORK/src/ $WORK/t/" \
  "find $WORK/src $WORK/t -printf '%s %T@\n' > /dev/null" \
  "$CLI backup-modified --source $WORK/src --target $WORK/t --summary-only $INCLUDES --all-subfolders"
read -r nc_rsync nc_find nc_v <<<"$(mean nochange)"

echo "Check with 1% of the files touched ..."
find "$WORK/src" -name 'file*00.dat' -print0 | head -z -n $((FILES / 100)) | xargs -0 touch
json check \
  "rsync -a --dry-run $WORK/src/ $WORK/t/" \
  "$CLI check --source $WORK/src --target $WORK/t --summary-only $INCLUDES --all-subfolders"
read -r ck_rsync ck_v <<<"$(mean check)"

echo "Peak memory ..."
rm -rf "$WORK/t10k"; mkdir "$WORK/t10k"; cp -a "$WORK/src10k/." "$WORK/t10k/"
rss() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }
mem10k=$(rss "$CLI" backup-modified --source "$WORK/src10k" --target "$WORK/t10k" --summary-only $INCLUDES --all-subfolders)
mem100k=$(rss "$CLI" backup-modified --source "$WORK/src" --target "$WORK/t" --summary-only $INCLUDES --all-subfolders)

ratio() { python3 -c "print('%.2f' % ($1 / $2))"; }
TABLE=$(cat <<TABLE
| measure | vantoro-cli | anchor | ratio | goal |
|---|---|---|---|---|
| full backup, $FILES files + 3 large, fresh folder | ${full_v} s | cp -a ${full_cp} s | $(ratio "$full_v" "$full_cp") | at most 1.1 |
| full backup (flushes at the end) | ${full_v} s | cp -a; sync -f ${full_cpsync} s | $(ratio "$full_v" "$full_cpsync") | |
| full backup | ${full_v} s | rsync -a ${full_rsync} s | $(ratio "$full_v" "$full_rsync") | |
| backup-modified, nothing changed | ${nc_v} s | rsync -a ${nc_rsync} s | $(ratio "$nc_v" "$nc_rsync") | at most 0.7 |
| backup-modified, nothing changed | ${nc_v} s | find both trees ${nc_find} s | $(ratio "$nc_v" "$nc_find") | (the floor) |
| check, 1% touched | ${ck_v} s | rsync -a --dry-run ${ck_rsync} s | $(ratio "$ck_v" "$ck_rsync") | |
| peak memory, 10,000 files | $((mem10k / 1024)) MB | | | under 64 MB |
| peak memory, $FILES files | $((mem100k / 1024)) MB | | | same as at 10,000 |
TABLE
)
echo "$TABLE"
python3 - "$ROOT/bench/README.md" "$TABLE" "$(date -u '+%Y-%m-%d %H:%M UTC')" "$(nproc) cores, $(free -g | awk '/Mem:/{print $2}') GiB, $(uname -r), load $(cut -d' ' -f1 /proc/loadavg), trees on $FS$([ "$WORK" != "$BASE" ] && echo ' (a loop-mounted image with a journal)')" <<'PY'
import re, sys
path, table, when, machine = sys.argv[1:5]
text = open(path).read()
block = f"<!-- results -->\nMeasured {when} on {machine}.\n\n{table}\n<!-- /results -->"
text = re.sub(r"<!-- results -->.*<!-- /results -->", lambda m: block, text, flags=re.S)
open(path, "w").write(text)
PY
