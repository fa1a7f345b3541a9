#!/bin/sh
# Search for a dictionary of 50 names over the kernel tree, whole-token and
# sub-string, beside ripgrep with the same names in the same run; then
# Design over the whole kernel tree. One core each.
. "$(dirname "$0")/common.sh"
apt_need ripgrep time
ensure_trees
build_release

# 50 names that kernel code uses a lot, in every letter case they are written.
NAMES="kfree kmalloc kzalloc kcalloc vfree mutex_lock mutex_unlock spin_lock spin_unlock
spin_lock_irqsave spin_unlock_irqrestore list_for_each_entry list_add_tail list_del memcpy
memset printk pr_err pr_info pr_debug dev_err dev_warn dev_info dev_dbg EINVAL ENOMEM EFAULT
EBUSY ENODEV EIO ARRAY_SIZE BUG_ON WARN_ON unlikely likely container_of copy_from_user
copy_to_user atomic_inc atomic_dec jiffies msleep udelay readl writel ioremap iounmap
devm_kzalloc IS_ERR PTR_ERR"

DICT=""
RG_NAMES=""
n=0
for name in $NAMES; do
  n=$((n + 1))
  DICT="$DICT --dict $name=vantor_bench_$n"
  RG_NAMES="$RG_NAMES -e $name"
done
[ "$n" = 50 ] || { echo "the dictionary must hold 50 names, it holds $n"; exit 1; }

# Like timed, and CPU as well: CPU (user + system seconds) is what one core
# gave the tool, whatever else the machine was running at the time.
timed_cpu() {
  /usr/bin/time -f "%e %M %U %S" -o /tmp/vantor-bench-time taskset -c 0 "$@" >/dev/null 2>&1 || true
  # time writes a "Command exited with non-zero status" line first when the tool
  # reports findings (Search exits 1 on a match)
  read SECS PEAK_KB USR SYS <<EOF_TIME
$(tail -n 1 /tmp/vantor-bench-time)
EOF_TIME
  CPU=$(awk -v u="$USR" -v s="$SYS" 'BEGIN { printf "%.2f", u + s }')
}

set -f
SET="--set SousRepertoire=1 --mask *.c --mask *.h --color never"
# ripgrep on the same files: every *.c and *.h, .gitignore files not obeyed,
# hidden files skipped as the walk skips them.
RG="rg -j1 --no-ignore --iglob *.c --iglob *.h"

files() { find "$KERNEL" -name '.*' -prune -o -type f \( -name '*.c' -o -name '*.h' \) -print0; }
files | xargs -0 cat >/dev/null  # warm the page cache
lines=$(files | count_lines)
echo "== kernel tree, $lines lines, 50 names"

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) (times are wall seconds; cpu = user + system)"
timed_cpu "$CLI" $SET $DICT search "$KERNEL"; w=$SECS; wk=$PEAK_KB; wc=$CPU
timed_cpu "$CLI" $SET $DICT --substring search "$KERNEL"; s=$SECS; sk=$PEAK_KB; sc=$CPU
timed_cpu $RG -w $RG_NAMES "$KERNEL"; r=$SECS; rc=$CPU
timed_cpu $RG -w -i $RG_NAMES "$KERNEL"; ri=$SECS; ric=$CPU
timed_cpu $RG -F $RG_NAMES "$KERNEL"; rf=$SECS; rfc=$CPU
# Rates by CPU time: on a shared machine the wall clock also counts the
# other processes on core 0; the wall figures are printed beside them.
wr=$(rate $lines $wc); sr=$(rate $lines $sc); rr=$(rate $lines $rc); rir=$(rate $lines $ric); rfr=$(rate $lines $rfc)
matches=$("$CLI" $SET $DICT search "$KERNEL" | grep -c '^[0-9][0-9][0-9][0-9]:' || true)
rgmatches=$($RG -w -i -o $RG_NAMES "$KERNEL" | wc -l)
echo "vantor-cli search (whole token): cpu ${wc}s, $wr lines/s (wall ${w}s), peak ${wk} KB, $matches matches listed"
echo "vantor-cli search --substring:   cpu ${sc}s, $sr lines/s (wall ${s}s), peak ${sk} KB"
echo "rg -j1 -w:                       cpu ${rc}s, $rr lines/s (wall ${r}s)"
echo "rg -j1 -w -i (same case rule):   cpu ${ric}s, $rir lines/s (wall ${ri}s), $rgmatches matches"
echo "rg -j1 -F (sub-strings):         cpu ${rfc}s, $rfr lines/s (wall ${rf}s)"
echo "ratio (cpu) whole-token/rg -w: $(ratio $wr $rr)x   whole-token/rg -w -i: $(ratio $wr $rir)x   substring/rg -F: $(ratio $sr $rfr)x"

# Design writes about twice the tree's size in pages; a memory file system
# keeps the disk's inode allocation out of the figure when there is one.
if [ -z "$DESIGN_OUT" ]; then
  if [ -d /dev/shm ]; then DESIGN_OUT=$(mktemp -d /dev/shm/vantor-design.XXXXXX); else DESIGN_OUT=$(mktemp -d); fi
  trap 'rm -rf "$DESIGN_OUT"' EXIT
else
  trap 'rm -rf "$DESIGN_OUT/pages"' EXIT
fi
echo "== design over the kernel tree into $DESIGN_OUT"
timed_cpu "$CLI" $SET design "$KERNEL" -o "$DESIGN_OUT/pages"; d=$SECS; dk=$PEAK_KB; dc=$CPU
dr=$(rate $lines $d); drc=$(rate $lines $dc)
echo "vantor-cli design: ${d}s, $dr lines/s; cpu ${dc}s, $drc lines/s; peak ${dk} KB, pages $(du -sh "$DESIGN_OUT/pages" | cut -f1)"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v r="$dr" -v c="$drc" 'BEGIN { printf "design target (1M lines/s on one core): wall %s, cpu %s\n", (r >= 1000000) ? "met" : "NOT met", (c >= 1000000) ? "met" : "NOT met" }'
