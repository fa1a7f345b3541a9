#!/bin/sh
# apply --check over the kernel tree beside plain Check in the same run, one
# core each, best of 3: the CI gate must cost no more than the Check it sits
# beside. Also counts the files it names against a real Apply of a copy.
. "$(dirname "$0")/common.sh"
apt_need time
ensure_trees
build_release

set -f
SET="--set SousRepertoire=1 --mask *.c --mask *.h --color never"
find "$KERNEL" -type f \( -name '*.c' -o -name '*.h' \) -print0 | xargs -0 cat >/dev/null
lines=$(find "$KERNEL" -type f \( -name '*.c' -o -name '*.h' \) -print0 | count_lines)
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
best_of 3 "$CLI" $SET check "$KERNEL"; c=$SECS
best_of 3 "$CLI" $SET apply --check "$KERNEL"; a=$SECS; ak=$PEAK_KB
cr=$(rate $lines $c); ar=$(rate $lines $a)
echo "lines: $lines"
echo "vantor-cli check:         ${c}s, $cr lines/s"
echo "vantor-cli apply --check: ${a}s, $ar lines/s, peak ${ak} KB"
echo "ratio apply --check / check: $(ratio $ar $cr)x"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

# The files it names are those a real Apply of a copy changes, byte for byte.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$KERNEL/kernel" "$work/k"
"$CLI" $SET apply --check "$work/k" | sort >"$work/listed" || true
"$CLI" $SET apply "$work/k" >/dev/null || true
find "$work/k" -name '*.bak' | while read -r b; do cmp -s "$b" "${b%.bak}" || echo "${b%.bak}"; done | sort >"$work/changed"
if cmp -s "$work/listed" "$work/changed"; then
  echo "kernel/: apply --check named the $(wc -l <"$work/changed") files Apply changed, and no other"
else
  echo "kernel/: apply --check and Apply DISAGREE:"; diff "$work/listed" "$work/changed" | head
  exit 1
fi
