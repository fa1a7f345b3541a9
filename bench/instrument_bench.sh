#!/bin/sh
# Instrument over the kernel tree into a temporary folder, and analyse of a
# 200 MB memory-image trace holding thousands of coverage tables.
. "$(dirname "$0")/common.sh"
apt_need time gcc
ensure_trees
build_release

set -f
# The copies go to memory when it can hold them: the figure is the tool's,
# not the file system's (ext4 spends more time creating 70,000 files than the
# engine spends on their lines).
if [ -d /dev/shm ] && [ "$(df -Pm /dev/shm | awk 'NR == 2 { print $4 }')" -gt 4096 ]; then
  WORK=$(mktemp -d -p /dev/shm)
else
  WORK=$(mktemp -d)
fi
trap 'rm -rf "$WORK"' EXIT

# Warm the page cache so the run reads from memory.
find "$KERNEL" -type f \( -name '*.c' -o -name '*.h' \) -print0 | xargs -0 cat >/dev/null

echo "== instrument: whole kernel tree"
lines=$(find "$KERNEL" -type f \( -name '*.c' -o -name '*.h' \) -print0 | count_lines)
timed "$CLI" --set SousRepertoire=1 --mask '*.c' --mask '*.h' --color never \
  --pragma-before '__attribute__((section("vantor_cov"),used))' instrument "$KERNEL" -o "$WORK/inst"
out=$(du -sm "$WORK/inst" | cut -f1)
echo "vantor-cli instrument: $lines lines, ${SECS}s, $(rate $lines $SECS) lines/s, peak ${PEAK_KB} KB, ${out} MB written"
rm -rf "$WORK/inst"

echo "== analyse: 200 MB memory-image trace"
cc -O2 -o "$WORK/make_trace" "$REPO/bench/make_trace.c"
mkdir -p "$WORK/traces"
# All blocks run: the time is the reading and merging. One block in ten not
# run: the report then lists about two million blocks, and printing them
# weighs as much as the reading.
for notrun in 0 10; do
  "$WORK/make_trace" "$WORK/traces/big.cov" 200 $notrun >/dev/null
  bytes=$(stat -c %s "$WORK/traces/big.cov")
  cat "$WORK/traces/big.cov" >/dev/null
  timed "$CLI" --color never analyse "$WORK/traces"
  mb=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')
  echo "vantor-cli analyse, ${notrun}% of blocks not run: ${mb} MB, ${SECS}s, $(rate $mb $SECS) MB/s, peak ${PEAK_KB} KB"
done
