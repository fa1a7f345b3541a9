#!/bin/sh
# Apply over a copy of the kernel tree (*.c, *.h), beside GNU indent and
# astyle rewriting the same files in place, in the same run, each tool on a
# fresh copy of its own and pinned to one core.
# Usage: bench/apply_bench.sh [SUBFOLDER]   (default: the whole tree)
. "$(dirname "$0")/common.sh"
apt_need indent astyle time
ensure_trees
build_release

SRC=$KERNEL${1:+/$1}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vantor-apply-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM
set -f

fresh_copy() {
  rm -rf "$WORK/tree"; mkdir -p "$WORK/tree"
  (cd "$SRC" && find . -type f \( -name '*.c' -o -name '*.h' \) -print0 | tar --null -T - -cf -) |
    tar -xf - -C "$WORK/tree"
  sync
}

# Like `timed`, also keeps the CPU time (user + system) in CPU.
timed_cpu() {
  /usr/bin/time -f "%e %U %S %M" -o "$WORK/time" taskset -c 0 "$@" >/dev/null 2>&1 || true
  read SECS USR SYS PEAK_KB < "$WORK/time"
  CPU=$(awk -v u="$USR" -v s="$SYS" 'BEGIN { printf "%.2f", u + s }')
}

fresh_copy
lines=$(find "$WORK/tree" -type f -print0 | count_lines)
files=$(find "$WORK/tree" -type f | wc -l)
echo "== $SRC: $files files, $lines lines"

timed_cpu "$CLI" --color never --set SousRepertoire=1 --mask '*.c' --mask '*.h' apply "$WORK/tree"
v=$SECS; vc=$CPU; vk=$PEAK_KB
rewritten=$(find "$WORK/tree" -name '*.bak' | wc -l)

fresh_copy
timed_cpu sh -c "find '$WORK/tree' -type f -print0 | xargs -0 indent"
i=$SECS; ic=$CPU

fresh_copy
timed_cpu sh -c "find '$WORK/tree' -type f -print0 | xargs -0 astyle -q"
a=$SECS; ac=$CPU

vr=$(rate $lines $v); ir=$(rate $lines $i); ar=$(rate $lines $a)
best=$ir; [ "$ar" -gt "$ir" ] && best=$ar
echo "vantor-cli apply: ${v}s wall, ${vc}s CPU, $vr lines/s, $rewritten files rewritten, peak ${vk} KB"
echo "indent:           ${i}s wall, ${ic}s CPU, $ir lines/s"
echo "astyle:           ${a}s wall, ${ac}s CPU, $ar lines/s"
echo "ratio vantor/indent: $(ratio $vr $ir)x   vantor/astyle: $(ratio $vr $ar)x   vantor/faster peer: $(ratio $vr $best)x"
