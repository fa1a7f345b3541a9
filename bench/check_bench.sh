#!/bin/sh
# Check over the kernel tree, and over its kernel/ folder beside GNU indent
# (one process per file) and vera++ on the same files in the same run.
. "$(dirname "$0")/common.sh"
apt_need indent vera++ time
ensure_trees
build_release

set -f
SET="--set SousRepertoire=1 --mask *.c --mask *.h --color never"

# Warm the page cache so every tool reads from memory.
find "$KERNEL" -type f \( -name '*.c' -o -name '*.h' \) -print0 | xargs -0 cat >/dev/null

echo "== whole kernel tree"
lines=$(find "$KERNEL" -type f \( -name '*.c' -o -name '*.h' \) -print0 | count_lines)
best_of 3 "$CLI" $SET check "$KERNEL"
echo "vantor-cli check: $lines lines, ${SECS}s, $(rate $lines $SECS) lines/s, peak ${PEAK_KB} KB"

echo "== kernel/ folder, same files for every tool"
K=$KERNEL/kernel
lines=$(find "$K" -type f \( -name '*.c' -o -name '*.h' \) -print0 | count_lines)
best_of 5 "$CLI" $SET check "$K"; v=$SECS; vk=$PEAK_KB
best_of 3 sh -c "find '$K' -type f \( -name '*.c' -o -name '*.h' \) -exec indent -st {} \; "; i=$SECS
timed sh -c "find '$K' -type f \( -name '*.c' -o -name '*.h' \) -print0 | xargs -0 vera++"; w=$SECS
best_of 3 sh -c "find '$K' -type f \( -name '*.c' -o -name '*.h' \) -print0 | xargs -0 cat"; c=$SECS
vr=$(rate $lines $v); ir=$(rate $lines $i); wr=$(rate $lines $w); cr=$(rate $lines $c)
echo "lines: $lines"
echo "vantor-cli check: ${v}s, $vr lines/s, peak ${vk} KB"
echo "indent (per file): ${i}s, $ir lines/s"
echo "vera++:            ${w}s, $wr lines/s"
echo "cat:               ${c}s, $cr lines/s"
echo "ratio vantor/indent: $(ratio $vr $ir)x   vantor/vera++: $(ratio $vr $wr)x   vantor/cat: $(ratio $vr $cr)x"
