#!/bin/sh
# Rewriting in place under attack (not a timing): over copies of a large tree
# (default: the kernel's drivers/net),
#  - two, then three `vantor-cli apply` runs started together, ten times each,
#    the third one over a sub-folder of what the first two walk;
#  - `kill -9` at a random moment of an Apply, and of a Replace, twenty times
#    each, then the same command run again to its end.
# After each round bench/inplace_check.cpp proves that every source holds its
# original bytes, or its rewritten text with the original in ".bak"; after a
# run let to finish, that every changed file is rewritten and no ".new" is left.
# Usage: bench/inplace_stress.sh [TREE] [ROUNDS] [KILLS]
. "$(dirname "$0")/common.sh"
ensure_trees
build_release
cmake --build "$BUILD" --target inplace_check >/dev/null
CHECK=$BUILD/inplace_check

SRC=${1:-$KERNEL/drivers/net}
ROUNDS=${2:-10}
KILLS=${3:-20}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vantor-stress.XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM
set -f

copy_tree() {  # copy_tree FROM TO: the *.c and *.h files only
  mkdir -p "$2"
  (cd "$1" && find . -type f \( -name '*.c' -o -name '*.h' \) -print0 | tar --null -T - -cf -) | tar -xf - -C "$2"
}

RUN="$CLI --color never --set SousRepertoire=1 --mask *.c --mask *.h"
# Replace renames a name found all over the network drivers; the new name is
# not matched again, so a second run changes nothing, as Apply's does not.
DICT="--dict skb=skb_x"
copy_tree "$SRC" "$WORK/orig"
copy_tree "$SRC" "$WORK/ref-apply"
$RUN apply "$WORK/ref-apply" >/dev/null 2>&1 || true
copy_tree "$SRC" "$WORK/ref-replace"
$RUN $DICT replace "$WORK/ref-replace" >/dev/null 2>&1 || true
files=$(find "$WORK/orig" -type f | wc -l)
changed=$(find "$WORK/ref-apply" -name '*.bak' | wc -l)
echo "== $SRC: $files files, $changed changed by apply, $(find "$WORK/ref-replace" -name '*.bak' | wc -l) by replace"
# A sub-folder that holds a good share of the files, walked by the third run.
SUB=$(cd "$WORK/orig" && find . -mindepth 1 -maxdepth 2 -type d | while read -r d; do
  echo "$(find "$d" -type f | wc -l) $d"; done | sort -n | tail -1 | cut -d' ' -f2)

failures=0
check() {  # check REF LABEL [--complete]
  if out=$("$CHECK" "$WORK/orig" "$WORK/$1" "$WORK/tree" $3); then
    echo "  $2: $out"
  else
    echo "  $2: FAILED: $out"
    failures=$((failures + 1))
  fi
}

for n in 2 3; do
  echo "-- $n apply runs at once, $ROUNDS rounds"
  skipped_total=0
  for r in $(seq "$ROUNDS"); do
    rm -rf "$WORK/tree"
    copy_tree "$WORK/orig" "$WORK/tree"
    pids=""
    for i in $(seq "$n"); do
      where=$WORK/tree
      [ "$i" -eq 3 ] && where=$WORK/tree/$SUB
      $RUN apply "$where" >"$WORK/out$i" 2>&1 &
      pids="$pids $!"
    done
    for p in $pids; do wait "$p" || true; done
    skipped=0
    for i in $(seq "$n"); do
      skipped=$((skipped + $(grep -c 'file in use by another run' "$WORK/out$i" || true)))
    done
    skipped_total=$((skipped_total + skipped))
    check ref-apply "round $r ($skipped files left to the other run)"
    for i in $(seq "$n"); do rm -f "$WORK/out$i"; done
  done
  echo "   $skipped_total files left to another run in all"
done

# One quiet run's time sets the range of the kill moments.
rm -rf "$WORK/tree"
copy_tree "$WORK/orig" "$WORK/tree"
t0=$(date +%s%N)
$RUN apply "$WORK/tree" >/dev/null 2>&1 || true
full_ms=$(( ($(date +%s%N) - t0) / 1000000 ))
echo "-- kill -9 during a run ($KILLS times each; a quiet apply takes ${full_ms} ms)"
for cmd in apply replace; do
  args=$cmd
  [ "$cmd" = replace ] && args="$DICT replace"
  for k in $(seq "$KILLS"); do
    rm -rf "$WORK/tree"
    copy_tree "$WORK/orig" "$WORK/tree"
    ms=$(awk -v m="$full_ms" -v s="$k$$" 'BEGIN { srand(s); printf "%d", rand() * m }')
    $RUN $args "$WORK/tree" >/dev/null 2>&1 &
    pid=$!
    sleep "$(awk -v m="$ms" 'BEGIN { printf "%.3f", m / 1000 }')"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    check "ref-$cmd" "$cmd killed after ${ms} ms"
    $RUN $args "$WORK/tree" >/dev/null 2>&1 || true
    check "ref-$cmd" "  then run to its end" --complete
  done
done

[ "$failures" -eq 0 ] && echo "every round kept every original" || echo "$failures rounds FAILED"
[ "$failures" -eq 0 ]
