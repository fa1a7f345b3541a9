#!/bin/sh
# Guarantee: whole-token Replace changes nothing but the matched names. On a
# copy of the kernel tree, OLD is replaced by NEW (a name found nowhere in
# the tree) and NEW back by OLD: every file must come back byte for byte.
# Exit 0 when it does, 1 when a file differs, 2 when a precondition fails.
. "$(dirname "$0")/common.sh"
apt_need ripgrep diffutils time
ensure_trees
build_release

OLD=${OLD:-kfree}
NEW=${NEW:-vantor_roundtrip_name}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vantor-roundtrip.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
COPY=$WORK/linux

# Names are matched without regard to case: OLD must be written in one case
# only for the way back to find every spelling again, and NEW nowhere.
count() { rg -j2 -uu --iglob '*.c' --iglob '*.h' -c -w "$@" "$KERNEL" | awk -F: '{ s += $NF } END { print s + 0 }'; }
exact=$(count -- "$OLD"); any=$(count -i -- "$OLD"); new=$(count -i -- "$NEW")
echo "$OLD: $exact lines (any case: $any); $NEW: $new lines"
[ "$exact" -gt 0 ] && [ "$exact" = "$any" ] && [ "$new" = 0 ] || { echo "precondition failed"; exit 2; }

cp -a "$KERNEL" "$COPY"
SET="--set SousRepertoire=1 --mask *.c --mask *.h --color never"
set -f

run() {
  start=$(date +%s.%N)
  "$CLI" $SET --dict "$1=$2" replace "$COPY" >"$WORK/log" 2>&1
  status=$?
  end=$(date +%s.%N)
  changed=$(grep -c '^Modification$' "$WORK/log" || true)
  listed=$(grep -c '^[0-9][0-9][0-9][0-9]:' "$WORK/log" || true)
  echo "replace $1 -> $2: status $status, $changed files rewritten, $listed names replaced," \
       "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", b - a }')s"
  [ "$status" = 0 ] || { tail -5 "$WORK/log"; exit 1; }
}
run "$OLD" "$NEW"
left=$(rg -j2 -uu --iglob '*.c' --iglob '*.h' -c -w -- "$OLD" "$COPY" | awk -F: '{ s += $NF } END { print s + 0 }')
echo "lines still holding $OLD as a word after the first pass (strings and the like): $left"
run "$NEW" "$OLD"

if diff -r --exclude='*.bak' "$KERNEL" "$COPY" >"$WORK/diff"; then
  echo "round trip: every file restored byte for byte"
else
  echo "round trip: FAILED, $(grep -c '^diff\|^Only' "$WORK/diff") differences"; head -40 "$WORK/diff"
  exit 1
fi
