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

# Each run gets a copy of its own in a new folder; the copies go only at the
# end, so that no run pays for freeing the blocks of an earlier one. Nothing is
# deleted during the runs: ext4 without a journal passes over the inodes of
# files deleted in the last minutes when it makes new ones, which slows every
# tool that writes files. For the same reason, let a few minutes pass after an
# earlier run of this benchmark (or any large deletion) before starting it.
copies=0
fresh_copy() {
  copies=$((copies + 1))
  TREE=$WORK/tree$copies
  mkdir -p "$TREE"
  (cd "$SRC" && find . -type f \( -name '*.c' -o -name '*.h' \) -print0 | tar --null -T - -cf -) |
    tar -xf - -C "$TREE"
  sync
}

# Like `timed`, also keeps the CPU time: user USR, system SYS. The figures
# are on the last line (a failing command adds a line before them: indent
# and astyle give up on a few kernel files and say so).
timed_cpu() {
  /usr/bin/time -f "%e %U %S %M" -o "$WORK/time" taskset -c 0 "$@" >/dev/null 2>&1 || true
  set -- $(tail -n 1 "$WORK/time")
  SECS=$1; USR=$2; SYS=$3; PEAK_KB=$4
  CPU="${USR}s user + ${SYS}s system"
}

fresh_copy
lines=$(find "$TREE" -type f -print0 | count_lines)
files=$(find "$TREE" -type f | wc -l)
echo "== $SRC: $files files, $lines lines"

apply_cmd() { echo "$CLI --color never --set SousRepertoire=1 --mask *.c --mask *.h apply $TREE"; }
timed_cpu $(apply_cmd)
v=$SECS; vc=$CPU; vk=$PEAK_KB; vu=$USR
rewritten=$(find "$TREE" -name '*.bak' | wc -l)
# Again on the rewritten tree: every file read and reformatted, none written
# (the ".bak" files match no mask).
timed_cpu $(apply_cmd)
e=$SECS; ec=$CPU
# For comparison only: the same first run without the flush to disk that the
# pipeline makes before it swaps each rewritten file in (fsync and syncfs
# made no-ops).
printf 'int fsync(int f) { (void)f; return 0; }\nint syncfs(int f) { (void)f; return 0; }\n' > "$WORK/nofsync.c"
nf=""
if cc -shared -fPIC -o "$WORK/nofsync.so" "$WORK/nofsync.c" 2>/dev/null; then
  fresh_copy
  timed_cpu env LD_PRELOAD="$WORK/nofsync.so" $(apply_cmd)
  nf=$SECS; nfc=$CPU
fi

fresh_copy
timed_cpu sh -c "find '$TREE' -type f -print0 | xargs -0 indent"
i=$SECS; ic=$CPU

fresh_copy
timed_cpu sh -c "find '$TREE' -type f -print0 | xargs -0 astyle -q"
a=$SECS; ac=$CPU

vr=$(rate $lines $v); ir=$(rate $lines $i); ar=$(rate $lines $a)
best=$ir; [ "$ar" -gt "$ir" ] && best=$ar
echo "vantor-cli apply: ${v}s wall ($vc), $vr lines/s, $rewritten files rewritten, peak ${vk} KB"
echo "  same, nothing left to rewrite: ${e}s wall ($ec), $(rate $lines $e) lines/s"
echo "  engine alone (user time of the first run): $(rate $lines $vu) lines/s"
[ -n "$nf" ] && echo "  first run without fsync: ${nf}s wall ($nfc), $(rate $lines $nf) lines/s, $(ratio $(rate $lines $nf) $best)x the faster peer"
echo "indent:           ${i}s wall ($ic), $ir lines/s"
echo "astyle:           ${a}s wall ($ac), $ar lines/s"
echo "ratio vantor/indent: $(ratio $vr $ir)x   vantor/astyle: $(ratio $vr $ar)x   vantor/faster peer: $(ratio $vr $best)x"
